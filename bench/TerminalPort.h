#pragma once
// The host side of a serial line on a pseudo-terminal, for the exchange benchmarks:
// a host port for the poll engine that writes frames to the terminal and hands the
// bytes it reads back to the engine once the engine calls them a complete frame.
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/EngineHost.h"
#include "protocol/PollEngine.h"

namespace bench {

// Owns one file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : FFd(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : FFd(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    int Release();

private:
    int FFd = -1;
};

// A new pseudo-terminal pair: the master's descriptor and the terminal's path. The
// terminal side is put in raw mode and held open, so that its settings stay while
// the peers open and close it.
struct PtyPair {
    UniqueFd master;
    UniqueFd terminal;
    std::string terminalPath;
    static bool Open(PtyPair& pair, std::string& error);
};

// Opens a terminal path in raw mode, for reads that wait at most timeoutTenths tenths
// of a second for the first byte and return with whatever has come.
UniqueFd OpenTimedTerminal(const std::string& path, int timeoutTenths, std::string& error);

class TerminalPort : public tervex::IHostPort {
public:
    explicit TerminalPort(UniqueFd fd) : FFd(std::move(fd)) {}

    bool CanTransmit(uint8_t) override { return !FBusy; }
    uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) override;
    void TransferDone(uint8_t) override { FBusy = false; }

    // Waits for bytes (up to the terminal's read time-out) and gathers them; once the
    // engine calls what is gathered a complete frame, hands it over and lets the engine
    // send the next one. Returns false when the wait ran out or the terminal failed.
    bool Pump(tervex::PollEngine& engine, uint8_t portNo);

    int Fd() const { return FFd.Get(); }

private:
    UniqueFd FFd;
    bool FBusy = false;
    std::vector<uint8_t> FReceived;
};

// The engine's clock for real exchanges.
class SystemClock : public tervex::IEngineClock {
public:
    double LocalNow() override;
    uint64_t MonotonicMs() override;
    void SleepMs(uint32_t ms) override;
    bool Terminated() override { return false; }
};

}  // namespace bench
