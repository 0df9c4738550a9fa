#pragma once
// Collects the benchmark runs and writes the report: machine, method, the command to
// reproduce, and the figures.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "MemoryStats.h"
#include "WireStats.h"

namespace bench {

struct Measured {
    std::string name;         // without the "/min_time:..." and similar suffixes
    double realSeconds = 0;   // per iteration
    double cpuSeconds = 0;    // per iteration, the benchmark thread's
    int64_t iterations = 0;
    std::map<std::string, double> counters;
    bool failed = false;
    std::string error;
};

// Prints as the console reporter does and keeps every run.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    explicit CollectingReporter(bool color) : ConsoleReporter(color ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override;
    const std::vector<Measured>& Runs() const { return FRuns; }

private:
    std::vector<Measured> FRuns;
};

struct ReportInput {
    std::vector<Measured> runs;
    std::vector<WireFigures> wire;
    HeldBytes heldOneFrameEach;
    HeldBytes heldScale;
    PeakMemory peak;
    std::vector<std::pair<int64_t, double>> allocationsRtu;    // items, allocations per item
    std::vector<std::pair<int64_t, double>> allocationsAscii;
    std::string started;
    std::string loadBefore;
    std::string loadAfter;
    double wallSeconds = 0;
    int peerRounds = 0;
    std::string findingsPath;  // a hand-written section appended as it is, if present
};

bool WriteReport(const std::string& path, const ReportInput& input);

}  // namespace bench
