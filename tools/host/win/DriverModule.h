#pragma once
// The driver library, loaded as an OPC server loads it: LoadLibrary, then the
// driver interface from GetOrnDriver2.
#include <windows.h>

#include <string>

#include "boundary/PluginInterface.h"

namespace tervex::host {

class DriverModule {
public:
    DriverModule() = default;
    ~DriverModule();
    DriverModule(const DriverModule&) = delete;
    DriverModule& operator=(const DriverModule&) = delete;

    bool Load(const std::string& path, std::string& error);
    IOrnDriver2* Driver() const { return driver_; }
    HMODULE Handle() const { return module_; }
    // The loaded library's version from its version resource; empty when it has none.
    std::string Version() const;

private:
    HMODULE module_ = nullptr;
    IOrnDriver2* driver_ = nullptr;
};

// "Tervex 1.0.0 (Протокол Tervex)": the driver's name and description from
// Initialize, with the library's version.
std::string DriverTitle(const std::string& name, const std::string& description, const std::string& version);

// Hands one stored setting pair to the driver, as the host does at start;
// false when the driver refuses it.
bool ApplySetting(IOrnDriver2* driver, const std::string& name, const std::string& value);

// A POSIX path ("/work/x") as Windows sees it under Wine ("Z:/work/x"); others unchanged.
std::string WindowsPath(const std::string& path);

}  // namespace tervex::host
