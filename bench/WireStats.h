#pragma once
// What goes over the wire for a set of items: frames and bytes per item as the driver
// sends them to the simulator, next to the lower bound for the 8-byte read.
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct WireFigures {
    std::string name;
    std::string framing;
    int64_t items = 0;
    int64_t sets = 1;              // item sets averaged over
    double frames = 0;             // per set, password frames included
    double passwordFrames = 0;
    double bytes = 0;              // requests and answers, per set
    double lowerBoundBlocks = 0;   // fewest 8-byte blocks that cover the items, per set
    double lowerBoundBytes = 0;    // those blocks' requests and answers
    int64_t failedTasks = 0;       // tasks that did not end with a good read (should be 0)
};

// The reference host's demo station (its nodes Boiler, Pump and Vault and their items on
// two ports), against simulated controllers.
WireFigures DemoStationWire();

// Random read sets on one controller: `items` items of mixed types in the given areas,
// addresses drawn from [0, span).
WireFigures RandomSetWire(const std::string& name, bool ascii, const std::vector<int>& areas, int64_t span,
                          int64_t items, int sets);

// 8N1: ten bits a byte, no gaps between frames.
inline double LineSeconds(double bytes, int baud) { return bytes * 10.0 / baud; }

}  // namespace bench
