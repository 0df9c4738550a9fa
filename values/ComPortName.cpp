#include "values/ComPortName.h"

namespace tervex {

std::string ComPortName(uint8_t index) {
    return "COM" + std::to_string(static_cast<int>(index) + 1);
}

}  // namespace tervex
