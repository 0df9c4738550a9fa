#include "config/DiagnosticsArea.h"

#include "config/ItemParams.h"

namespace tervex {

const char* const kAreaDiagnostics = "ДИАГНОСТИКА";

int32_t ItemAddressLimit(const std::string& area) {
    if (area == kAreaRam || area == kAreaClock) return 255;
    if (area == kAreaDiagnostics) return kDiagLastAddress;
    return 65535;
}

bool ItemWriteOffered(const std::string& area) {
    return area != kAreaFlash && area != kAreaDiagnostics;
}

}  // namespace tervex
