#pragma once
// What the pages need from the driver above them, handed in when they are created.
#include "boundary/PluginInterface.h"

namespace tervex {

class IPageDriver {
public:
    virtual ~IPageDriver() = default;
    // The host server given to Initialize; empty before it.
    virtual IOrnOPCServer* Server() = 0;
    // The driver interface the host takes with each element a page adds; empty without a driver.
    virtual IOrnDriver2* DriverInterface() = 0;
};

}  // namespace tervex
