#pragma once
// Serves a paced line: bytes the master writes on its terminal reach the far
// end (the simulated controllers, or a second terminal with a stack of its
// own behind it) character by character at their wire times, and the far
// end's answers come back the same way after the turnaround.
#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/Line.h"
#include "sim/Outbox.h"
#include "sim/WirePacer.h"
#include "sim/app/Options.h"
#include "sim/app/Port.h"

namespace tervex::sim {

// The controller side of a paced line.
class FarEnd {
public:
    virtual ~FarEnd() = default;
    // Descriptor to wait on for its bytes, or -1 when its bytes come by time alone.
    virtual int WaitHandle() const = 0;
    // When its next bytes are due, if it knows (nanoseconds, monotonic).
    virtual std::optional<int64_t> NextDueNs() const = 0;
    // Bytes the master's characters brought, as they arrive.
    virtual bool Give(const std::vector<uint8_t>& bytes, std::string& error) = 0;
    // Bytes it has sent by now.
    virtual bool Take(int64_t nowNs, std::vector<uint8_t>& bytes, std::string& error) = 0;
};

// The simulated controllers of a Line.
class SimulatorEnd final : public FarEnd {
public:
    explicit SimulatorEnd(Line& line) : line_(line) {}
    int WaitHandle() const override { return -1; }
    std::optional<int64_t> NextDueNs() const override;
    bool Give(const std::vector<uint8_t>& bytes, std::string& error) override;
    bool Take(int64_t nowNs, std::vector<uint8_t>& bytes, std::string& error) override;

private:
    Line& line_;
    Outbox outbox_;
};

// A second terminal: whatever serves on its other side.
class TerminalEnd final : public FarEnd {
public:
    explicit TerminalEnd(Port& port) : port_(port) {}
    int WaitHandle() const override { return port_.Handle(); }
    std::optional<int64_t> NextDueNs() const override { return std::nullopt; }
    bool Give(const std::vector<uint8_t>& bytes, std::string& error) override { return port_.WriteAll(bytes, error); }
    bool Take(int64_t nowNs, std::vector<uint8_t>& bytes, std::string& error) override;

private:
    Port& port_;
};

int64_t MonotonicNs();

// Runs until *stop becomes non-zero, the duration has passed or a side fails;
// the pacer holds what went over the wire. Returns the program's exit code.
int ServePaced(Port& master, FarEnd& far, WirePacer& pacer, std::optional<int64_t> durationMs,
               const volatile std::sig_atomic_t* stop);

// The pacer's counts as "key=value" lines, for scripts.
std::string WireReport(const WirePacer& pacer);

// ServePaced on a line with these settings; at the end the counts go to
// standard error and, if statsPath is not empty, into that file.
int ServeLine(Port& master, FarEnd& far, const SerialSettings& serial, int64_t turnaroundMs,
              const std::string& statsPath, std::optional<int64_t> durationMs, const volatile std::sig_atomic_t* stop);

}  // namespace tervex::sim
