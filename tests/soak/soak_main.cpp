// Runs the soak: SoakWorld for a number of exchanges, with the heap sampled at every
// hundredth of the run. Fails on any broken invariant, or when the heap at the end of
// the run (its last tenth) holds more than at its start (its first tenth).
//   tervex_soak [exchanges, default 1000000] [seed, default 1]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/soak/CountingHeap.h"
#include "tests/soak/SoakWorld.h"

namespace {

struct Sample {
    uint64_t exchanges;
    int64_t liveBytes;
    int64_t liveBlocks;
};

struct Span {
    int64_t maxBytes = 0, maxBlocks = 0;
    double meanBytes = 0;
};

Span Over(const std::vector<Sample>& samples, size_t from, size_t to) {
    Span s;
    for (size_t i = from; i < to; ++i) {
        s.maxBytes = std::max(s.maxBytes, samples[i].liveBytes);
        s.maxBlocks = std::max(s.maxBlocks, samples[i].liveBlocks);
        s.meanBytes += static_cast<double>(samples[i].liveBytes);
    }
    if (to > from) s.meanBytes /= static_cast<double>(to - from);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t target = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    if (target < 100) {
        std::fprintf(stderr, "usage: tervex_soak [exchanges >= 100] [seed]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<Sample> samples;
    uint64_t steps = 0;
    const auto before = tervex::soak::Heap();
    {
        tervex::soak::SoakWorld world(seed);
        uint64_t next = target / 100;
        for (uint64_t exchanges = 0; exchanges < target;) {
            exchanges = world.Step();
            ++steps;
            if (exchanges >= next) {
                const auto heap = tervex::soak::Heap();
                samples.push_back({exchanges, heap.liveBytes, heap.liveBlocks});
                next += target / 100;
            }
        }
        world.Finish();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const tervex::soak::SoakFigures f = world.Figures();
        std::printf("soak seed %llu: %llu exchanges (%llu writes refused) in %llu host steps, %.1f s, %.0f exchanges/s\n",
                    static_cast<unsigned long long>(seed), static_cast<unsigned long long>(f.exchanges),
                    static_cast<unsigned long long>(f.refusedWrites), static_cast<unsigned long long>(steps), seconds,
                    static_cast<double>(f.exchanges) / seconds);
        std::printf("tasks: %llu queued, %llu finished, %llu dropped, %llu values delivered\n",
                    static_cast<unsigned long long>(f.tasks.queued), static_cast<unsigned long long>(f.tasks.finished),
                    static_cast<unsigned long long>(f.tasks.dropped), static_cast<unsigned long long>(f.tasks.values));
        std::printf("results:");
        for (const auto& [result, n] : f.tasks.byResult) {
            std::printf(" 0x%08X x %llu", result, static_cast<unsigned long long>(n));
        }
        std::printf("\nhost: %llu polls (%llu waited), %llu deliveries, %llu removals, %llu clears, "
                    "%llu settings changes, %llu busy or refusing spells\n",
                    static_cast<unsigned long long>(f.polls), static_cast<unsigned long long>(f.syncPolls),
                    static_cast<unsigned long long>(f.deliveries), static_cast<unsigned long long>(f.removals),
                    static_cast<unsigned long long>(f.clears), static_cast<unsigned long long>(f.settingsChanges),
                    static_cast<unsigned long long>(f.busySpells));
        for (const std::string& v : world.FirstViolations()) std::printf("broken: %s\n", v.c_str());
        if (f.violations != 0 || f.tasks.queued != f.tasks.finished + f.tasks.dropped) {
            std::printf("FAILED: %llu broken invariants\n", static_cast<unsigned long long>(f.violations));
            return 1;
        }
    }
    // The first and the last tenth of the run; the first hundredth is left out as warm-up.
    const size_t n = samples.size();
    const Span first = Over(samples, n >= 20 ? 1 : 0, n / 10);
    const Span last = Over(samples, n - n / 10, n);
    std::printf("heap, first tenth: mean %.0f B, max %lld B in %lld blocks; last tenth: mean %.0f B, max %lld B in %lld blocks\n",
                first.meanBytes, static_cast<long long>(first.maxBytes), static_cast<long long>(first.maxBlocks),
                last.meanBytes, static_cast<long long>(last.maxBytes), static_cast<long long>(last.maxBlocks));
    const auto after = tervex::soak::Heap();
    std::printf("heap before the run: %lld B in %lld blocks; after it: %lld B in %lld blocks\n",
                static_cast<long long>(before.liveBytes), static_cast<long long>(before.liveBlocks),
                static_cast<long long>(after.liveBytes), static_cast<long long>(after.liveBlocks));
    // Flat: the last tenth's peak within the first tenth's peak plus 5 % (tasks in
    // flight and queue lengths vary from moment to moment).
    if (static_cast<double>(last.maxBytes) > static_cast<double>(first.maxBytes) * 1.05) {
        std::printf("FAILED: the heap grew\n");
        return 1;
    }
    // Only what the libraries keep for good (tables made on first use) may stay.
    if (after.liveBytes - before.liveBytes > 16384) {
        std::printf("FAILED: %lld bytes still held after the run\n",
                    static_cast<long long>(after.liveBytes - before.liveBytes));
        return 1;
    }
    std::printf("OK\n");
    return 0;
}
