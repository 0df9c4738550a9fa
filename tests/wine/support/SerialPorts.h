#pragma once
// The machine's list of serial ports, as the system keeps it in the registry.
#include <windows.h>

#include <string>
#include <vector>

namespace testing_host {

// Replaces every value under HKEY_LOCAL_MACHINE "hardware\devicemap\serialcomm" by one
// string value per port, in the given order. False when the key cannot be written.
bool SetSerialPorts(const std::vector<std::wstring>& ports);
// Adds a value that holds a port name's characters but is not of a string type.
bool AddBinarySerialValue(const std::wstring& name, const std::wstring& port);

}  // namespace testing_host
