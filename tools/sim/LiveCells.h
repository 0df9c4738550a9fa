#pragma once
// Memory cells that change by themselves, so a demo shows values moving.
// Each is a 16-bit word refreshed from the time elapsed since the controller started.
#include <cstdint>

#include "sim/Memory.h"

namespace tervex::sim {

enum class LiveKind {
    Counter,  // unsigned, one step per periodMs, wrapping at 65536
    Sine,     // signed, amplitude * sin(2 pi t / periodMs), rounded
};

struct LiveCell {
    LiveKind kind = LiveKind::Counter;
    Area area = Area::Ram;
    uint32_t address = 0;
    bool lsbFirst = false;  // most significant byte first unless told otherwise
    int64_t periodMs = 1000;
    int amplitude = 1000;   // Sine only, 0..32767
};

uint16_t LiveValue(const LiveCell& cell, int64_t elapsedMs);
void UpdateLiveCell(const LiveCell& cell, Memory& memory, int64_t elapsedMs);

}  // namespace tervex::sim
