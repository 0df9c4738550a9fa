// The driver's engine with no host around it, on a paced line, for
// scripts/capacity.sh: the same stations as the reference host's runs (items
// of one Byte at RAM 0.. of each controller, every one read again once its
// cycle is done), driven straight from a terminal. The line time it loses is
// what the engine itself costs; the rest of the host's loss is the host's.
// Prints the count of good and of all reads.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "EngineWorld.h"
#include "ItemPlan.h"
#include "TerminalPort.h"

namespace {

struct MasterOptions {
    std::string terminal;
    bool ascii = false;
    int controllers = 1;
    int items = 64;
    double seconds = 10;
};

bool Parse(int argc, char** argv, MasterOptions& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        const char* value = argv[i + 1];
        if (arg == "--terminal") options.terminal = value;
        else if (arg == "--framing") options.ascii = std::string(value) == "ASCII";
        else if (arg == "--controllers") options.controllers = std::atoi(value);
        else if (arg == "--items") options.items = std::atoi(value);
        else if (arg == "--seconds") options.seconds = std::atof(value);
        else return false;
    }
    return argc % 2 == 1 && !options.terminal.empty() && options.controllers > 0 && options.items > 0 &&
           options.seconds > 0;
}

}  // namespace

int main(int argc, char** argv) {
    MasterOptions options;
    if (!Parse(argc, argv, options)) {
        std::fputs("usage: tervex_engine_master --terminal PATH [--framing RTU|ASCII] [--controllers N] [--items N]"
                   " [--seconds S]\n",
                   stderr);
        return 2;
    }
    std::string error;
    bench::UniqueFd fd = bench::OpenTimedTerminal(options.terminal, 10, error);
    if (!fd.Valid()) {
        std::fprintf(stderr, "tervex_engine_master: %s\n", error.c_str());
        return 1;
    }
    bench::SystemClock clock;
    bench::TerminalPort port(std::move(fd));
    bench::CountingServer server;
    bench::CountingSink sink;
    tervex::DriverSettings settings;
    tervex::PollEngine engine(clock, port, server, sink, settings);

    const int perCycle = options.controllers * options.items;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(options.seconds);
    int64_t queued = 0;
    while (std::chrono::steady_clock::now() < end) {
        for (int c = 1; c <= options.controllers; ++c) {
            const tervex::NodeParams node = bench::MakeNode(0, c, options.ascii);
            for (int i = 0; i < options.items; ++i) engine.QueueTask(bench::ReadTask(node, 0, i, 17));
        }
        engine.Poll(0);
        queued += perCycle;
        while (sink.finished < queued) {
            if (!port.Pump(engine, 0)) {
                std::fprintf(stderr, "tervex_engine_master: no answer within a second\n");
                return 1;
            }
        }
    }
    std::printf("reads=%lld good=%lld\n", static_cast<long long>(sink.finished), static_cast<long long>(sink.good));
    return sink.good == sink.finished ? 0 : 1;
}
