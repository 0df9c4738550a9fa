#pragma once
// Time for the simulated line. Everything that depends on time (answer delays,
// password idle expiry, live cells, the running clock) reads it from here, so
// tests can move time by hand instead of sleeping.
#include <cstdint>

namespace tervex::sim {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on a monotonic scale; only differences matter.
    virtual int64_t NowMs() const = 0;
};

// The machine's monotonic clock.
class SteadyClock final : public Clock {
public:
    int64_t NowMs() const override;
};

// A clock that moves only when told to.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t startMs = 0) : nowMs_(startMs) {}
    int64_t NowMs() const override { return nowMs_; }
    void AdvanceMs(int64_t deltaMs) { nowMs_ += deltaMs; }
    void SetMs(int64_t nowMs) { nowMs_ = nowMs; }

private:
    int64_t nowMs_;
};

}  // namespace tervex::sim
