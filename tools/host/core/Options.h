#pragma once
// The reference host's command line.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/host/core/Commission.h"

namespace tervex::host {

struct WriteOption {
    int64_t atMs = 0;   // after the start of the run
    std::string item;   // "Node.Item"
    std::string value;  // as typed; checked against the item's type later
};

struct Options {
    bool help = false;
    bool version = false;    // the host's and the driver library's versions
    bool configure = false;  // the window mode: the driver's pages edit the station
    std::string dll = "tervex.dll";
    std::string station;  // empty: only load the driver and name it
    int64_t durationMs = 20000;
    int64_t refreshMs = 5000;  // 0: the table only at the end
    int tickMs = 20;           // TimerTick period
    int64_t readEveryMs = 0;   // >0: every item's read period instead of its scan rate
    int sleepMs = 0;           // >0: sleep between steps instead of waiting for the ports
    bool log = false;          // the driver's frame trace
    bool sync = false;         // synchronous tasks: Poll waits, answers come through Idle
    std::string results;       // machine-readable final values
    std::vector<WriteOption> writes;
    CommissionOptions commission;  // --scan, --read-once, --write-once and their settings
};

// Every option: the serving and window modes, then commissioning.
std::string UsageText();
// What follows the problems of a bad command line.
const char* UsageHint();

// Errors as text, one per problem.
std::vector<std::string> ParseOptions(int argc, const char* const* argv, Options& options);

}  // namespace tervex::host
