#pragma once
// The simulated lines keep the engine's time, so that a controller's turnaround and the
// engine's time-outs are measured on one clock.
#include <cstdint>

#include "fuzz/EngineDoubles.h"
#include "sim/Clock.h"

namespace tervex::soak {

class EngineTime final : public sim::Clock {
public:
    explicit EngineTime(const fuzz::ManualEngineClock& clock) : FClock(clock) {}
    int64_t NowMs() const override { return static_cast<int64_t>(FClock.monoMs); }

private:
    const fuzz::ManualEngineClock& FClock;
};

}  // namespace tervex::soak
