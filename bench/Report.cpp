#include "Report.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "Machine.h"

namespace bench {

namespace {

double ToSeconds(benchmark::TimeUnit unit) {
    switch (unit) {
    case benchmark::kNanosecond: return 1e-9;
    case benchmark::kMicrosecond: return 1e-6;
    case benchmark::kMillisecond: return 1e-3;
    case benchmark::kSecond: return 1.0;
    }
    return 1.0;
}

std::string CleanName(std::string name) {
    for (const char* suffix : {"/min_time:", "/real_time", "/iterations:"}) {
        const size_t at = name.find(suffix);
        if (at != std::string::npos) name.erase(at);
    }
    return name;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Thousands separated by commas.
std::string Grouped(double value) {
    const auto whole = static_cast<long long>(std::llround(value));
    std::string digits = std::to_string(std::llabs(whole));
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
    return (whole < 0 ? "-" : "") + digits;
}

std::string MiB(double bytes) {
    return Fixed(bytes / (1024.0 * 1024.0), 1) + " MiB";
}

// The run of that name; of repetitions, the one with the least CPU time (other work on
// the machine only ever adds to it).
const Measured* Find(const std::vector<Measured>& runs, const std::string& name) {
    const Measured* best = nullptr;
    for (const Measured& run : runs) {
        if (run.name == name && !run.failed && (!best || run.cpuSeconds < best->cpuSeconds)) best = &run;
    }
    if (!best) {
        for (const Measured& run : runs) {
            if (run.name == name) return &run;  // a failed one, for its message
        }
    }
    return best;
}

double Counter(const Measured& run, const std::string& name) {
    const auto it = run.counters.find(name);
    return it == run.counters.end() ? 0.0 : it->second;
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct PeerFigure {
    std::vector<int> rounds;         // round number of each rate
    std::vector<double> rates;       // exchanges per second, one per round
    std::vector<double> cpuPerExchange;
    double MedianRate() const { return Median(rates); }
    double MedianCpu() const { return Median(cpuPerExchange); }
    double MinCpu() const {
        return cpuPerExchange.empty() ? 0 : *std::min_element(cpuPerExchange.begin(), cpuPerExchange.end());
    }
    double MinRate() const { return rates.empty() ? 0 : *std::min_element(rates.begin(), rates.end()); }
    double MaxRate() const { return rates.empty() ? 0 : *std::max_element(rates.begin(), rates.end()); }
};

PeerFigure Peer(const std::vector<Measured>& runs, const std::string& prefix) {
    PeerFigure figure;
    for (const Measured& run : runs) {
        if (run.failed || run.name.compare(0, prefix.size() + 7, prefix + "/round:") != 0) continue;
        const double exchanges = Counter(run, "items_per_second") * run.realSeconds;  // per iteration
        if (exchanges <= 0 || run.realSeconds <= 0) continue;
        figure.rounds.push_back(std::atoi(run.name.c_str() + prefix.size() + 7));
        figure.rates.push_back(exchanges / run.realSeconds);
        figure.cpuPerExchange.push_back(run.cpuSeconds / exchanges);
    }
    return figure;
}

// The median over the rounds of a's rate to b's in the same round: rounds run the stacks
// one right after the other, so a change of the machine's load between rounds cancels.
double PairedRatio(const PeerFigure& a, const PeerFigure& b) {
    std::vector<double> ratios;
    for (size_t i = 0; i < a.rounds.size(); ++i) {
        for (size_t j = 0; j < b.rounds.size(); ++j) {
            if (a.rounds[i] == b.rounds[j] && b.rates[j] > 0) ratios.push_back(a.rates[i] / b.rates[j]);
        }
    }
    return Median(ratios);
}

void MachineSection(std::ostream& out, const ReportInput& in) {
    out << "## Machine\n\n| | |\n|---|---|\n";
    for (const MachineLine& line : DescribeMachine()) out << "| " << line.name << " | " << line.value << " |\n";
    out << "| Run | " << in.started << ", " << Fixed(in.wallSeconds, 0) << " s; load average before "
        << in.loadBefore << ", after " << in.loadAfter << " |\n\n";
}

void EngineSection(std::ostream& out, const ReportInput& in) {
    out << "## Engine throughput and scale\n\n"
           "Whole poll cycles: the host queues every item (random order), calls `Poll` once, and a minimal "
           "answering device (bench/AnsweringDevice) answers each frame the moment it is written; the host "
           "side hands each answer over with `IsFrameComplete` and `DataReceived` and calls `SendNext`, "
           "until every task has ended (all with a good result, checked). Items spread over 4 ports and "
           "32 controllers, mixed types (Byte, ShortInteger, Word, SmallInteger, Integer, String, Array of "
           "Byte, Boolean) and all six areas; reads come in clusters of one to seven items inside distinct "
           "8-byte blocks and a tenth of the items are writes, so the structure per item is the same at every "
           "size. CPU time is the benchmark thread's, the best of five rounds in which the sizes take turns; "
           "the device fake is "
           "included (its cost is shown below).\n\n";
    const double deviceNs = [&] {
        const Measured* device = Find(in.runs, "DeviceAnswer");
        return device ? device->cpuSeconds * 1e9 : 0.0;
    }();
    for (const char* protocol : {"RTU", "ASCII"}) {
        out << "### " << protocol << "\n\n"
            << "| Items | Frames | Items per second | CPU per item | CPU per exchange | Per item vs 1,000 |\n"
            << "|---:|---:|---:|---:|---:|---:|\n";
        double base = 0;
        double lowest = 1e30;
        double highest = 0;
        std::vector<std::pair<int64_t, double>> curve;
        for (int64_t n : {1000, 3000, 10000, 30000, 100000}) {
            const Measured* run = Find(in.runs, std::string("EngineCycle/") + protocol + "/" + std::to_string(n));
            if (!run || run->failed) {
                out << "| " << Grouped(static_cast<double>(n)) << " | failed: " << (run ? run->error : "not run")
                    << " | | | | |\n";
                continue;
            }
            const double perItemNs = run->cpuSeconds * 1e9 / static_cast<double>(n);
            const double exchanges = Counter(*run, "exchanges");
            if (base == 0) base = perItemNs;
            lowest = std::min(lowest, perItemNs);
            highest = std::max(highest, perItemNs);
            curve.push_back({n, perItemNs});
            out << "| " << Grouped(static_cast<double>(n)) << " | " << Grouped(exchanges) << " | "
                << Grouped(static_cast<double>(n) / run->cpuSeconds) << " | " << Fixed(perItemNs, 0) << " ns | "
                << Fixed(run->cpuSeconds * 1e6 / std::max(exchanges, 1.0), 2) << " µs | "
                << (base > 0 ? Fixed(100.0 * perItemNs / base, 0) + " %" : "") << " |\n";
        }
        out << "\nCost per item, 1,000 to 100,000 items: lowest " << Fixed(lowest, 0) << " ns, highest "
            << Fixed(highest, 0) << " ns, spread " << Fixed(lowest > 0 ? 100.0 * (highest / lowest - 1) : 0, 0)
            << " % (" << (highest <= lowest * 1.2 ? "within" : "NOT within") << " 20 %).\n\n";
        out << "```\nCPU ns per item\n";
        for (const auto& [n, ns] : curve) {
            char label[32];
            std::snprintf(label, sizeof label, "%7lld items ", static_cast<long long>(n));
            out << label << std::string(static_cast<size_t>(std::max(1.0, 50.0 * ns / std::max(highest, 1.0))), '#')
                << " " << Fixed(ns, 0) << "\n";
        }
        out << "```\n\n";
    }
    out << "Heap allocations per item over a whole cycle (counted in a separate, untimed cycle): ";
    for (const auto* series : {&in.allocationsRtu, &in.allocationsAscii}) {
        out << (series == &in.allocationsRtu ? "RTU " : "; ASCII ");
        bool first = true;
        for (const auto& [n, perItem] : *series) {
            out << (first ? "" : ", ") << Fixed(perItem, 2) << " at " << Grouped(static_cast<double>(n));
            first = false;
        }
    }
    out << ".\n\n";
    out << "The device fake costs " << Fixed(deviceNs, 0)
        << " ns per exchange (DeviceAnswer), part of the figures above.\n\n";
}

void CodecSection(std::ostream& out, const ReportInput& in) {
    out << "## Codec hot paths\n\n| Operation | Time per call | Throughput |\n|---|---:|---:|\n";
    for (int size : {9, 64, 1024, 65536}) {
        const Measured* run = Find(in.runs, "Crc16/" + std::to_string(size));
        if (!run) continue;
        const double ns = run->cpuSeconds * 1e9;
        out << "| CRC-16 of " << Grouped(size) << " bytes | " << Fixed(ns, 1) << " ns | " << Fixed(size / ns, 2)
            << " bytes/ns |\n";
    }
    const std::pair<const char*, const char*> rows[] = {
        {"RtuFrameComplete", "RTU answer complete? (CRC check of 11 bytes)"},
        {"AsciiEncodeRequest", "ASCII request text from a 6-byte frame"},
        {"AsciiAssemble/1", "ASCII read answer assembled and decoded, one piece"},
        {"AsciiAssemble/2", "ASCII read answer assembled and decoded, two pieces"},
        {"TraceText/RTU", "trace text of an RTU read answer"},
        {"TraceText/ASCII", "trace text of an ASCII read answer"},
        {"DecodeValue/17", "decode Byte"},
        {"DecodeValue/18", "decode Word"},
        {"DecodeValue/3", "decode Integer"},
        {"DecodeValue/11", "decode Boolean"},
        {"DecodeValue/8", "decode String"},
        {"DecodeValue/8209", "decode Array of Byte"},
        {"EncodeValue/17", "encode Byte"},
        {"EncodeValue/18", "encode Word"},
        {"EncodeValue/3", "encode Integer"},
        {"EncodeValue/11", "encode Boolean"},
        {"EncodeValue/8", "encode String"},
        {"EncodeValue/8209", "encode Array of Byte"},
    };
    for (const auto& [name, label] : rows) {
        const Measured* run = Find(in.runs, name);
        if (!run) continue;
        out << "| " << label << " | " << Fixed(run->cpuSeconds * 1e9, 1) << " ns | |\n";
    }
    out << "\n";
}

void PeerSection(std::ostream& out, const ReportInput& in) {
    const PeerFigure modbus = Peer(in.runs, "Peer/libmodbus_RTU");
    const PeerFigure rtu = Peer(in.runs, "Peer/driver_RTU");
    const PeerFigure ascii = Peer(in.runs, "Peer/driver_ASCII");
    const PeerFigure batch = Peer(in.runs, "Peer/driver_RTU_batch256");
    out << "## Side by side with libmodbus\n\n"
           "One pseudo-terminal pair per stack, no baud-rate limit, both stacks in this one run, in "
        << in.peerRounds
        << " rounds after an uncounted warm-up pair, the order of the two stacks flipping from round to round "
           "(median shown, slowest to fastest round in brackets). libmodbus: an RTU client "
           "(`modbus_read_registers`, 4 registers = 8 data bytes; request 8 bytes, answer 13) on the master "
           "side against an RTU server thread (`modbus_receive` + `modbus_reply`) on the terminal side. "
           "Driver: the poll engine with a small pty-backed host port (bench/TerminalPort) against the "
           "simulator's own serving loop (`tervex-sim`'s Port and Serve, in a thread; request 5 bytes, "
           "answer 11); one task queued and polled per exchange, as the libmodbus client makes one call per "
           "exchange. CPU is that of the whole process: both ends of the line (client and server threads), "
           "system calls included.\n\n"
           "| Stack | Exchanges per second | Time per exchange | CPU per exchange, both ends |\n|---|---:|---:|---:|\n";
    auto row = [&](const char* label, const PeerFigure& f) {
        if (f.rates.empty()) {
            out << "| " << label << " | not measured | | |\n";
            return;
        }
        out << "| " << label << " | " << Grouped(f.MedianRate()) << " (" << Grouped(f.MinRate()) << " to "
            << Grouped(f.MaxRate()) << ") | " << Fixed(1e6 / f.MedianRate(), 1) << " µs | "
            << Fixed(f.MedianCpu() * 1e6, 1) << " µs (lowest " << Fixed(f.MinCpu() * 1e6, 1) << ") |\n";
    };
    row("libmodbus RTU client and server", modbus);
    row("driver RTU against the simulator", rtu);
    row("driver ASCII against the simulator", ascii);
    row("driver RTU, 256 tasks per poll", batch);
    if (!modbus.rates.empty() && !rtu.rates.empty()) {
        // Within a round the two stacks run one right after the other, under the same load.
        const double ratio = PairedRatio(rtu, modbus);
        out << "\n**Ratio, driver RTU to libmodbus RTU: " << Fixed(ratio, 2)
            << "** (exchanges per second, median of the per-round ratios: "
            << (ratio >= 1.0 ? "the driver's stack is at least as fast per exchange" : "the driver's stack is SLOWER")
            << "). Best round against best round: " << Fixed(rtu.MaxRate() / modbus.MaxRate(), 2) << ".";
        if (modbus.MinCpu() > 0 && rtu.MinCpu() > 0) {
            out << " Lowest CPU per exchange over the rounds, both ends: libmodbus " << Fixed(modbus.MinCpu() * 1e6, 1)
                << " µs, driver " << Fixed(rtu.MinCpu() * 1e6, 1) << " µs.";
        }
        if (!ascii.rates.empty()) out << " Driver ASCII to libmodbus RTU: " << Fixed(PairedRatio(ascii, modbus), 2) << ".";
        if (!batch.rates.empty()) out << " Driver RTU with 256 tasks per poll: " << Fixed(PairedRatio(batch, modbus), 2) << ".";
        out << "\n\n";
    }
}

void WireSection(std::ostream& out, const ReportInput& in) {
    out << "## The wire\n\n"
           "Reads sent by the engine to the simulator library (faults and delays off), counted on the host "
           "port: frames per item and bytes on the wire per item (requests and answers), next to the lower "
           "bound for the 8-byte read: the fewest 8-byte blocks that cover the items (per controller and "
           "area, each item wholly inside one block), with those blocks' request and answer bytes. Password "
           "frames are counted in the driver's figures and are not part of the bound.\n\n"
           "| Item set | Framing | Items | Frames per item | Bytes per item | Bound: frames per item | "
           "Bound: bytes per item | Password frames |\n|---|---|---:|---:|---:|---:|---:|---:|\n";
    for (const WireFigures& w : in.wire) {
        const double items = static_cast<double>(w.items);
        out << "| " << w.name << (w.sets > 1 ? " (mean of " + std::to_string(w.sets) + " sets)" : std::string())
            << " | " << w.framing << " | " << w.items << " | " << Fixed(w.frames / items, 3) << " | "
            << Fixed(w.bytes / items, 2) << " | " << Fixed(w.lowerBoundBlocks / items, 3) << " | "
            << Fixed(w.lowerBoundBytes / items, 2) << " | " << Fixed(w.passwordFrames, 1) << " |";
        if (w.failedTasks) out << " (" << w.failedTasks << " tasks failed)";
        out << "\n";
    }
    out << "\n### CPU time per exchange against line time\n\n"
           "Line time of an exchange: its request and answer bytes at ten bits a byte (8N1), no gaps, so the "
           "share is an upper bound. Engine: the in-process cycle of 10,000 items (engine and device fake). "
           "Over the pty: the CPU of both ends of the one-task-per-poll exchange (engine, host port, simulator "
           "and the kernel's work for both), lowest over the rounds, an upper bound for the driver's share.\n\n"
           "| Case | Bytes per exchange | CPU per exchange | Share of line time at 9,600 baud | at 115,200 baud |\n"
           "|---|---:|---:|---:|---:|\n";
    for (const char* protocol : {"RTU", "ASCII"}) {
        const Measured* run = Find(in.runs, std::string("EngineCycle/") + protocol + "/10000");
        if (!run || run->failed) continue;
        const double exchanges = std::max(Counter(*run, "exchanges"), 1.0);
        const double bytes = Counter(*run, "wire_bytes") / exchanges;
        const double cpu = run->cpuSeconds / exchanges;
        out << "| engine cycle, " << protocol << " | " << Fixed(bytes, 1) << " | " << Fixed(cpu * 1e6, 2) << " µs | "
            << Fixed(100.0 * cpu / LineSeconds(bytes, 9600), 4) << " % | "
            << Fixed(100.0 * cpu / LineSeconds(bytes, 115200), 3) << " % |\n";
    }
    for (const auto& [name, bytes] : {std::pair<const char*, double>{"Peer/driver_RTU", 16.0},
                                      std::pair<const char*, double>{"Peer/driver_ASCII", 28.0}}) {
        const PeerFigure f = Peer(in.runs, name);
        if (f.rates.empty()) continue;
        const double cpu = f.MinCpu();
        out << "| over the pty, both ends, " << (std::string(name).find("ASCII") != std::string::npos ? "ASCII" : "RTU")
            << " (RAM read) | " << Fixed(bytes, 0) << " | " << Fixed(cpu * 1e6, 2) << " µs | "
            << Fixed(100.0 * cpu / LineSeconds(bytes, 9600), 4) << " % | "
            << Fixed(100.0 * cpu / LineSeconds(bytes, 115200), 3) << " % |\n";
    }
    out << "\n";
}

void MemorySection(std::ostream& out, const ReportInput& in) {
    out << "## Memory\n\n"
           "Heap bytes held, counted by a replacement of the global `operator new` in the benchmark program "
           "(usable size of each block, so allocator rounding is included, its headers not). Nodes use the "
           "byte order text \"Младшим байтом вперед\"; the engine keeps one parameter record per node, "
           "shared by its tasks.\n\n"
           "| Item set | Tasks | Requests after Poll | Per queued task | Per task after Poll | Added per request |\n"
           "|---|---:|---:|---:|---:|---:|\n";
    auto row = [&](const char* label, const HeldBytes& h) {
        out << "| " << label << " | " << Grouped(static_cast<double>(h.tasks)) << " | "
            << Grouped(static_cast<double>(h.requests)) << " | " << Fixed(h.perQueuedTask, 0) << " B | "
            << Fixed(h.perPolledTask, 0) << " B | " << Fixed(h.perRequest, 0) << " B |\n";
    };
    row("one frame per item", in.heldOneFrameEach);
    row("scale set (about 3 items per frame)", in.heldScale);
    const PeakMemory& p = in.peak;
    out << "\nPeak of the " << Grouped(static_cast<double>(p.items)) << "-item cycle (RTU): heap "
        << MiB(static_cast<double>(p.heapPeakBytes)) << ", of which the host's task records handed over "
        << MiB(static_cast<double>(p.hostTaskBytes)) << "; resident set peak (VmHWM) "
        << MiB(static_cast<double>(p.residentPeak)) << " against " << MiB(static_cast<double>(p.residentBefore))
        << " before it (measured first thing in the program)"
        << (p.residentPeakReset ? "" : " (the peak could not be reset, so it may stem from an earlier benchmark)")
        << ".\n\n";
}

}  // namespace

void CollectingReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration) continue;
        Measured m;
        m.name = CleanName(run.benchmark_name());
        m.iterations = run.iterations;
        m.realSeconds = run.GetAdjustedRealTime() * ToSeconds(run.time_unit);
        m.cpuSeconds = run.GetAdjustedCPUTime() * ToSeconds(run.time_unit);
        for (const auto& [name, counter] : run.counters) m.counters[name] = counter.value;
        m.failed = run.error_occurred;
        m.error = run.error_message;
        FRuns.push_back(std::move(m));
    }
}

