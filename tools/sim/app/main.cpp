// tervex-sim: simulated Tervex controllers on a pseudo-terminal or a serial device.
#include <csignal>
#include <cstdio>

#include "sim/Clock.h"
#include "sim/Line.h"
#include "sim/app/Options.h"
#include "sim/app/PacedLink.h"
#include "sim/app/Port.h"
#include "sim/app/Serve.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnSignal(int)
{
    g_stop = 1;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace tervex::sim;
    Options options;
    const auto optionErrors = ParseOptions(argc, argv, options);
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (!optionErrors.empty()) {
        for (const auto& e : optionErrors)
            std::fprintf(stderr, "tervex-sim: %s\n", e.c_str());
        std::fputs(UsageText(), stderr);
        return 2;
    }
    LineConfig config;
    const auto configErrors = BuildLineConfig(options, config);
    if (!configErrors.empty()) {
        for (const auto& e : configErrors)
            std::fprintf(stderr, "tervex-sim: %s\n", e.ToString().c_str());
        return 2;
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    Port port;
    std::string error;
    const bool opened = options.device.empty() ? Port::OpenPty(options.linkPath, port, error)
                                               : Port::OpenSerial(options.device, options.serial, port, error);
    if (!opened) {
        std::fprintf(stderr, "tervex-sim: %s\n", error.c_str());
        return 1;
    }

    SteadyClock clock;
    Line line(clock, config);
    if (options.verbose)
        line.SetLog([](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); });

    // The path first and alone on its line: scripts and tests read it.
    std::printf("%s\n", port.Path().c_str());
    std::fflush(stdout);
    for (const ControllerConfig& c : config.controllers)
        std::fprintf(stderr, "tervex-sim: controller %u, %s%s%s, on %s\n", static_cast<unsigned>(c.address),
                     FramingName(c.framing), c.readPassword.empty() ? "" : ", read password",
                     c.writePassword.empty() ? "" : ", write password", port.Path().c_str());
    if (!options.pace)
        return Serve(port, clock, line, options.durationMs, &g_stop);

    SimulatorEnd far(line);
    return ServeLine(port, far, options.serial, options.turnaroundMs, options.wireStatsPath, options.durationMs, &g_stop);
}
