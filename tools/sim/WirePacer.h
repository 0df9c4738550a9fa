#pragma once
// The timeline of one half-duplex serial line. Every character takes its bit
// times on the wire, one transmission at a time; an answer starts no earlier
// than the controller's turnaround after the last request character. Nothing
// here sleeps: callers say when bytes became ready and are told when each one
// has fully arrived at the other end. Times are nanoseconds on any monotonic scale.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tervex::sim {

struct WireTiming {
    int baud = 9600;
    int bitsPerChar = 10;  // start bit, data bits, parity bit if any, stop bits
    int64_t turnaroundNs = 2000000;

    int64_t CharNs() const { return static_cast<int64_t>(bitsPerChar) * 1000000000 / baud; }
};

// Characters placed on the wire: the first starts at startNs, character i has
// arrived at startNs + (i + 1) * charNs.
struct Burst {
    int64_t startNs = 0;
    int64_t charNs = 0;
    size_t count = 0;

    int64_t ArrivalNs(size_t i) const { return startNs + static_cast<int64_t>(i + 1) * charNs; }
    int64_t EndNs() const { return ArrivalNs(count == 0 ? 0 : count - 1); }
};

// What was on the wire, and for how long.
struct WireCounts {
    uint64_t requests = 0;  // master transmissions after an answer (or the first)
    uint64_t answers = 0;   // controller transmissions after a request
    uint64_t requestChars = 0;
    uint64_t answerChars = 0;
    int64_t busyNs = 0;     // characters plus turnarounds
    int64_t firstNs = 0;    // start of the first character
    int64_t lastNs = 0;     // end of the last character
    // How long the master let the wire rest between each answer's last
    // character and its next request: the line time the master's side loses.
    std::vector<int64_t> replyGapsNs;

    int64_t ElapsedNs() const { return lastNs - firstNs; }
    int64_t ReplyGapMeanNs() const;
    int64_t ReplyGapPercentileNs(int percent) const;
};

class WirePacer {
public:
    explicit WirePacer(WireTiming timing) : timing_(timing) {}

    // count characters the master wrote at readyNs.
    Burst Request(size_t count, int64_t readyNs) { return Place(count, readyNs, false); }
    // count characters a controller wrote at readyNs.
    Burst Answer(size_t count, int64_t readyNs) { return Place(count, readyNs, true); }

    const WireTiming& Timing() const { return timing_; }
    const WireCounts& Counts() const { return counts_; }

private:
    enum class Last { None, Request, Answer };
    Burst Place(size_t count, int64_t readyNs, bool answer);

    WireTiming timing_;
    WireCounts counts_;
    Last last_ = Last::None;
    int64_t freeNs_ = 0;  // the wire is idle from here on
};

}  // namespace tervex::sim
