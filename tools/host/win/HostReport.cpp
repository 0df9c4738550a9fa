// What the host prints: the banner, the live table, events, the summary, and
// the results file for scripts and tests.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tools/host/core/Outcome.h"
#include "tools/host/core/TextTable.h"
#include "tools/host/win/ConsoleText.h"
#include "tools/host/win/HostRun.h"
#include "tools/host/win/SystemText.h"
#include "tools/host/win/VariantText.h"
#include "values/DataTypes.h"

namespace tervex::host {

namespace {

std::string Decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.3f", value);
    return text;
}

// User and kernel time of this process so far.
int64_t ProcessCpuMs() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
    const auto ticks = [](const FILETIME& t) { return (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return (ticks(kernel) + ticks(user)) / 10000;
}

std::string Seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

}  // namespace

void HostRun::Print(const std::string& text) const { WriteOut(text); }

void HostRun::Event(const std::string& text) const {
    char stamp[24];
    std::snprintf(stamp, sizeof(stamp), "  [%6.2f s] ", static_cast<double>(NowMs()) / 1000.0);
    Print(stamp + text + "\n");
}

void HostRun::PrintBanner(const std::string& driverName, const std::string& description) const {
    const std::string hostVersion = FileVersion(ModulePath(nullptr));
    std::string text = "Tervex reference host" + (hostVersion.empty() ? std::string() : " " + hostVersion) + "\n";
    text += "  driver    " + DriverTitle(driverName, description, module_.Version()) + ", " + options_.dll + "\n";
    const Station& station = poller_.Model();
    text += "  station   " + station.file + ": " + std::to_string(station.ports.size()) + " port(s), " +
            std::to_string(station.nodes.size()) + " node(s), " + std::to_string(station.ItemCount()) + " item(s)\n";
    std::string settings;
    for (const auto& [name, value] : station.settings) settings += (settings.empty() ? "" : ", ") + name + " = " + value;
    text += "  settings  " + (settings.empty() ? std::string("the driver's own") : settings) + "\n";
    text += "  run       " + Seconds(options_.durationMs) +
            (options_.refreshMs > 0 ? ", table every " + Seconds(options_.refreshMs) : std::string(", table at the end")) +
            (options_.sync ? ", synchronous tasks" : ", asynchronous tasks") +
            (options_.log ? ", protocol log on" : "") + "\n";
    Print(text);
}

void HostRun::PrintTable(int64_t nowMs) const {
    TextTable table;
    table.AddColumn("Item");
    table.AddColumn("Type");
    table.AddColumn("Where");
    table.AddColumn("Value");
    table.AddColumn("Quality");
    table.AddColumn("Time");
    table.AddColumn("Result");
    table.AddColumn("Reads ok/bad", TextTable::Align::Right);
    for (const auto& item : poller_.Items()) {
        const ItemCells cells = ShownCells(*item);
        table.AddRow({item->fullName, DataTypeName(item->config->typeCode), item->where, cells.value, cells.quality,
                      cells.time, cells.result, cells.reads});
    }
    Print("\n-- " + Seconds(nowMs) + " " + std::string(60, '-') + "\n" + table.Render() + "\n");
}

void HostRun::PrintSummary() const {
    std::vector<ItemStats> items;
    for (const auto& item : poller_.Items()) {
        ItemStats stats = item->stats;
        stats.overruns = poller_.Overruns(*item);
        items.push_back(stats);
    }
    std::vector<NodeStats> nodes;
    for (const auto& node : poller_.Nodes()) nodes.push_back(node->stats);
    std::string text =
        "Summary after " + Seconds(NowMs()) + "\n\n" + RenderSummary(items, nodes, poller_.PortStatistics());
    text += "\nThe driver logged " + std::to_string(logLines_) + " line(s), " + std::to_string(logFramesSent_) +
            " of them frames sent; synchronous waits called Idle " + std::to_string(server_.idleCalls) + " time(s).\n";
    Print(text);
}

bool HostRun::OpenResults() {
    if (options_.results.empty()) return true;
    errno = 0;
    results_.open(std::filesystem::u8path(WindowsPath(options_.results)), std::ios::binary);
    if (!results_) Print("tervex-host: cannot write " + options_.results + (errno ? std::string(": ") + std::strerror(errno) : "") + "\n");
    return static_cast<bool>(results_);
}

bool HostRun::WriteResults() {
    if (!results_.is_open()) return true;
    std::ofstream& out = results_;
    const auto& items = poller_.Items();
    for (const auto& item : items) {
        const ItemStats& s = item->stats;
        out << "item\t" << item->fullName << "\ttype=" << item->config->typeCode
            << "\tvalue=" << (item->reported ? MachineValue(item->value.ref()) : "-")
            << "\tquality=" << Hex16(item->quality) << "\tresult=" << Hex32(item->result)
            << "\tstamp_ms=" << UnixMs(item->stamp) << "\treads_ok=" << s.readsOk << "\treads_bad=" << s.readsBad
            << "\twrites_ok=" << s.writesOk << "\twrites_bad=" << s.writesBad << "\tframes=" << s.frames
            << "\tshared=" << s.sharedReads << "\trefresh_n=" << item->refresh.Count()
            << "\trefresh_mean_ms=" << Decimal(item->refresh.MeanMs())
            << "\trefresh_p99_ms=" << Decimal(item->refresh.PercentileMs(0.99)) << "\n";
    }
    for (const auto& job : poller_.Writes()) {
        out << "write\t" << items[job->item]->fullName << "\tdone=" << (job->done ? 1 : 0)
            << "\tresult=" << Hex32(job->result) << "\tquality=" << Hex16(job->state.state.quality) << "\n";
    }
    for (const auto& node : poller_.Nodes()) {
        const NodeStats& s = node->stats;
        out << "node\t" << s.name << "\tgood=" << s.good << "\tno_answer=" << s.noAnswer << "\tcrc=" << s.crcError
            << "\twrong=" << s.wrongAnswer << "\tfailed=" << s.failed << "\n";
    }
    for (const PortStats& p : poller_.PortStatistics()) {
        out << "port\t" << p.name.substr(0, p.name.find(' ')) << "\texchanges=" << p.exchanges << "\tanswers=" << p.answers
            << "\ttimeouts=" << p.timeouts << "\tincomplete=" << p.incomplete << "\tunexpected=" << p.unexpected
            << "\twrite_errors=" << p.writeFailures << "\ttx=" << p.txBytes << "\trx=" << p.rxBytes << "\n";
    }
    out << "host\tidle_calls=" << server_.idleCalls << "\tunexpected_calls=" << unexpectedCalls_
        << "\titem_refs_after_clear=" << poller_.HeldAfterClear() << "\tlog_lines=" << logLines_
        << "\trun_ms=" << NowMs() << "\tcpu_ms=" << ProcessCpuMs() << "\n";
    out.close();
    return !out.fail();
}

}  // namespace tervex::host
