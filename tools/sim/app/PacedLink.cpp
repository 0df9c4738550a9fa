#include "sim/app/PacedLink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <poll.h>
#include <utility>

namespace tervex::sim {

namespace {

constexpr int64_t kNsPerMs = 1000000;

// Characters on their way to one side, each with the time it has arrived.
class InFlight {
public:
    void Add(const Burst& burst, const std::vector<uint8_t>& bytes)
    {
        for (size_t i = 0; i < bytes.size(); ++i)
            chars_.emplace_back(burst.ArrivalNs(i), bytes[i]);
    }
    std::vector<uint8_t> TakeArrived(int64_t nowNs)
    {
        std::vector<uint8_t> out;
        while (!chars_.empty() && chars_.front().first <= nowNs) {
            out.push_back(chars_.front().second);
            chars_.pop_front();
        }
        return out;
    }
    std::optional<int64_t> NextNs() const
    {
        if (chars_.empty())
            return std::nullopt;
        return chars_.front().first;
    }

private:
    std::deque<std::pair<int64_t, uint8_t>> chars_;
};

void Earliest(std::optional<int64_t>& wake, std::optional<int64_t> candidate)
{
    if (candidate && (!wake || *candidate < *wake))
        wake = candidate;
}

}  // namespace

int64_t MonotonicNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

std::optional<int64_t> SimulatorEnd::NextDueNs() const
{
    const auto ms = outbox_.NextDueMs();
    if (!ms)
        return std::nullopt;
    return *ms * kNsPerMs;
}

bool SimulatorEnd::Give(const std::vector<uint8_t>& bytes, std::string&)
{
    outbox_.Push(line_.Feed(bytes));
    return true;
}

bool SimulatorEnd::Take(int64_t nowNs, std::vector<uint8_t>& bytes, std::string&)
{
    // The line's clock counts whole milliseconds of the same monotonic scale.
    bytes = outbox_.TakeDue(nowNs / kNsPerMs);
    return true;
}

bool TerminalEnd::Take(int64_t, std::vector<uint8_t>& bytes, std::string& error)
{
    return port_.Read(0, bytes, error);
}

int ServePaced(Port& master, FarEnd& far, WirePacer& pacer, std::optional<int64_t> durationMs,
               const volatile std::sig_atomic_t* stop)
{
    InFlight toFar;
    InFlight toMaster;
    std::vector<uint8_t> bytes;
    std::string error;
    const int64_t start = MonotonicNs();
    const std::optional<int64_t> end =
        durationMs ? std::optional<int64_t>(start + *durationMs * kNsPerMs) : std::nullopt;
    while (!*stop && error.empty()) {
        int64_t now = MonotonicNs();
        if (end && now >= *end)
            break;
        if (!(bytes = toFar.TakeArrived(now)).empty() && !far.Give(bytes, error))
            break;
        if (!(bytes = toMaster.TakeArrived(now)).empty() && !master.WriteAll(bytes, error))
            break;
        if (!master.Read(0, bytes, error))
            break;
        if (!bytes.empty())
            toFar.Add(pacer.Request(bytes.size(), now), bytes);
        if (!far.Take(now, bytes, error))
            break;
        if (!bytes.empty())
            toMaster.Add(pacer.Answer(bytes.size(), now), bytes);

        // Sleep until a character arrives somewhere, a side has bytes or the run ends.
        std::optional<int64_t> wake = end;
        Earliest(wake, toFar.NextNs());
        Earliest(wake, toMaster.NextNs());
        Earliest(wake, far.NextDueNs());
        now = MonotonicNs();
        const int64_t waitNs = std::clamp<int64_t>(wake ? *wake - now : 500 * kNsPerMs, 0, 500 * kNsPerMs);
        pollfd fds[2] = {{master.Handle(), POLLIN, 0}, {far.WaitHandle(), POLLIN, 0}};
        const timespec timeout{static_cast<time_t>(waitNs / 1000000000), static_cast<long>(waitNs % 1000000000)};
        if (::ppoll(fds, far.WaitHandle() >= 0 ? 2 : 1, &timeout, nullptr) < 0 && errno != EINTR) {
            error = "ppoll failed";
            break;
        }
    }
    if (!error.empty()) {
        std::fprintf(stderr, "tervex-sim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

std::string WireReport(const WirePacer& pacer)
{
    const WireTiming& t = pacer.Timing();
    const WireCounts& c = pacer.Counts();
    const double elapsedMs = static_cast<double>(c.ElapsedNs()) / 1e6;
    const double busyMs = static_cast<double>(c.busyNs) / 1e6;
    char text[768];
    std::snprintf(text, sizeof text,
                  "baud=%d\nbits_per_char=%d\nturnaround_us=%lld\nrequests=%llu\nanswers=%llu\n"
                  "request_chars=%llu\nanswer_chars=%llu\nbusy_ms=%.3f\nelapsed_ms=%.3f\nbusy_share=%.4f\n"
                  "reply_gap_mean_us=%.1f\nreply_gap_p50_us=%.1f\nreply_gap_p99_us=%.1f\n",
                  t.baud, t.bitsPerChar, static_cast<long long>(t.turnaroundNs / 1000),
                  static_cast<unsigned long long>(c.requests), static_cast<unsigned long long>(c.answers),
                  static_cast<unsigned long long>(c.requestChars), static_cast<unsigned long long>(c.answerChars),
                  busyMs, elapsedMs, elapsedMs > 0 ? busyMs / elapsedMs : 0.0, c.ReplyGapMeanNs() / 1e3,
                  c.ReplyGapPercentileNs(50) / 1e3, c.ReplyGapPercentileNs(99) / 1e3);
    return text;
}

int ServeLine(Port& master, FarEnd& far, const SerialSettings& serial, int64_t turnaroundMs,
              const std::string& statsPath, std::optional<int64_t> durationMs, const volatile std::sig_atomic_t* stop)
{
    WireTiming timing;
    timing.baud = serial.baud;
    timing.bitsPerChar = serial.BitsPerChar();
    timing.turnaroundNs = turnaroundMs * kNsPerMs;
    WirePacer pacer(timing);
    const int code = ServePaced(master, far, pacer, durationMs, stop);
    const std::string report = WireReport(pacer);
    std::fputs(report.c_str(), stderr);
    if (!statsPath.empty())
        std::ofstream(statsPath) << report;
    return code;
}

}  // namespace tervex::sim
