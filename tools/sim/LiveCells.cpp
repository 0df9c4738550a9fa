#include "sim/LiveCells.h"

#include <cmath>

namespace tervex::sim {

uint16_t LiveValue(const LiveCell& cell, int64_t elapsedMs)
{
    const int64_t period = cell.periodMs > 0 ? cell.periodMs : 1;
    const int64_t elapsed = elapsedMs > 0 ? elapsedMs : 0;
    if (cell.kind == LiveKind::Counter)
        return static_cast<uint16_t>((elapsed / period) & 0xFFFF);
    const double kTwoPi = 6.283185307179586;
    const double phase = static_cast<double>(elapsed % period) / static_cast<double>(period);
    const long value = std::lround(cell.amplitude * std::sin(kTwoPi * phase));
    return static_cast<uint16_t>(static_cast<int16_t>(value));
}

void UpdateLiveCell(const LiveCell& cell, Memory& memory, int64_t elapsedMs)
{
    const uint16_t value = LiveValue(cell, elapsedMs);
    const uint8_t high = static_cast<uint8_t>(value >> 8);
    const uint8_t low = static_cast<uint8_t>(value & 0xFF);
    memory.Set(cell.area, cell.address, cell.lsbFirst ? low : high);
    memory.Set(cell.area, cell.address + 1, cell.lsbFirst ? high : low);
}

}  // namespace tervex::sim
