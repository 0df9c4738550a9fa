#pragma once
// Item sets for the benchmarks, as engine tasks.
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/EngineTask.h"

namespace bench {

extern const char* const kAreaTexts[6];  // "ОЗУ", "CLOCK", "EEPROM", "FRAM", "XRAM", "FLASH"
extern const char* const kLsbFirst;      // "Младшим байтом вперед"
extern const char* const kMsbFirst;      // "Старшим байтом вперед"

int TypeSize(int typeCode);

// The scale set: `items` tasks over `ports` ports with `devicesPerPort` controllers
// each, all in one framing. Reads come in clusters inside distinct 8-byte blocks (one
// to seven items, four on average, each cluster served by one read frame); a tenth of
// the items are writes, each to its own block. Types are mixed (Byte, ShortInteger,
// Word, SmallInteger, Integer, String, Array of Byte, and Boolean in RAM); areas are
// mixed, RAM and CLOCK taking a small share because they hold only 32 blocks each.
// The structure per item does not depend on `items`, so cost per item is comparable.
struct ScaleOptions {
    int64_t items = 1000;
    bool ascii = false;
    int ports = 4;
    int devicesPerPort = 8;
    uint32_t seed = 1;
};

struct ScalePlan {
    std::vector<tervex::EngineTask> tasks;
    int64_t readBlocks = 0;
    int64_t writes = 0;
    int64_t Frames() const { return readBlocks + writes; }
};

ScalePlan MakeScalePlan(const ScaleOptions& options);

// A read task of one item.
tervex::EngineTask ReadTask(const tervex::NodeParams& node, int area, int64_t address, int typeCode,
                            int bitNumber = 0);
tervex::NodeParams MakeNode(int port, int device, bool ascii, const std::string& byteOrder = kMsbFirst);

}  // namespace bench
