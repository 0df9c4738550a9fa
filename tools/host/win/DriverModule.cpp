#include "tools/host/win/DriverModule.h"

#include "tools/host/win/SystemText.h"
#include "win/WideText.h"

namespace tervex::host {

std::string WindowsPath(const std::string& path) {
    if (!path.empty() && path[0] == '/' && !(path.size() > 1 && path[1] == '/')) return "Z:" + path;
    return path;
}

std::string DriverTitle(const std::string& name, const std::string& description, const std::string& version) {
    if (version.empty()) return name + " (" + description + "), no version resource";
    return name + " " + version + " (" + description + ")";
}

bool ApplySetting(IOrnDriver2* driver, const std::string& name, const std::string& value) {
    ShortString n{}, v{};
    SetShortString(n, name);
    SetShortString(v, value);
    return driver->ApplySetting(&n, &v);
}

DriverModule::~DriverModule() {
    if (driver_) driver_->Release();
    if (module_) FreeLibrary(module_);
}

std::string DriverModule::Version() const { return module_ ? FileVersion(ModulePath(module_)) : std::string(); }

bool DriverModule::Load(const std::string& path, std::string& error) {
    std::wstring wide = Utf8ToWide(WindowsPath(path));
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    module_ = LoadLibraryW(wide.c_str());
    if (!module_) {
        error = "cannot load " + path + " (" + WindowsErrorText(GetLastError()) + ")";
        return false;
    }
    auto get = reinterpret_cast<GetOrnDriver2Proc>(reinterpret_cast<void*>(GetProcAddress(module_, "GetOrnDriver2")));
    if (!get) {
        error = path + " has no GetOrnDriver2 export";
        return false;
    }
    get(&driver_);
    if (!driver_) {
        error = path + ": GetOrnDriver2 gave no driver";
        return false;
    }
    return true;
}

}  // namespace tervex::host
