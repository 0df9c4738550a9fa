#include "tools/host/win/Commission.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tools/host/core/Commission.h"
#include "tools/host/core/ExitCodes.h"
#include "tools/host/core/Outcome.h"
#include "tools/host/win/ConsoleText.h"
#include "tools/host/win/LineSession.h"
#include "tools/host/win/OneShot.h"
#include "tools/host/win/Scan.h"
#include "tools/host/win/StopFlag.h"

namespace tervex::host {

int RunCommission(const Options& options) {
    std::vector<std::string> errors;
    const std::optional<CommissionPlan> plan = PlanCommission(options.commission, errors);
    for (const std::string& e : errors) WriteErr("tervex-host: " + e + "\n");
    if (!plan) {
        WriteErr(UsageHint());
        return kExitBadInput;
    }

    // A station lends its section of the port and its driver settings.
    Station station;
    std::string baseDir;
    if (!options.station.empty()) {
        StationResult loaded = LoadStation(WindowsPath(options.station));
        for (StationError e : loaded.errors) {
            e.file = options.station;
            WriteErr(e.ToString() + "\n");
        }
        if (!loaded.errors.empty()) return kExitBadInput;
        station = std::move(loaded.station);
        const std::string file = WindowsPath(options.station);
        const size_t slash = file.find_last_of("/\\");
        if (slash != std::string::npos) baseDir = file.substr(0, slash);
    }
    PortConfig port = CommissionPort(options.commission, options.station.empty() ? nullptr : &station);
    if (!options.commission.simLine.empty() && port.simLineFile == options.commission.simLine)
        port.simLineFile = WindowsPath(port.simLineFile);
    const Settings settings = CommissionSettings(options.commission.mode, station.settings, options.commission.settings);

    LineSession session;
    std::string error;
    if (!session.Open(options.dll, port, baseDir, settings, error)) {
        WriteErr("tervex-host: " + error + "\n");
        return kExitUnavailable;
    }
    InstallStopHandler();
    std::string results;
    const int code = options.commission.mode == CommissionMode::Scan
                         ? RunScan(session, *plan, options.commission, station.settings, results)
                         : RunOneShot(session, *plan, options.commission.mode == CommissionMode::Write, results);
    if (!options.results.empty()) {
        errno = 0;
        std::ofstream out(std::filesystem::u8path(WindowsPath(options.results)), std::ios::binary);
        out << results;
        if (!out) {
            WriteErr("tervex-host: cannot write " + options.results + (errno ? std::string(": ") + std::strerror(errno) : "") + "\n");
            return kExitUnavailable;
        }
    }
    return code;
}

}  // namespace tervex::host
