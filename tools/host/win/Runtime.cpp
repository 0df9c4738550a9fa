#include "tools/host/win/Runtime.h"

#include <cstring>

namespace tervex::host {

ItemStateRecord::ItemStateRecord() {
    std::memset(&state, 0, sizeof(state));
    VariantInit(&state.value);
}

ItemStateRecord::~ItemStateRecord() { VariantClear(&state.value); }

}  // namespace tervex::host
