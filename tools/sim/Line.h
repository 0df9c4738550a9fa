#pragma once
// A serial line with any number of simulated controllers on it: bytes written
// by the master go in, answers come out as timed pieces. Nothing here sleeps or
// touches a device; the caller writes the pieces when they are due (see Outbox).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/Clock.h"
#include "sim/Controller.h"
#include "sim/Faults.h"
#include "sim/RequestFramer.h"

namespace tervex::sim {

struct LineConfig {
    uint64_t seed = 1;
    int64_t frameGapMs = 100;                  // see RequestFramer
    std::optional<int64_t> clockStartSeconds;  // what the clocks show at start; default: local time now
    // Addresses should be unique (the config readers see to it); otherwise
    // the first controller with an address takes its requests.
    std::vector<ControllerConfig> controllers;
};

// Bytes to be written to the line once the clock reaches dueMs.
struct Piece {
    int64_t dueMs = 0;
    std::vector<uint8_t> bytes;
};

class Line {
public:
    Line(const Clock& clock, const LineConfig& config);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // Takes bytes from the master, at the clock's current time, and gives the
    // answers to every request they complete, in order.
    std::vector<Piece> Feed(const uint8_t* data, size_t size);
    std::vector<Piece> Feed(const std::vector<uint8_t>& bytes) { return Feed(bytes.data(), bytes.size()); }

    Controller* Find(uint8_t address);
    size_t ControllerCount() const { return stations_.size(); }

    // One line of text per request and answer, for a verbose program.
    void SetLog(std::function<void(const std::string&)> sink) { log_ = std::move(sink); }

private:
    struct Station;
    std::vector<Piece> Respond(Station& station, const Request& request, int64_t nowMs);
    void Log(const std::string& text) const;

    const Clock& clock_;
    RequestFramer framer_;
    std::vector<std::unique_ptr<Station>> stations_;
    std::function<void(const std::string&)> log_;
};

// Text of a frame for logs: hex bytes for binary, the characters for text.
std::string TraceText(const std::vector<uint8_t>& wire);

}  // namespace tervex::sim
