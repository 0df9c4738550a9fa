#include "tools/host/win/SystemText.h"

#include <algorithm>
#include <cwctype>

#include "pages/ComPortList.h"
#include "win/WideText.h"

namespace tervex::host {

namespace {

// n of "COMn", or 0 for any other name.
int ComNumber(const std::wstring& name) {
    if (name.size() < 4 || name.compare(0, 3, L"COM") != 0) return 0;
    int n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::iswdigit(name[i]) || n > 1000) return 0;
        n = n * 10 + (name[i] - L'0');
    }
    return n;
}

// The ports the serial drivers list in the registry, as the node page reads them.
std::vector<int> RegistryPorts() {
    std::vector<int> ports;
    for (const std::wstring& name : ReadSerialPorts()) ports.push_back(ComNumber(name));
    return ports;
}

std::vector<int> DosDevicePorts() {
    std::vector<int> ports;
    std::vector<wchar_t> names(65536);
    const DWORD length = QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size()));
    for (size_t at = 0; at < length && names[at] != L'\0';) {
        const std::wstring name(&names[at]);
        if (const int n = ComNumber(name)) ports.push_back(n);
        at += name.size() + 1;
    }
    return ports;
}

}  // namespace

std::string WindowsErrorText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length && text ? std::wstring(text, length) : std::wstring();
    if (text) LocalFree(text);
    while (!message.empty() && std::iswspace(message.back())) message.pop_back();
    const std::string number = "Windows error " + std::to_string(code);
    return message.empty() ? number : number + ": " + WideToUtf8(message);
}

std::vector<int> SerialPortsPresent() {
    std::vector<int> ports = RegistryPorts();
    if (ports.empty()) ports = DosDevicePorts();
    std::sort(ports.begin(), ports.end());
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

std::string SerialPortsText() {
    const std::vector<int> ports = SerialPortsPresent();
    if (ports.empty()) return "this machine has no serial ports";
    std::string text = "the ports this machine has: ";
    for (size_t i = 0; i < ports.size(); ++i) text += (i ? ", COM" : "COM") + std::to_string(ports[i]);
    return text;
}

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return std::string();
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || length < sizeof(*fixed))
        return std::string();
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS));
}

}  // namespace tervex::host
