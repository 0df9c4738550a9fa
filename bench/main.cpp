// The benchmark program: runs the benchmarks (Google Benchmark flags apply) and, with
// --report FILE, measures the wire and memory figures and writes the report.
//
//     tervex_bench [--report FILE] [--peer-rounds N] [--benchmark_...]
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "EngineBench.h"
#include "Machine.h"
#include "MemoryStats.h"
#include "PeerBench.h"
#include "Report.h"
#include "WireStats.h"

namespace {

constexpr int kEngineRounds = 5;  // turns of every engine cycle size; the best counts

}  // namespace

int main(int argc, char** argv) {
    std::string reportPath;
    int peerRounds = 5;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report") == 0 && i + 1 < argc) {
            reportPath = argv[++i];
        } else if (std::strcmp(argv[i], "--peer-rounds") == 0 && i + 1 < argc) {
            peerRounds = std::max(1, std::atoi(argv[++i]));
        } else {
            args.push_back(argv[i]);
        }
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    // Keep the heap between cycles: no trimming, large blocks from the heap as well.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);

    bench::RegisterEngineBenchmarks(kEngineRounds);
    bench::RegisterPeerBenchmarks(peerRounds);
    bench::ReportInput input;
    input.started = bench::NowUtc();
    input.loadBefore = bench::LoadAverage();
    input.peerRounds = peerRounds;
    const auto start = std::chrono::steady_clock::now();
    if (!reportPath.empty()) {
        // First, while the process is small, so that its resident peak is this cycle's.
        input.peak = bench::MeasurePeak(100000);
    }
    bench::CollectingReporter reporter(isatty(STDOUT_FILENO) != 0);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    if (reportPath.empty()) return 0;

    std::fprintf(stderr, "wire and memory figures...\n");
    input.wire.push_back(bench::DemoStationWire());
    input.wire.push_back(bench::RandomSetWire("64 random items in 256 bytes of RAM", false, {0}, 256, 64, 20));
    input.wire.push_back(bench::RandomSetWire("64 random items in 256 bytes of RAM", true, {0}, 256, 64, 20));
    input.wire.push_back(bench::RandomSetWire("64 random items in 4 KiB of EEPROM", false, {2}, 4096, 64, 20));
    input.wire.push_back(bench::RandomSetWire("256 random items in 1 KiB of 4 areas", false, {2, 3, 4, 5}, 1024, 256, 20));
    input.wire.push_back(bench::RandomSetWire("256 random items in 1 KiB of 4 areas", true, {2, 3, 4, 5}, 1024, 256, 20));
    input.heldOneFrameEach = bench::MeasureHeld(true, 10000);
    input.heldScale = bench::MeasureHeld(false, 10000);
    for (int64_t n : {1000, 10000, 100000}) {
        input.allocationsRtu.push_back({n, bench::AllocationsPerItem(n, false)});
        input.allocationsAscii.push_back({n, bench::AllocationsPerItem(n, true)});
    }
    input.loadAfter = bench::LoadAverage();
    input.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    input.runs = reporter.Runs();
    input.findingsPath = std::string(TERVEX_SOURCE_DIR) + "/bench/findings.md";
    if (!bench::WriteReport(reportPath, input)) {
        std::fprintf(stderr, "cannot write %s\n", reportPath.c_str());
        return 1;
    }
    std::fprintf(stderr, "report written to %s\n", reportPath.c_str());
    return 0;
}
