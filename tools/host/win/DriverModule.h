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

private:
    HMODULE module_ = nullptr;
    IOrnDriver2* driver_ = nullptr;
};

// Hands one stored setting pair to the driver, as the host does at start;
// false when the driver refuses it.
bool ApplySetting(IOrnDriver2* driver, const std::string& name, const std::string& value);

// A POSIX path ("/work/x") as Windows sees it under Wine ("Z:/work/x"); others unchanged.
std::string WindowsPath(const std::string& path);

}  // namespace tervex::host
