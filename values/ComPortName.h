#pragma once
// The name under which a serial port is known: "COM" and the one-based number.
#include <cstdint>
#include <string>

namespace tervex {

std::string ComPortName(uint8_t index);

}  // namespace tervex
