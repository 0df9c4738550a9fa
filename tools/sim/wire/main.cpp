// tervex-wire: a paced serial line between two pseudo-terminals, for a master
// and a controller stack that both bring their own programs. The master's
// terminal path is printed first, the controller's second, one per line.
#include <csignal>
#include <cstdio>
#include <string>

#include "sim/TextUtil.h"
#include "sim/app/Options.h"
#include "sim/app/PacedLink.h"
#include "sim/app/Port.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnSignal(int)
{
    g_stop = 1;
}

const char* kUsage =
    "usage: tervex-wire [--master-link PATH] [--device-link PATH] [--baud N] [--line 8N1]\n"
    "                   [--turnaround-ms N] [--wire-stats FILE] [--duration SECONDS]\n"
    "Two pseudo-terminals joined by a half-duplex line at the baud rate: the master's\n"
    "characters reach the device side at their wire times, and the device's answers\n"
    "start the turnaround (default 2 ms) after the request's last character.\n";

struct WireOptions {
    std::string masterLink;
    std::string deviceLink;
    tervex::sim::SerialSettings serial;
    int64_t turnaroundMs = 2;
    std::string statsPath;
    std::optional<int64_t> durationMs;
};

bool Parse(int argc, char** argv, WireOptions& options)
{
    std::string lineText = "8N1";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        const std::string value = argv[++i];
        const auto n = tervex::sim::ParseUnsigned(value);
        if (arg == "--master-link")
            options.masterLink = value;
        else if (arg == "--device-link")
            options.deviceLink = value;
        else if (arg == "--line")
            lineText = value;
        else if (arg == "--wire-stats")
            options.statsPath = value;
        else if (arg == "--baud" && n && *n >= 50 && *n <= 4000000)
            options.serial.baud = static_cast<int>(*n);
        else if (arg == "--turnaround-ms" && n && *n <= 10000)
            options.turnaroundMs = static_cast<int64_t>(*n);
        else if (arg == "--duration" && n && *n >= 1)
            options.durationMs = static_cast<int64_t>(*n) * 1000;
        else
            return false;
    }
    const auto settings = tervex::sim::ParseLineSettings(lineText, options.serial.baud);
    if (!settings)
        return false;
    options.serial = *settings;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace tervex::sim;
    WireOptions options;
    if (!Parse(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    Port master;
    Port device;
    std::string error;
    if (!Port::OpenPty(options.masterLink, master, error) || !Port::OpenPty(options.deviceLink, device, error)) {
        std::fprintf(stderr, "tervex-wire: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n%s\n", master.Path().c_str(), device.Path().c_str());
    std::fflush(stdout);

    TerminalEnd far(device);
    return ServeLine(master, far, options.serial, options.turnaroundMs, options.statsPath, options.durationMs, &g_stop);
}
