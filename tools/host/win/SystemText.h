#pragma once
// What Windows says about an error number, and what it knows of this
// machine's serial ports and of a file's version, as UTF-8 texts.
#include <windows.h>

#include <string>
#include <vector>

namespace tervex::host {

// "Windows error 2: The system cannot find the file specified."; the bare
// number when the system has no text for it.
std::string WindowsErrorText(DWORD code);

// The "COMn" ports this machine has, by number: those the serial drivers list
// in the registry, else the DOS device names.
std::vector<int> SerialPortsPresent();
// "the ports this machine has: COM1, COM3" or "this machine has no serial ports".
std::string SerialPortsText();

// "1.0.0" from the file's version resource; empty when it has none.
std::string FileVersion(const std::wstring& path);
// The path of a loaded module, or of this program with nullptr.
std::wstring ModulePath(HMODULE module);

}  // namespace tervex::host
