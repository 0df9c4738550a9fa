#include "dll/DriverLibrary.h"

#include <gtest/gtest.h>

namespace testing_host {
namespace {

// The build knows the DLL by its Unix path; under Wine that is drive Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

}  // namespace

HMODULE DriverModule() {
    static HMODULE module = LoadLibraryA(WindowsPath(TERVEX_DLL_PATH).c_str());
    return module;
}

GetOrnDriver2Proc DriverExport() {
    HMODULE module = DriverModule();
    return module ? reinterpret_cast<GetOrnDriver2Proc>(reinterpret_cast<void*>(GetProcAddress(module, "GetOrnDriver2"))) : nullptr;
}

IOrnDriver2* ObtainDriver() {
    GetOrnDriver2Proc get = DriverExport();
    if (!get) return nullptr;
    IOrnDriver2* driver = nullptr;
    get(&driver);
    return driver;
}

}  // namespace testing_host
