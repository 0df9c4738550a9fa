#include "pages/ComPortList.h"

#include <windows.h>

#include <vector>

namespace tervex {
namespace {

class RegistryKey {
public:
    RegistryKey(HKEY parent, const wchar_t* path) {
        if (RegOpenKeyExW(parent, path, 0, KEY_QUERY_VALUE, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

bool IsPollablePortName(std::wstring_view name) {
    if (name.size() < 4 || name.size() > 6 || name.substr(0, 3) != L"COM") return false;
    const std::wstring_view digits = name.substr(3);
    if (digits[0] == L'0') return false;
    int number = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return false;
        number = number * 10 + (c - L'0');
    }
    return number >= 1 && number <= 100;
}

std::vector<std::wstring> ReadSerialPorts() {
    std::vector<std::wstring> ports;
    RegistryKey key(HKEY_LOCAL_MACHINE, L"hardware\\devicemap\\serialcomm");
    if (!key.get()) return ports;
    DWORD valueCount = 0;
    DWORD maxNameLength = 0;
    DWORD maxDataBytes = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                         &maxNameLength, &maxDataBytes, nullptr, nullptr) != ERROR_SUCCESS)
        return ports;
    std::vector<wchar_t> name(maxNameLength + 1);
    std::vector<BYTE> data(maxDataBytes + sizeof(wchar_t));
    for (DWORD index = 0; index < valueCount; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size() - sizeof(wchar_t));
        DWORD type = 0;
        if (RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &type, data.data(), &dataBytes) !=
            ERROR_SUCCESS)
            continue;
        // Port names are string values; anything else names no port.
        if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
        std::wstring port(reinterpret_cast<const wchar_t*>(data.data()), dataBytes / sizeof(wchar_t));
        while (!port.empty() && port.back() == L'\0') port.pop_back();
        if (IsPollablePortName(port)) ports.push_back(port);
    }
    return ports;
}

}  // namespace tervex
