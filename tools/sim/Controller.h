#pragma once
// One simulated controller: its memory, passwords, running clock and live cells,
// and the answers it gives to requests addressed to it.
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Commands.h"
#include "sim/Faults.h"
#include "sim/Frames.h"
#include "sim/LiveCells.h"
#include "sim/Memory.h"
#include "sim/PasswordGate.h"

namespace tervex::sim {

// A run of bytes put into memory at start.
struct MemoryPreset {
    Area area = Area::Ram;
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};

struct ControllerConfig {
    uint8_t address = 1;
    Framing framing = Framing::Rtu;
    std::string readPassword;   // bytes as sent by the master (Windows-1251); empty: none
    std::string writePassword;
    int64_t passwordIdleMs = 120000;
    int64_t answerDelayMs = 0;  // between the end of a request and the answer
    std::vector<MemoryPreset> presets;
    std::vector<LiveCell> liveCells;
    std::vector<FaultRule> faults;
};

class Controller {
public:
    // clockSeconds: local calendar time the clock shows at nowMs.
    Controller(const ControllerConfig& config, int64_t clockSeconds, int64_t nowMs);

    const ControllerConfig& Config() const { return config_; }
    uint8_t Address() const { return config_.address; }

    // Whether the request is for this controller and one it takes: data
    // requests in its own framing, password frames always binary.
    bool Understands(const Request& request) const;
    // Carries out a request that Understands() took and gives the answer.
    Answer Serve(const Request& request, int64_t nowMs);

    // Brings the clock bytes and live cells up to nowMs.
    void Refresh(int64_t nowMs);
    // Local calendar seconds the clock shows at nowMs.
    int64_t ClockSeconds(int64_t nowMs) const;

    Memory& Mem() { return memory_; }
    const Memory& Mem() const { return memory_; }
    const PasswordGate& Passwords() const { return passwords_; }

private:
    Answer Ack(const Request& request, uint8_t code) const;
    Answer Reset(Framing framing) const;
    void AfterClockWrite(uint32_t address, size_t count, int64_t nowMs);

    ControllerConfig config_;
    Memory memory_;
    PasswordGate passwords_;
    int64_t startMs_;
    int64_t clockBaseSeconds_;
    int64_t clockBaseMs_;
};

}  // namespace tervex::sim
