#pragma once
// Loads the built DLL the way a host does and hands out the driver through its export.
#include <windows.h>

#include <string>

#include "boundary/PluginInterface.h"

namespace testing_host {

// The DLL's module, loaded once for the whole test run.
HMODULE DriverModule();
GetOrnDriver2Proc DriverExport();
// A fresh interface variable filled by the export.
IOrnDriver2* ObtainDriver();

}  // namespace testing_host
