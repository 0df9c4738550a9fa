#include "tools/host/core/Options.h"

#include <cmath>

#include "tools/host/core/TextFields.h"

namespace tervex::host {

std::string UsageText() {
    return std::string(
               "usage: tervex-host [--dll PATH] --station FILE [options]      serve a station's items\n"
               "       tervex-host [--dll PATH] --configure --station FILE    edit a station on the driver's pages\n"
               "       tervex-host [--dll PATH] --scan COMn | --read-once COMn | --write-once COMn VALUE [options]\n"
               "       tervex-host [--dll PATH] --version | --help\n"
               "  --dll PATH               the driver library (default tervex.dll)\n"
               "  --station FILE           the station: settings, ports, nodes, items\n"
               "  --configure              the window mode: a tree of the station's ports, nodes and items\n"
               "                           beside the driver's own pages (the file is created on save)\n"
               "  --duration S             run S seconds, then print the summary (default 20)\n"
               "  --refresh S              print the live table every S seconds; 0: only at the end (default 5)\n"
               "  --write NODE.ITEM=VALUE  write VALUE once at the start; may be repeated\n"
               "  --write-at S NODE.ITEM=VALUE   the same, S seconds after the start\n"
               "  --log                    print the driver's protocol log as it comes\n"
               "  --sync                   queue synchronous tasks (Poll waits; answers arrive through Idle)\n"
               "  --tick-ms N              period of the driver's timer tick (default 20)\n"
               "  --results FILE           write the final values as tab-separated lines\n"
               "  --read-every-ms N        read every item every N ms, whatever its scan rate (load tests)\n"
               "  --sleep-ms N             sleep N ms between steps instead of waiting for the ports\n"
               "  --version                the host's version and that of the driver library\n"
               "  --help, -h               this text\n") +
           CommissionUsageText() +
           "exit codes: 0 done (a one-off: a good answer), 1 the driver, a port or the results file cannot be\n"
           "  had, 2 a bad command line, station or write value; a one-off: 3 no answer, 4 a wrong answer,\n"
           "  5 the controller asks for its password, 6 CRC errors, 7 the driver failed the task, 8 stopped\n";
}

const char* UsageHint() { return "tervex-host --help lists every option\n"; }

namespace {

bool ReadSeconds(const std::string& text, double low, int64_t& ms) {
    const auto seconds = ParseDecimal(text);
    if (!seconds || *seconds < low || *seconds > 86400) return false;
    ms = static_cast<int64_t>(std::llround(*seconds * 1000));
    return true;
}

bool ReadWrite(const std::string& text, WriteOption& write) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    write.item = text.substr(0, eq);
    write.value = text.substr(eq + 1);
    return write.item.find('.') != std::string::npos;
}

}  // namespace

std::vector<std::string> ParseOptions(int argc, const char* const* argv, Options& options) {
    std::vector<std::string> errors;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&](const char* what) -> const char* {
            if (i + 1 >= argc) {
                errors.push_back(arg + " needs " + what);
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--configure") {
            options.configure = true;
        } else if (arg == "--dll") {
            if (const char* v = next("a path")) options.dll = v;
        } else if (arg == "--station") {
            if (const char* v = next("a file")) options.station = v;
        } else if (arg == "--duration") {
            if (const char* v = next("seconds"))
                if (!ReadSeconds(v, 0.1, options.durationMs)) errors.push_back("--duration: \"" + std::string(v) + "\" is not 0.1..86400 seconds");
        } else if (arg == "--refresh") {
            if (const char* v = next("seconds"))
                if (!ReadSeconds(v, 0, options.refreshMs)) errors.push_back("--refresh: \"" + std::string(v) + "\" is not 0..86400 seconds");
        } else if (arg == "--tick-ms") {
            if (const char* v = next("milliseconds")) {
                const auto ms = ParseInteger(v);
                if (!ms || *ms < 1 || *ms > 1000) errors.push_back("--tick-ms: \"" + std::string(v) + "\" is not 1..1000");
                else options.tickMs = static_cast<int>(*ms);
            }
        } else if (arg == "--read-every-ms" || arg == "--sleep-ms") {
            if (const char* v = next("milliseconds")) {
                const auto ms = ParseInteger(v);
                if (!ms || *ms < 1 || *ms > 100000) errors.push_back(arg + ": \"" + std::string(v) + "\" is not 1..100000");
                else if (arg == "--sleep-ms") options.sleepMs = static_cast<int>(*ms);
                else options.readEveryMs = *ms;
            }
        } else if (arg == "--write") {
            if (const char* v = next("NODE.ITEM=VALUE")) {
                WriteOption write;
                if (ReadWrite(v, write)) options.writes.push_back(write);
                else errors.push_back("--write: \"" + std::string(v) + "\" is not NODE.ITEM=VALUE");
            }
        } else if (arg == "--write-at") {
            const char* at = next("seconds and NODE.ITEM=VALUE");
            const char* v = at ? next("NODE.ITEM=VALUE") : nullptr;
            if (at && v) {
                WriteOption write;
                if (!ReadSeconds(at, 0, write.atMs)) errors.push_back("--write-at: \"" + std::string(at) + "\" is not a time in seconds");
                else if (!ReadWrite(v, write)) errors.push_back("--write-at: \"" + std::string(v) + "\" is not NODE.ITEM=VALUE");
                else options.writes.push_back(write);
            }
        } else if (arg == "--log") {
            options.log = true;
        } else if (arg == "--sync") {
            options.sync = true;
        } else if (arg == "--results") {
            if (const char* v = next("a file")) options.results = v;
        } else if (!ParseCommissionOption(arg, next, options.commission, errors)) {
            errors.push_back("unknown option \"" + arg + "\"");
        }
    }
    return errors;
}

}  // namespace tervex::host