namespace {

// The capacity section comes from scripts/capacity.sh (the host under Wine on a
// paced line, minutes long); a run of these benchmarks keeps it as it stands.
std::string CapacitySection(const std::string& path) {
    std::ifstream in(path);
    std::string line, section;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("<!-- capacity", 0) == 0) inside = true;
        if (inside) section += line + "\n";
        if (line.rfind("<!-- /capacity -->", 0) == 0) inside = false;
    }
    return section;
}

}  // namespace

bool WriteReport(const std::string& path, const ReportInput& in) {
    const std::string capacity = CapacitySection(path);
    std::ostringstream out;
    out << "# Benchmarks\n\n"
           "Figures of the native core (protocol engine, frame and value codecs), written by "
           "`scripts/bench.sh` on the machine described below. Timings depend on the machine and on "
           "whatever else runs on it; no test asserts on them.\n\n"
           "To reproduce (sets up what is missing, builds in Release, runs every benchmark, writes this "
           "file):\n\n    scripts/bench.sh\n\n";
    MachineSection(out, in);
    EngineSection(out, in);
    CodecSection(out, in);
    PeerSection(out, in);
    WireSection(out, in);
    MemorySection(out, in);
    out << "## Method\n\n"
           "- Google Benchmark runs each case until its minimum time has passed and reports the mean time "
           "per iteration; CPU time is that of the benchmark thread (for the exchanges over the pty, that of "
           "the whole process, both ends). Setup (building item sets, copying "
           "them, tearing down) is outside the timed part.\n"
           "- The benchmark program keeps its heap between cycles (glibc's trimming and the mmap threshold "
           "raised) so that each cycle measures the engine rather than the kernel handing out fresh pages; "
           "the host's heap on Windows does not give memory back after each cycle either.\n"
           "- The item sets are generated with fixed seeds; every cycle checks that every task ended with a "
           "good result and that the number of frames matches the item set.\n"
           "- Raw figures are printed by the benchmark program as it runs (`scripts/bench.sh` keeps them in "
           "`bench-release/bench.log` of the build folder); bench/ holds the sources.\n\n";
    if (!in.findingsPath.empty()) {
        std::ifstream findings(in.findingsPath);
        if (findings) out << findings.rdbuf();
    }
    if (!capacity.empty()) out << "\n" << capacity;
    std::ofstream file(path);
    file << out.str();
    return static_cast<bool>(file);
}

}  // namespace bench
