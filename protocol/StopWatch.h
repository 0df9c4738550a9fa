#pragma once
// Millisecond stopwatch on a 32-bit tick counter that may wrap.
#include <cstdint>

namespace tervex {

class ITickSource {
public:
    virtual ~ITickSource() = default;
    virtual uint32_t TickCount() = 0;
};

class TStopWatch {
public:
    explicit TStopWatch(ITickSource& ticks) : FTicks(&ticks) {}

    void Start();    // a running stopwatch keeps its start
    void Reset();
    void Restart();
    void Stop();
    uint32_t Elapsed() const;
    bool Running() const { return FRunning; }

private:
    ITickSource* FTicks;
    uint32_t FElapsed = 0;
    bool FRunning = false;
    uint32_t FStartTick = 0;
};

}  // namespace tervex
