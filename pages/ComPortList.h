#pragma once
// The serial ports of the machine, as the node page lists them.
#include <string>
#include <string_view>
#include <vector>

namespace tervex {

// Only the ports the driver can poll are offered: "COM" followed by a number from 1
// to 100 written without sign or leading zeros (COM3, COM10, COM100; not COM0,
// COM101, com3, COM03). A port outside that range could never be polled.
bool IsPollablePortName(std::wstring_view name);

// The string values under HKEY_LOCAL_MACHINE "hardware\devicemap\serialcomm", in the
// registry's order, keeping only pollable names. Empty when the key is missing.
std::vector<std::wstring> ReadSerialPorts();

}  // namespace tervex
