#pragma once
// Gathers one port's ASCII answer as it arrives in pieces and decodes it into the binary
// shape of an RTU answer, CRC appended, so that it is judged like one. Every port has
// its own: answers of several lines may arrive interleaved piece by piece.
#include <cstdint>

#include "protocol/StopWatch.h"

namespace tervex {

class AsciiAssembler {
public:
    static constexpr int kCapacity = 30;          // characters held at most
    static constexpr uint32_t kReceiveGapMs = 1000;

    struct Result {
        bool complete = false;             // false: wait for the rest of the answer
        const uint8_t* data = nullptr;     // decoded answer, valid until the next call
        int count = 0;
        bool resetPasswords = false;       // the answer started with "?"
        uint8_t device = 0;                // its first decoded byte, for resetPasswords
    };

    explicit AsciiAssembler(ITickSource& ticks) : FRxWatch(ticks) {}

    // A piece of the answer, or nothing (data nil or count 0) when the port stays
    // silent; the latter completes with whatever whole answer the buffer holds.
    Result Assemble(const uint8_t* data, int count);

    // True once the gap after an incomplete piece has reached kReceiveGapMs.
    bool GapExpired() const { return FRxWatch.Running() && FRxWatch.Elapsed() >= kReceiveGapMs; }
    void StopGapWatch() { FRxWatch.Stop(); }
    bool GapWatchRunning() const { return FRxWatch.Running(); }

    // Forgets what the buffer holds.
    void Reset() {
        FRxCount = 0;
        FRxWatch.Reset();
    }

    int Count() const { return FRxCount; }
    const uint8_t* Held() const { return FRxBuffer; }  // Count() characters

private:
    Result Complete();

    uint8_t FRxBuffer[kCapacity + 1] = {};
    int FRxCount = 0;
    TStopWatch FRxWatch;
};

}  // namespace tervex
