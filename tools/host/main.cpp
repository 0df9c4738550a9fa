// The reference host: loads the driver through its export as an OPC server does.
#include <windows.h>

#include <cstdio>
#include <string>

#include "plugin/PluginInterface.h"

namespace {

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dll = "tervex.dll";
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--dll") dll = argv[i + 1];

    HMODULE module = LoadLibraryA(WindowsPath(dll).c_str());
    if (!module) {
        std::fprintf(stderr, "cannot load %s (error %lu)\n", dll.c_str(), GetLastError());
        return 1;
    }
    auto get = reinterpret_cast<GetOrnDriver2Proc>(reinterpret_cast<void*>(GetProcAddress(module, "GetOrnDriver2")));
    if (!get) {
        std::fprintf(stderr, "%s has no GetOrnDriver2 export\n", dll.c_str());
        return 1;
    }
    IOrnDriver2* driver = nullptr;
    get(&driver);
    if (!driver) {
        std::fprintf(stderr, "the driver is not available\n");
        return 1;
    }
    tervex::ShortString name{}, description{}, third{};
    IOrnPortClient* client = nullptr;
    driver->Initialize(nullptr, nullptr, &name, &description, &third, &client);
    std::printf("driver: %s\ndescription: %s\n", tervex::ShortStringToUtf8(name).c_str(),
                tervex::ShortStringToUtf8(description).c_str());
    driver->Release();
    FreeLibrary(module);
    return 0;
}
