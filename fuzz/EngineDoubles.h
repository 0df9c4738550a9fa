#pragma once
// The poll engine's outside world for fuzzing and soaking: a clock that moves only when
// told (sleeping moves it), a host port and server whose behaviour is set by hooks, and
// checks of what the engine hands the host port.
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/EngineHost.h"

namespace tervex::fuzz {

// What a host raises from inside its own calls.
struct HostFailure : std::runtime_error {
    HostFailure() : std::runtime_error("host failure") {}
};

class ManualEngineClock : public IEngineClock {
public:
    uint64_t monoMs = 1'000'000;
    std::function<void()> onSleep;
    std::function<bool()> terminated;

    double LocalNow() override { return 45000.0 + static_cast<double>(monoMs) / 86400000.0; }
    uint64_t MonotonicMs() override { return monoMs; }
    void SleepMs(uint32_t ms) override {
        monoMs += ms;
        if (onSleep) onSleep();
    }
    bool Terminated() override { return terminated && terminated(); }
};

// A host port that checks the engine's use of it: a write only right after CanTransmit
// answered true for that port, one exchange in flight per port, and well-formed frames.
class CheckedHostPort : public IHostPort {
public:
    using Violation = std::function<void(const std::string&)>;
    explicit CheckedHostPort(Violation violation) : FViolation(std::move(violation)) {}

    // Per port: CanTransmit answers false this many more times; writes fail this many more times.
    std::map<uint8_t, uint32_t> blockedCalls;
    std::map<uint8_t, uint32_t> failingWrites;
    bool throwOnCanTransmit = false, throwOnWrite = false, throwOnTransferDone = false;

    std::function<void(uint8_t port, const std::vector<uint8_t>& frame, bool written)> onWrite;
    std::function<void(uint8_t port)> onTransferDone;

    uint64_t writes = 0, failedWrites = 0, transfers = 0;
    std::map<uint8_t, std::vector<uint8_t>> lastFrame;

    // The port table was dropped: what was in flight is forgotten with it.
    void ForgetExchanges() {
        FInFlight.clear();
        FMayWrite.clear();
    }

    bool CanTransmit(uint8_t port) override;
    uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) override;
    void TransferDone(uint8_t port) override;

private:
    void CheckFrame(const std::vector<uint8_t>& frame);

    Violation FViolation;
    std::map<uint8_t, bool> FInFlight;
    std::map<uint8_t, bool> FMayWrite;
};

class HookedServer : public IHostServer {
public:
    bool throwOnLog = false, throwOnIdle = false;
    std::function<void()> onIdle;
    std::function<void(const std::string&)> onLog;
    uint64_t lines = 0, idles = 0;

    void WriteLog(const std::string& line) override {
        ++lines;
        if (onLog) onLog(line);
        if (throwOnLog) throw HostFailure();
    }
    void Idle() override {
        ++idles;
        if (onIdle) onIdle();
        if (throwOnIdle) throw HostFailure();
    }
};

}  // namespace tervex::fuzz
