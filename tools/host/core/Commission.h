#pragma once
// Commissioning a line from the command line, without a station file: which
// device addresses answer (--scan) and a one-off read or write of one address
// (--read-once, --write-once). The options and the plan live here, the judging
// of a scan in ScanReport; win/Commission.cpp runs them through the driver.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/host/core/Station.h"
#include "tools/host/core/WriteValue.h"

namespace tervex::host {

enum class CommissionMode { None, Scan, Read, Write };

struct CommissionOptions {
    CommissionMode mode = CommissionMode::None;
    int port = 0;  // n of "COMn"
    int firstAddress = 1;
    int lastAddress = 255;
    std::vector<std::string> framings;  // empty: RTU then ASCII for a scan, RTU for a one-off
    // The line, where the station file has no section for the port (or there is no station).
    std::optional<int> baud;
    std::optional<int> dataBits;
    std::optional<Parity> parity;
    std::optional<StopBits> stopBits;
    std::string simLine;  // a tervex-sim line file: the built-in simulator instead of the real port
    std::vector<std::string> simControllers;
    // Driver settings given on the command line; they go after the station's.
    std::vector<std::pair<std::string, std::string>> settings;
    // The one item: texts as typed, checked by PlanCommission.
    std::string device = "1";
    std::string area = "ОЗУ";
    std::string at = "0";
    std::string type = "Byte";
    std::string bit = "0";
    std::string byteOrder = "msb";
    std::string readPassword;
    std::string writePassword;
    std::string value;  // --write-once
};

// Takes arg (and its values through next) if it is a commissioning option;
// false for any other option. Problems go to errors.
using NextArgument = std::function<const char*(const char* what)>;
bool ParseCommissionOption(const std::string& arg, const NextArgument& next, CommissionOptions& options,
                           std::vector<std::string>& errors);
const char* CommissionUsageText();

// The node and item the driver is handed, built from the options as the pages would hold them.
struct CommissionPlan {
    NodeConfig node;
    ItemConfig item;
    std::optional<WriteValue> value;  // --write-once
    std::vector<std::string> framings;
};
std::optional<CommissionPlan> PlanCommission(const CommissionOptions& options, std::vector<std::string>& errors);

// The line a scan or one-off uses: the station's section for the port if it has
// one (options override its serial settings), else a real serial port, or the
// built-in simulator with --sim-line or --sim-controller.
PortConfig CommissionPort(const CommissionOptions& options, const Station* station);

using Settings = std::vector<std::pair<std::string, std::string>>;

// A silent address costs WaitTimeout x CountTry per framing before the driver
// gives it up; with the driver's own 3000 ms and 3 tries a scan of a whole line
// would take over an hour. So a scan has short defaults of its own, which the
// station's [settings] and the command line override.
constexpr int64_t kScanWaitTimeoutMs = 300;
constexpr int64_t kScanTries = 1;
// The period of the driver's timer tick in a commissioning run: it notices its time-outs there.
constexpr int64_t kCommissionTickMs = 20;

// What the driver is handed, in order: a scan's own defaults, the station's
// settings, the command line's (the driver keeps the last of each name).
Settings CommissionSettings(CommissionMode mode, const Settings& station, const Settings& commandLine);

// WaitTimeout and CountTry as the driver will hold them after the settings are applied in order.
struct LineTiming {
    int64_t waitTimeoutMs = 3000;
    int64_t countTry = 3;
    // What one request to a silent address costs before the driver gives it up:
    // each try's wait, and the timer tick in which the driver notices it.
    int64_t SilentMs() const;
};
LineTiming TimingOf(const Settings& settings);

// The scan banner's lines on its waiting: the settings, where they come from,
// how to change them, and the longest the scan can take.
std::string ScanTimingText(const Settings& station, const Settings& commandLine, int framings, int addresses);

// "EEPROM 0120 hex Word", "ОЗУ 0005 hex Boolean bit 3": the item as the pages show it.
std::string ItemText(const ItemConfig& item);

}  // namespace tervex::host
