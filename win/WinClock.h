#pragma once
// The engine's clock on Windows: the local clock, the 64-bit tick count, Sleep, and
// "the application is closing": the calling thread has been asked to quit.
#include "protocol/EngineHost.h"

namespace tervex {

class WinClock final : public IEngineClock {
public:
    double LocalNow() override;
    uint64_t MonotonicMs() override;
    void SleepMs(uint32_t ms) override;
    bool Terminated() override;
};

}  // namespace tervex
