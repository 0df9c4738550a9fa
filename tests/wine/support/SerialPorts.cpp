#include "support/SerialPorts.h"

namespace testing_host {
namespace {

const wchar_t kKey[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

class Key {
public:
    Key() {
        // The hardware branch is rebuilt at every start, so the key is volatile.
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key_, nullptr) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

bool SetSerialPorts(const std::vector<std::wstring>& ports) {
    Key key;
    if (!key.get()) return false;
    for (;;) {
        wchar_t name[256] = {};
        DWORD length = 256;
        if (RegEnumValueW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (RegDeleteValueW(key.get(), name) != ERROR_SUCCESS) return false;
    }
    for (size_t i = 0; i < ports.size(); ++i) {
        const std::wstring name = L"\\Device\\Serial" + std::to_wstring(i);
        const std::wstring& data = ports[i];
        if (RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                           static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            return false;
    }
    return true;
}

bool AddBinarySerialValue(const std::wstring& name, const std::wstring& port) {
    Key key;
    return key.get() && RegSetValueExW(key.get(), name.c_str(), 0, REG_BINARY,
                                       reinterpret_cast<const BYTE*>(port.c_str()),
                                       static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace testing_host
