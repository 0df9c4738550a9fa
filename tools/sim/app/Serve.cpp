#include "sim/app/Serve.h"

#include <algorithm>
#include <cstdio>

#include "sim/Outbox.h"

namespace tervex::sim {

int Serve(Port& port, const Clock& clock, Line& line, std::optional<int64_t> durationMs,
          const volatile std::sig_atomic_t* stop)
{
    Outbox outbox;
    const int64_t start = clock.NowMs();
    std::vector<uint8_t> received;
    std::string error;
    while (!*stop) {
        const int64_t now = clock.NowMs();
        if (durationMs && now - start >= *durationMs)
            break;
        const std::vector<uint8_t> due = outbox.TakeDue(now);
        if (!due.empty() && !port.WriteAll(due, error))
            break;

        // Sleep in poll until bytes arrive, the next answer is due or the run ends.
        int64_t waitMs = 500;
        if (const auto next = outbox.NextDueMs())
            waitMs = std::min(waitMs, *next - now);
        if (durationMs)
            waitMs = std::min(waitMs, start + *durationMs - now);
        if (!port.Read(static_cast<int>(std::max<int64_t>(waitMs, 0)), received, error))
            break;
        if (!received.empty())
            outbox.Push(line.Feed(received));
    }
    if (!error.empty()) {
        std::fprintf(stderr, "tervex-sim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace tervex::sim
