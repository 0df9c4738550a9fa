#pragma once
// The driver on one line, for commissioning: loaded and initialised as a host
// does it, the settings applied, the one port opened, and single reads or
// writes queued to any device address, each run until the driver finishes it.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "boundary/PluginInterface.h"
#include "tools/host/core/Station.h"
#include "tools/host/core/WriteValue.h"
#include "tools/host/win/DriverModule.h"
#include "tools/host/win/HostItem.h"
#include "tools/host/win/HostServer.h"
#include "tools/host/win/PortHub.h"
#include "values/win/OleVariant.h"

namespace tervex::host {

struct ExchangeOutcome {
    bool finished = false;  // false: stopped by Ctrl+C or given up by the host
    uint32_t result = 0;
    uint16_t quality = 0;
    FILETIME stamp{};
    OleVariant value;                // what a read left in the item state
    std::vector<std::string> trace;  // the driver's log lines of this exchange
    std::vector<std::string> received;  // trace texts of its " Rx: " lines
    int sent = 0;                       // its " Tx: " lines
};

class LineSession {
public:
    LineSession() = default;
    ~LineSession();
    LineSession(const LineSession&) = delete;
    LineSession& operator=(const LineSession&) = delete;

    // Loads the driver, applies the settings in order and opens the port.
    // false with the reason when one of them cannot be had.
    bool Open(const std::string& dll, const PortConfig& port, const std::string& baseDir,
              const std::vector<std::pair<std::string, std::string>>& settings, std::string& error);
    std::string DriverName() const { return driverName_; }
    std::string PortText() const { return portText_; }

    // One read, or one write of value, of the node's item; runs until the driver
    // finishes the task (or Ctrl+C).
    ExchangeOutcome Read(const NodeConfig& node, const ItemConfig& item);
    ExchangeOutcome Write(const NodeConfig& node, const ItemConfig& item, const WriteValue& value);
    // Drops what the driver knows of the line's devices (resting, passwords),
    // so the next request to an address is written whatever the last one brought.
    void Forget();

private:
    ExchangeOutcome Run(const NodeConfig& node, const ItemConfig& item, bool write, VARIANT value);
    int64_t NowMs() const;

    // The host's objects outlive the driver library (declared before it).
    HostServer server_;
    PortHub hub_;
    HostItem item_;
    DriverModule module_;
    IOrnDriver2* driver_ = nullptr;
    IOrnPortClient* client_ = nullptr;
    std::string driverName_;
    std::string portText_;
    std::vector<std::string>* log_ = nullptr;  // the running exchange's trace
    int64_t startTick_ = 0;
};

}  // namespace tervex::host
