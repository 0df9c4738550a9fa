#include "WireStats.h"

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <tuple>

#include "EngineWorld.h"
#include "ItemPlan.h"
#include "sim/Outbox.h"

namespace bench {

namespace {

// The simulator's lines behind the engine's ports, on a clock that stands still.
class SimulatorPorts : public tervex::IHostPort {
public:
    explicit SimulatorPorts(std::vector<tervex::sim::Line*> lines) : FLines(std::move(lines)), FOutboxes(FLines.size()),
                                                                      FBusy(FLines.size(), false) {}
    bool CanTransmit(uint8_t port) override { return port < FLines.size() && !FBusy[port]; }
    uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) override {
        if (port >= FLines.size()) return 1;
        FBusy[port] = true;
        ++frames;
        requestBytes += count;
        if (count >= 2 && data[0] != '$' && (data[1] == 0xF0 || data[1] == 0xF1)) ++passwordFrames;
        FOutboxes[port].Push(FLines[port]->Feed(data, static_cast<size_t>(count)));
        return 0;
    }
    void TransferDone(uint8_t port) override {
        if (port < FBusy.size()) FBusy[port] = false;
    }

    size_t Count() const { return FLines.size(); }
    // The answer to the last frame on a port, if its line gave one.
    std::vector<uint8_t> TakeAnswer(uint8_t port) {
        std::vector<uint8_t> bytes = FOutboxes[port].TakeDue(0);
        answerBytes += static_cast<int64_t>(bytes.size());
        return bytes;
    }

    int64_t frames = 0;
    int64_t passwordFrames = 0;
    int64_t requestBytes = 0;
    int64_t answerBytes = 0;

private:
    std::vector<tervex::sim::Line*> FLines;
    std::vector<tervex::sim::Outbox> FOutboxes;
    std::vector<bool> FBusy;
};

struct ItemRef {
    int port;
    int device;
    int area;
    int64_t address;
    int type;
    bool ascii;
};

// Fewest 8-byte windows such that each item lies wholly inside one: per port, device
// and area, the window starts at the lowest address not yet covered (optimal for
// intervals that must fit a window of fixed length). Returns blocks and their bytes.
std::pair<int64_t, int64_t> LowerBound(const std::vector<ItemRef>& items) {
    std::map<std::tuple<int, int, int>, std::vector<std::pair<int64_t, int>>> groups;
    std::map<std::tuple<int, int, int>, bool> asciiOf;
    for (const ItemRef& item : items) {
        groups[{item.port, item.device, item.area}].push_back({item.address, TypeSize(item.type)});
        asciiOf[{item.port, item.device, item.area}] = item.ascii;
    }
    int64_t blocks = 0;
    int64_t bytes = 0;
    for (auto& [key, members] : groups) {
        std::sort(members.begin(), members.end());
        const bool shortAddress = std::get<2>(key) <= 1;
        const bool ascii = asciiOf[key];
        // A read: D, code, one or two address bytes (+ CRC, or as text); answer D + 8 bytes.
        const int body = shortAddress ? 3 : 4;
        const int perBlock = ascii ? (2 * body + 2) + (1 + 2 * 9 + 1) : (body + 2) + 11;
        int64_t windowEnd = -1;
        for (const auto& [address, size] : members) {
            if (address + size <= windowEnd) continue;
            windowEnd = address + 8;
            ++blocks;
            bytes += perBlock;
        }
    }
    return {blocks, bytes};
}

struct RunResult {
    int64_t frames = 0;
    int64_t passwordFrames = 0;
    int64_t bytes = 0;
    int64_t failed = 0;
};

// One simulated line per port, the configurations without faults and delays.
RunResult RunOnSimulator(std::vector<tervex::sim::LineConfig> configs, std::vector<tervex::EngineTask> tasks) {
    tervex::sim::ManualClock simClock(0);
    std::vector<std::unique_ptr<tervex::sim::Line>> lines;
    std::vector<tervex::sim::Line*> linePointers;
    for (auto& config : configs) {
        config.frameGapMs = 0;
        config.clockStartSeconds = 1715953530;  // 2024-05-17; any valid date will do
        for (auto& controller : config.controllers) {
            controller.faults.clear();
            controller.answerDelayMs = 0;
        }
        lines.push_back(std::make_unique<tervex::sim::Line>(simClock, config));
        linePointers.push_back(lines.back().get());
    }
    SimulatorPorts ports(linePointers);
    StillClock clock;
    CountingServer server;
    CountingSink sink;
    tervex::DriverSettings settings;
    tervex::PollEngine engine(clock, ports, server, sink, settings);

    const auto count = static_cast<int64_t>(tasks.size());
    for (const auto& task : tasks) engine.QueueTask(task);
    engine.Poll(0);
    while (sink.finished < count) {
        bool any = false;
        for (uint8_t p = 0; p < ports.Count(); ++p) {
            const std::vector<uint8_t> answer = ports.TakeAnswer(p);
            if (answer.empty()) continue;
            any = true;
            if (engine.IsFrameComplete(p, answer.data(), static_cast<int32_t>(answer.size()))) {
                engine.DataReceived(p, answer.data(), static_cast<int32_t>(answer.size()));
            }
        }
        if (!any) break;  // nothing answered: the rest would wait for time-outs
        engine.SendNext();
    }
    RunResult result;
    result.frames = ports.frames;
    result.passwordFrames = ports.passwordFrames;
    result.bytes = ports.requestBytes + ports.answerBytes;
    result.failed = count - sink.good;
    return result;
}

tervex::sim::ControllerConfig Controller(uint8_t address, bool ascii) {
    tervex::sim::ControllerConfig controller;
    controller.address = address;
    controller.framing = ascii ? tervex::sim::Framing::Ascii : tervex::sim::Framing::Rtu;
    return controller;
}

}  // namespace

