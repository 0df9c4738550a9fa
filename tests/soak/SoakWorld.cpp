#include "tests/soak/SoakWorld.h"

#include <algorithm>

namespace tervex::soak {

namespace {

constexpr uint64_t kRxGapMs = 50;             // the host hands over what a quiet line left
constexpr uint64_t kSleepsPerPollLimit = 100000;
constexpr size_t kMaxViolationsKept = 20;

sim::FaultRule Fault(sim::FaultKind kind, double probability) {
    sim::FaultRule rule;
    rule.kind = kind;
    rule.probability = probability;
    return rule;
}

sim::ControllerConfig Controller(uint8_t address, sim::Framing framing, std::vector<sim::FaultRule> faults,
                                 std::string readPassword = {}, std::string writePassword = {}) {
    sim::ControllerConfig c;
    c.address = address;
    c.framing = framing;
    c.faults = std::move(faults);
    c.readPassword = std::move(readPassword);
    c.writePassword = std::move(writePassword);
    return c;
}

// Each node: these items, all readable, the RAM and EEPROM ones writable too.
void AddNodeItems(std::vector<SoakItem>& items, uint8_t port, int device, const char* protocol, const char* readPw,
                  const char* writePw) {
    const struct {
        const char* area;
        int address;
        int type;
        int bit;
        bool writable;
    } plan[] = {
        {"ОЗУ", 0, 17, 0, true},     {"ОЗУ", 1, 18, 0, true},    {"ОЗУ", 2, 11, 3, true},
        {"ОЗУ", 7, 16, 0, true},     {"ОЗУ", 0x30, 2, 0, true},  {"EEPROM", 0x120, 3, 0, true},
        {"FRAM", 0x10, 8, 0, false}, {"XRAM", 0x200, 0x2011, 0, false},
        {"FLASH", 0, 18, 0, false},  {"CLOCK", 0, 0x2011, 0, false},
    };
    for (const auto& p : plan) {
        items.push_back({port, device, protocol, readPw, writePw, p.area, p.address, p.type, p.bit, p.writable});
    }
}

}  // namespace

SoakWorld::SoakWorld(uint64_t seed)
    : FRng(seed),
      FSimTime(std::make_unique<EngineTime>(FClock)),
      FPort([this](const std::string& what) { Violation(what); }),
      FLedger([this](const std::string& what) { Violation(what); }) {
    using sim::FaultKind;
    using sim::Framing;
    FSettings.WaitTimeout = 200;
    FSettings.CountTry = 3;
    FSettings.TimeNextSend = 2000;
    FLedger.AllowTries(FSettings.CountTry);

    sim::FaultRule split = Fault(FaultKind::Split, 0.2);
    split.gapMs = 15;
    sim::FaultRule slow = Fault(FaultKind::Slow, 0.02);
    slow.delayMs = 400;  // later than the wait: a stale answer for whatever comes next
    const std::vector<std::vector<sim::ControllerConfig>> lines = {
        {Controller(1, Framing::Rtu, {}), Controller(2, Framing::Ascii, {split, slow})},
        {Controller(3, Framing::Rtu,
                    {Fault(FaultKind::Silence, 0.03), Fault(FaultKind::BadCrc, 0.02),
                     Fault(FaultKind::WrongLength, 0.02), split}),
         Controller(4, Framing::Ascii,
                    {Fault(FaultKind::Silence, 0.03), Fault(FaultKind::BadCrc, 0.02), split})},
        {Controller(5, Framing::Rtu, {Fault(FaultKind::Silence, 0.01)}, "1234", "admin")},  // 9: nobody
        {Controller(6, Framing::Ascii, {split}, "", "secret")},
    };
    for (size_t p = 0; p < lines.size(); ++p) {
        sim::LineConfig config;
        config.seed = seed + p;
        config.clockStartSeconds = 1700000000;
        config.controllers = lines[p];
        FLines[static_cast<uint8_t>(p)].line = std::make_unique<sim::Line>(*FSimTime, config);
    }
    AddNodeItems(FItems, 0, 1, "RTU", "", "");
    AddNodeItems(FItems, 0, 2, "ASCII", "", "");
    AddNodeItems(FItems, 1, 3, "RTU", "", "");
    AddNodeItems(FItems, 1, 4, "ASCII", "", "");
    AddNodeItems(FItems, 2, 5, "RTU", "1234", "admin");
    AddNodeItems(FItems, 2, 9, "RTU", "", "");
    AddNodeItems(FItems, 3, 6, "ASCII", "", "secret");
    FBusy.assign(FItems.size(), false);

    FPort.onWrite = [this](uint8_t port, const std::vector<uint8_t>& frame, bool written) {
        OnWrite(port, frame, written);
    };
    FServer.onIdle = [this] { Pump(); };
    FClock.onSleep = [this] { ++FSleepsInPoll; };
    FClock.terminated = [this] {
        if (FSleepsInPoll <= kSleepsPerPollLimit) return false;
        Violation("a synchronous poll that does not end");
        return true;
    };
    FLedger.onEnded = [this](uint64_t id) {
        auto it = FTaskItem.find(id);
        if (it == FTaskItem.end()) return;
        FBusy[it->second] = false;
        FTaskItem.erase(it);
    };
    FEngine = std::make_unique<PollEngine>(FClock, FPort, FServer, FLedger, FSettings);
}

SoakWorld::~SoakWorld() = default;

void SoakWorld::Violation(const std::string& what) {
    ++FFigures.violations;
    if (FViolations.size() < kMaxViolationsKept) FViolations.push_back(what);
}

uint64_t SoakWorld::Step() {
    std::uniform_int_distribution<int> percent(0, 99);
    if (percent(FRng) < 60) QueueSome();
    if (percent(FRng) < 50) Poll();
    FClock.monoMs += std::uniform_int_distribution<uint64_t>(1, 20)(FRng);
    Pump();
    if (percent(FRng) < 50) {
        FEngine->TimerTick();
    } else {
        FEngine->SendNext();
    }
    Rare();
    return FPort.writes;
}

void SoakWorld::QueueSome() {
    const int n = std::uniform_int_distribution<int>(1, 3)(FRng);
    for (int i = 0; i < n; ++i) {
        const size_t item = std::uniform_int_distribution<size_t>(0, FItems.size() - 1)(FRng);
        if (!FBusy[item]) Queue(item);
    }
}

void SoakWorld::Queue(size_t index) {
    const SoakItem& it = FItems[index];
    EngineTask t;
    const int roll = std::uniform_int_distribution<int>(0, 99)(FRng);
    const bool write = it.writable && roll >= 70 && roll < 97;
    const bool sync = roll >= 94 || (roll >= 67 && roll < 70);
    t.kind = write ? (sync ? TaskKind::SyncWrite : TaskKind::AsyncWrite)
                   : (sync ? TaskKind::SyncRead : TaskKind::AsyncRead);
    t.node.comPort = it.port;
    t.node.deviceAddress = it.device;
    t.node.protocol = it.protocol;
    t.node.readPassword = it.readPassword;
    t.node.writePassword = it.writePassword;
    t.node.byteOrder = (it.device % 2) ? "Младшим байтом вперед" : "Старшим байтом вперед";
    t.item.memoryArea = it.area;
    t.item.address = it.address;
    t.item.typeCode = it.type;
    t.item.bitNumber = it.bit;
    if (write) {
        for (auto& b : t.write.bytes) b = static_cast<uint8_t>(FRng());
        t.write.bitValue = (FRng() & 1) != 0;
    }
    t.itemKey = &FItems[index];
    t.context = FLedger.Open(t);
    FTaskItem[static_cast<uint64_t>(reinterpret_cast<uintptr_t>(t.context))] = index;
    FBusy[index] = true;
    FEngine->QueueTask(std::move(t));
}

void SoakWorld::Poll() {
    ++FFigures.polls;
    FSleepsInPoll = 0;
    const bool hadNew = FEngine->NewTaskCount() > 0;
    FEngine->Poll(std::uniform_int_distribution<uint32_t>(0, 3)(FRng));
    if (FSleepsInPoll > 0) ++FFigures.syncPolls;
    if (hadNew && FEngine->ActiveSyncTaskCount() != 0) Violation("Poll returned with synchronous tasks open");
}

void SoakWorld::OnWrite(uint8_t port, const std::vector<uint8_t>& frame, bool written) {
    auto it = FLines.find(port);
    if (!written || it == FLines.end()) return;
    it->second.outbox.Push(it->second.line->Feed(frame));
}

// What a host port does with the line: gathers what arrived, hands it over once the
// driver calls it complete, or anyway once the line has been quiet for a while.
void SoakWorld::Pump() {
    const uint64_t now = FClock.monoMs;
    for (auto& [port, line] : FLines) {
        const std::vector<uint8_t> bytes = line.outbox.TakeDue(static_cast<int64_t>(now));
        if (!bytes.empty()) {
            line.rx.insert(line.rx.end(), bytes.begin(), bytes.end());
            line.lastRxMs = now;
        }
        if (line.rx.empty()) continue;
        const bool complete =
            FEngine->IsFrameComplete(port, line.rx.data(), static_cast<int32_t>(line.rx.size()));
        if (complete || now - line.lastRxMs >= kRxGapMs) Deliver(port, line);
    }
}

void SoakWorld::Deliver(uint8_t port, HostLine& line) {
    std::vector<uint8_t> bytes;
    bytes.swap(line.rx);  // the driver may be called back into from inside
    ++FFigures.deliveries;
    FLedger.BeginDelivery(port, bytes.data(), static_cast<int32_t>(bytes.size()));
    FEngine->DataReceived(port, bytes.data(), static_cast<int32_t>(bytes.size()));
    FLedger.EndDelivery();
}

void SoakWorld::Rare() {
    std::uniform_int_distribution<int> draw(0, 99999);
    const int r = draw(FRng);
    if (r < 30) {
        ++FFigures.removals;
        const size_t item = std::uniform_int_distribution<size_t>(0, FItems.size() - 1)(FRng);
        FEngine->RemoveItemTasks(&FItems[item]);
    } else if (r < 40) {
        ++FFigures.clears;
        ClearAll();
    } else if (r < 52) {
        ++FFigures.settingsChanges;
        static const int32_t waits[] = {50, 100, 200, 500};
        static const int32_t tries[] = {1, 2, 3};
        static const int32_t rests[] = {0, 500, 2000, 10000};
        FSettings.WaitTimeout = waits[FRng() % 4];
        FSettings.CountTry = tries[FRng() % 3];
        FSettings.TimeNextSend = rests[FRng() % 4];
        FLedger.AllowTries(FSettings.CountTry);
    } else if (r < 102) {
        ++FFigures.busySpells;
        const auto port = static_cast<uint8_t>(FRng() % FLines.size());
        if (FRng() & 1) {
            FPort.blockedCalls[port] = static_cast<uint32_t>(FRng() % 200);
        } else {
            FPort.failingWrites[port] = static_cast<uint32_t>(1 + FRng() % 3);
        }
    }
}

void SoakWorld::ClearAll() {
    // The port table goes first: what was in flight is forgotten before any drop.
    FPort.ForgetExchanges();
    FLedger.ForgetLines();
    for (auto& [port, line] : FLines) line.rx.clear();
    FEngine->ClearAll();
}

void SoakWorld::Finish() {
    FPort.blockedCalls.clear();
    ClearAll();
    FLedger.ExpectAllEnded();
    if (FEngine->NewTaskCount() != 0 || FEngine->ActiveTaskCount() != 0) Violation("ClearAll left tasks behind");
    if (std::any_of(FBusy.begin(), FBusy.end(), [](bool b) { return b; })) Violation("an item left busy");
}

SoakFigures SoakWorld::Figures() const {
    SoakFigures f = FFigures;
    f.exchanges = FPort.writes;
    f.refusedWrites = FPort.failedWrites;
    f.tasks = FLedger.Totals();
    return f;
}

}  // namespace tervex::soak
