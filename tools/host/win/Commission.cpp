#include "tools/host/win/Commission.h"

#include <fstream>

#include "tools/host/core/Commission.h"
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
    if (!plan) return 2;

    // A station lends its section of the port and its driver settings.
    Station station;
    std::string baseDir;
    if (!options.station.empty()) {
        StationResult loaded = LoadStation(WindowsPath(options.station));
        for (StationError e : loaded.errors) {
            e.file = options.station;
            WriteErr(e.ToString() + "\n");
        }
        if (!loaded.errors.empty()) return 2;
        station = std::move(loaded.station);
        const std::string file = WindowsPath(options.station);
        const size_t slash = file.find_last_of("/\\");
        if (slash != std::string::npos) baseDir = file.substr(0, slash);
    }
    PortConfig port = CommissionPort(options.commission, options.station.empty() ? nullptr : &station);
    if (!options.commission.simLine.empty() && port.simLineFile == options.commission.simLine)
        port.simLineFile = WindowsPath(port.simLineFile);
    std::vector<std::pair<std::string, std::string>> settings = station.settings;
    settings.insert(settings.end(), options.commission.settings.begin(), options.commission.settings.end());

    LineSession session;
    std::string error;
    if (!session.Open(options.dll, port, baseDir, settings, error)) {
        WriteErr("tervex-host: " + error + "\n");
        return 1;
    }
    InstallStopHandler();
    std::string results;
    const int code = options.commission.mode == CommissionMode::Scan
                         ? RunScan(session, *plan, options.commission, TimingOf(settings), results)
                         : RunOneShot(session, *plan, options.commission.mode == CommissionMode::Write, results);
    if (!options.results.empty()) {
        std::ofstream out(WindowsPath(options.results), std::ios::binary);
        out << results;
        if (!out) {
            WriteErr("tervex-host: cannot write " + options.results + "\n");
            return 1;
        }
    }
    return code;
}

}  // namespace tervex::host