WireFigures DemoStationWire() {
    // The nodes and items of the reference host's demo station, without its silent node.
    tervex::NodeParams boiler = MakeNode(0, 1, false);
    tervex::NodeParams pump = MakeNode(0, 2, true, kLsbFirst);
    tervex::NodeParams vault = MakeNode(1, 3, false);
    vault.readPassword = "1234";
    vault.writePassword = "admin";
    std::vector<tervex::sim::LineConfig> lines(2);
    lines[0].controllers = {Controller(1, false), Controller(2, true)};
    tervex::sim::ControllerConfig vaultController = Controller(3, false);
    vaultController.readPassword = "1234";
    vaultController.writePassword = "admin";
    lines[1].controllers = {vaultController};

    std::vector<ItemRef> refs;
    std::vector<tervex::EngineTask> tasks;
    auto add = [&](const tervex::NodeParams& node, int area, int64_t address, int type, int bit = 0) {
        tasks.push_back(ReadTask(node, area, address, type, bit));
        refs.push_back({static_cast<int>(*node.comPort), static_cast<int>(node.deviceAddress), area, address, type,
                        node.protocol == "ASCII"});
    };
    add(boiler, 0, 0x00, 17);
    add(boiler, 0, 0x00, 11, 4);
    add(boiler, 0, 0x01, 16);
    add(boiler, 0, 0x02, 2);
    add(boiler, 0, 0x04, 3);
    add(boiler, 0, 0x10, 18);
    add(boiler, 0, 0x12, 2);
    add(boiler, 0, 0x20, 8);
    add(boiler, 1, 0x00, 0x2011);
    add(boiler, 2, 0x0120, 18);
    add(boiler, 5, 0x0000, 8);
    add(pump, 0, 0x20, 18);
    add(pump, 2, 0x0100, 18);
    add(pump, 3, 0x1000, 3);
    add(pump, 4, 0xFFF8, 2);
    add(pump, 5, 0x0010, 0x2011);
    add(vault, 0, 0x00, 3);
    add(vault, 0, 0x08, 11, 1);
    add(vault, 2, 0x0000, 8);

    WireFigures figures;
    figures.name = "demo station (Boiler, Pump, Vault; 2 ports)";
    figures.framing = "RTU and ASCII";
    figures.items = static_cast<int64_t>(tasks.size());
    const auto bound = LowerBound(refs);
    const RunResult run = RunOnSimulator(std::move(lines), std::move(tasks));
    figures.frames = static_cast<double>(run.frames);
    figures.passwordFrames = static_cast<double>(run.passwordFrames);
    figures.bytes = static_cast<double>(run.bytes);
    figures.lowerBoundBlocks = static_cast<double>(bound.first);
    figures.lowerBoundBytes = static_cast<double>(bound.second);
    figures.failedTasks = run.failed;
    return figures;
}

WireFigures RandomSetWire(const std::string& name, bool ascii, const std::vector<int>& areas, int64_t span,
                          int64_t items, int sets) {
    WireFigures figures;
    figures.name = name;
    figures.framing = ascii ? "ASCII" : "RTU";
    figures.items = items;
    figures.sets = sets;
    const int kTypes[] = {17, 16, 18, 2, 3, 8, 0x2011};
    for (int set = 0; set < sets; ++set) {
        std::mt19937 rng(static_cast<uint32_t>(1000 + set));
        auto pick = [&](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng); };
        const tervex::NodeParams node = MakeNode(0, 1, ascii);
        std::vector<ItemRef> refs;
        std::vector<tervex::EngineTask> tasks;
        for (int64_t k = 0; k < items; ++k) {
            const int area = areas[static_cast<size_t>(pick(0, static_cast<int64_t>(areas.size()) - 1))];
            int type = kTypes[pick(0, 6)];
            if (area == 0 && pick(0, 7) == 0) type = 11;
            const int64_t address = pick(0, span - TypeSize(type));
            tasks.push_back(ReadTask(node, area, address, type, static_cast<int>(pick(0, 7))));
            refs.push_back({0, 1, area, address, type, ascii});
        }
        std::vector<tervex::sim::LineConfig> lines(1);
        lines[0].controllers = {Controller(1, ascii)};
        const auto bound = LowerBound(refs);
        const RunResult run = RunOnSimulator(std::move(lines), std::move(tasks));
        figures.frames += static_cast<double>(run.frames) / sets;
        figures.passwordFrames += static_cast<double>(run.passwordFrames) / sets;
        figures.bytes += static_cast<double>(run.bytes) / sets;
        figures.lowerBoundBlocks += static_cast<double>(bound.first) / sets;
        figures.lowerBoundBytes += static_cast<double>(bound.second) / sets;
        figures.failedTasks += run.failed;
    }
    return figures;
}

}  // namespace bench
