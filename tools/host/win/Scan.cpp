#include "tools/host/win/Scan.h"

#include <cstdio>

#include "tools/host/core/ExitCodes.h"
#include "tools/host/win/ConsoleText.h"
#include "tools/host/win/StopFlag.h"

namespace tervex::host {

int RunScan(LineSession& session, const CommissionPlan& plan, const CommissionOptions& options,
            const Settings& stationSettings, std::string& results) {
    const int first = options.firstAddress;
    const int last = options.lastAddress;
    const int count = last - first + 1;
    const auto framings = static_cast<int64_t>(plan.framings.size());
    const LineTiming timing = TimingOf(CommissionSettings(CommissionMode::Scan, stationSettings, options.settings));
    std::string framingText;
    for (const std::string& f : plan.framings) framingText += (framingText.empty() ? "" : " then ") + f;
    WriteOut("Scanning " + session.PortText() + " with " + session.DriverName() + "\n  addresses " +
             std::to_string(first) + "-" + std::to_string(last) + ", " + framingText + ", reading " + ItemText(plan.item) + "\n" +
             ScanTimingText(stationSettings, options.settings, static_cast<int>(framings), count) + "\n");

    std::vector<AddressReport> reports;
    bool stopped = false;
    for (int address = first; address <= last && !stopped; ++address) {
        NodeConfig node = plan.node;
        node.address = address;
        std::vector<Probe> probes;
        for (const std::string& framing : plan.framings) {
            node.protocol = framing;
            // Each request starts from a clean slate: a silent framing leaves the
            // device resting in the driver, which would fail the next one unsent.
            session.Forget();
            const ExchangeOutcome outcome = session.Read(node, plan.item);
            if (!outcome.finished) {
                stopped = true;
                break;
            }
            probes.push_back(Probe{framing, outcome.result, outcome.received, outcome.sent});
            if (Settled(Judge(probes.back()))) break;
        }
        if (stopped) break;
        reports.push_back(Combine(address, std::move(probes)));
        results += ScanResultLine(reports.back());
        const int done = static_cast<int>(reports.size());
        char progress[32];
        std::snprintf(progress, sizeof(progress), "  [%3d/%d] ", done, count);
        WriteOut(progress + ReportLine(reports.back()) +
                 (done < count ? "; " + DurationText(timing.SilentMs() * framings * (count - done)) + " left at most" : "") +
                 "\n");
        stopped = StopRequested();
    }
    WriteOut(ScanSummary(reports, first, last, stopped));
    return kExitDone;  // whatever was found, and also when stopped
}

}  // namespace tervex::host
