#include "tests/soak/ModelWorld.h"

#include <algorithm>
#include <cstdio>

#include "protocol/Crc16.h"
#include "sim/Hex.h"
#include "values/DataTypes.h"

namespace tervex::soak {

namespace {

constexpr uint64_t kRxGapMs = 40;  // a quiet line: what was gathered goes over as it is
constexpr uint64_t kSleepsPerPollLimit = 100000;
constexpr size_t kMaxViolationsKept = 20;
constexpr int kItemKeys = 12;
constexpr int kDrainStepLimit = 200000;

enum class Fill { Zero, Ones, Random, Mixed };

uint64_t ByteKey(uint8_t port, uint8_t device, sim::Area area, uint32_t address) {
    return static_cast<uint64_t>(port) << 48 | static_cast<uint64_t>(device) << 40 |
           static_cast<uint64_t>(area) << 32 | address;
}

std::string HexText(const uint8_t* data, size_t n) {
    std::string s;
    char pair[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(pair, sizeof pair, "%02X ", data[i]);
        s += pair;
    }
    if (!s.empty()) s.pop_back();
    return s;
}

std::string Hex4(uint32_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

}  // namespace

struct ModelWorld::Task {
    enum class End { Open, Good, Failed, Dropped, Removed };
    EngineTask engine;
    uint64_t id = 0;
    uint8_t port = 0, device = 0;
    sim::Area area = sim::Area::Ram;
    uint32_t address = 0;  // within the area
    int size = 1;
    bool boolean = false;
    bool write = false;
    bool hasFrame = true;  // a FLASH write has none
    bool exists = true;    // a controller has that address on the task's line
    bool answered = true;  // ... and answers every frame
    uint8_t priority = 0;
    uint64_t queuedAt = 0, polledIn = 0, orderKey = 0, clearAtRemoval = 0;
    bool removedAfterPoll = false;
    End end = End::Open;

    uint8_t BitMask() const { return static_cast<uint8_t>(1u << engine.item.bitNumber); }
    std::string Describe() const {
        std::string s = "task " + std::to_string(id) + " (" + (write ? "write" : "read") + " COM" +
                        std::to_string(port + 1) + " device " + std::to_string(device) + " " + sim::AreaName(area) +
                        " " + Hex4(address) + (engine.item.address > 65535 ? " given as " + std::to_string(engine.item.address) : "") +
                        " size " + std::to_string(size);
        if (boolean) s += " bit " + std::to_string(engine.item.bitNumber);
        if (write) {
            s += boolean ? (engine.write.bitValue ? " set" : " clear")
                         : " value " + HexText(engine.write.bytes.data(), static_cast<size_t>(size));
        }
        return s + ")";
    }
};

// A write frame as the controller took it.
struct ModelWorld::Executed {
    uint64_t at = 0;
    uint8_t port = 0, device = 0;
    sim::Area area = sim::Area::Ram;
    uint32_t address = 0;
    sim::Op op = sim::Op::Write;
    std::vector<uint8_t> data, before;
    bool answered = false;
};

// The ledger checks each ending; the model then checks what the ending says.
class ModelWorld::Sink final : public ICompletionSink {
public:
    explicit Sink(ModelWorld& world) : FWorld(world) {}
    void TaskFinished(void* context, const Completion& c) override {
        FWorld.FLedger.TaskFinished(context, c);
        FWorld.OnFinished(Id(context), c);
    }
    void ItemStateStamped(void* context, uint16_t quality, const Timestamp* timestamp) override {
        FWorld.FLedger.ItemStateStamped(context, quality, timestamp);
    }
    void TaskDropped(void* context) override {
        FWorld.FLedger.TaskDropped(context);
        FWorld.OnDropped(Id(context));
    }

private:
    static uint64_t Id(void* context) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(context)); }
    ModelWorld& FWorld;
};

ModelWorld::ModelWorld(uint64_t seed)
    : FRng(seed),
      FSimTime(std::make_unique<EngineTime>(FClock)),
      FPort([this](const std::string& what) { Violation(what); }),
      FLedger([this](const std::string& what) { Violation(what); }),
      FSink(std::make_unique<Sink>(*this)) {
    FSettings.WaitTimeout = 200;
    FSettings.CountTry = 2;
    FSettings.TimeNextSend = 1000;
    FLedger.AllowTries(FSettings.CountTry);

    sim::FaultRule split;
    split.kind = sim::FaultKind::Split;
    split.probability = 0.3;
    split.gapMs = 5;
    sim::FaultRule drop;
    drop.kind = sim::FaultKind::Silence;
    drop.probability = 0.05;

    auto fill = [this](sim::ControllerConfig& c, Fill how) {
        for (int a = 0; a < sim::kAreaCount; ++a) {
            const auto area = static_cast<sim::Area>(a);
            Fill f = how == Fill::Mixed ? static_cast<Fill>(FRng() % 3) : how;
            if (f == Fill::Zero) continue;
            std::vector<uint8_t> bytes(sim::AreaSize(area), 0xFF);
            if (f == Fill::Random) {
                for (auto& b : bytes) b = static_cast<uint8_t>(FRng());
            }
            c.presets.push_back({area, 0, std::move(bytes)});
        }
    };
    auto controller = [&](uint8_t address, sim::Framing framing, Fill how, bool drops) {
        sim::ControllerConfig c;
        c.address = address;
        c.framing = framing;
        c.answerDelayMs = static_cast<int64_t>(FRng() % 4);
        c.faults = {split};
        if (drops) c.faults.push_back(drop);
        fill(c, how);
        return c;
    };
    using F = sim::Framing;
    const auto x = static_cast<uint8_t>(100 + FRng() % 155);
    const auto y = static_cast<uint8_t>(30 + FRng() % 70);
    const auto z = static_cast<uint8_t>(100 + FRng() % 155);
    struct LinePlan {
        bool answersAll;
        std::vector<sim::ControllerConfig> controllers;
        std::vector<uint8_t> devices;
    };
    // Controllers 3, 15, 23 and 27 with zero memory answer reads whose first ten bytes
    // already end in a CRC of their own.
    const LinePlan plans[] = {
        {true,
         {controller(1, F::Rtu, Fill::Random, false), controller(3, F::Rtu, Fill::Zero, false),
          controller(15, F::Rtu, Fill::Zero, false), controller(x, F::Ascii, Fill::Ones, false)},
         {1, 3, 15, x}},
        {true,
         {controller(23, F::Rtu, Fill::Zero, false), controller(27, F::Rtu, Fill::Zero, false),
          controller(255, F::Rtu, Fill::Ones, false), controller(y, F::Ascii, Fill::Mixed, false)},
         {23, 27, 255, y}},
        {false, {controller(2, F::Rtu, Fill::Random, true), controller(z, F::Ascii, Fill::Zero, true)}, {2, z, 9}},
    };
    for (uint8_t p = 0; p < 3; ++p) {
        sim::LineConfig config;
        config.seed = seed * 7 + p;
        config.clockStartSeconds = 1700000000;
        config.controllers = plans[p].controllers;
        HostLine& line = FLines[p];
        line.line = std::make_unique<sim::Line>(*FSimTime, config);
        line.answersAll = plans[p].answersAll;
        line.devices = plans[p].devices;
    }

    FPort.onWrite = [this](uint8_t port, const std::vector<uint8_t>& frame, bool written) {
        if (written) OnWrite(port, frame);
    };
    FServer.onIdle = [this] { Pump(); };
    FClock.onSleep = [this] { ++FSleepsInPoll; };
    FClock.terminated = [this] {
        if (FSleepsInPoll <= kSleepsPerPollLimit) return false;
        Violation("a synchronous poll that does not end");
        return true;
    };
    FEngine = std::make_unique<PollEngine>(FClock, FPort, FServer, *FSink, FSettings);
}

ModelWorld::~ModelWorld() = default;

void ModelWorld::Violation(const std::string& what) {
    ++FFigures.violations;
    if (FViolations.size() < kMaxViolationsKept) FViolations.push_back(what);
}

void ModelWorld::Round() {
    ++FFigures.rounds;
    const int active = 20 + static_cast<int>(FRng() % 200);
    for (int i = 0; i < active; ++i) Step(true);
    for (int i = 0; !Quiet(); ++i) {
        if (i == kDrainStepLimit) {
            Violation("the lines never went quiet");
            ClearAll();
            break;
        }
        Step(false);
    }
    CheckMemory();
    for (const auto& [id, t] : FTasks) {
        if (t.end == Task::End::Open) Violation(t.Describe() + " still open on a quiet line");
    }
    FTasks.clear();
    FExecuted.clear();
    FBaseline.clear();
    for (auto& [port, line] : FLines) line.spoilt = false;
}

void ModelWorld::Step(bool queueing) {
    ++FFigures.steps;
    std::uniform_int_distribution<int> percent(0, 99);
    if (queueing && percent(FRng) < 50) QueueSome();
    if ((queueing && percent(FRng) < 35) || (!queueing && !FUnpolled.empty())) Poll();
    FClock.monoMs += std::uniform_int_distribution<uint64_t>(1, 20)(FRng);
    Pump();
    if (percent(FRng) < 50) {
        FEngine->TimerTick();
    } else {
        FEngine->SendNext();
    }
    if (queueing) {
        const int r = std::uniform_int_distribution<int>(0, 999)(FRng);
        if (r < 15) {
            RemoveItem();
        } else if (r < 18) {
            ClearAll();
        }
    }
}

ModelWorld::Task ModelWorld::RandomTask() {
    Task t;
    t.port = static_cast<uint8_t>(FRng() % FLines.size());
    HostLine& line = FLines[t.port];
    t.device = line.devices[FRng() % line.devices.size()];
    const sim::Controller* controller = line.line->Find(t.device);
    t.exists = controller != nullptr;
    t.answered = t.exists && line.answersAll;
    static const sim::Area areas[] = {sim::Area::Ram,    sim::Area::Ram,  sim::Area::Ram,  sim::Area::Clock,
                                      sim::Area::Eeprom, sim::Area::Eeprom, sim::Area::Fram, sim::Area::Xram,
                                      sim::Area::Flash};
    t.area = areas[FRng() % (sizeof areas / sizeof areas[0])];
    t.write = FRng() % 100 < 45 && (t.area != sim::Area::Flash || FRng() % 10 == 0);
    t.hasFrame = !(t.write && t.area == sim::Area::Flash);
    static const int types[] = {kTypeByte, kTypeByte, kTypeWord, kTypeInteger, kTypeArrayOfByte};
    int type = types[FRng() % (sizeof types / sizeof types[0])];
    t.boolean = t.area == sim::Area::Ram && FRng() % 4 == 0;
    if (t.boolean) type = kTypeBoolean;
    t.size = DataTypeSize(type);
    // Items of one device and area lie close together, so that they overlap and share.
    const uint32_t window = static_cast<uint32_t>(t.port) << 16 | static_cast<uint32_t>(t.device) << 8 |
                            static_cast<uint32_t>(t.area);
    auto base = FWindows.find(window);
    if (base == FWindows.end()) {
        const bool small = sim::AreaSize(t.area) == 256;
        // Above the controller's clock bytes, and never running off the area's end.
        const uint32_t at = small ? 8 + static_cast<uint32_t>(FRng() % 220) : static_cast<uint32_t>(FRng() % 65500);
        base = FWindows.emplace(window, at).first;
    }
    t.address = base->second + static_cast<uint32_t>(FRng() % 12);
    int64_t given = t.address;
    if (sim::AreaSize(t.area) > 256 && FRng() % 20 == 0) given += 65536;  // a hand-made address

    EngineTask& e = t.engine;
    const bool sync = FRng() % 10 == 0;
    e.kind = t.write ? (sync ? TaskKind::SyncWrite : TaskKind::AsyncWrite)
                     : (sync ? TaskKind::SyncRead : TaskKind::AsyncRead);
    e.node.comPort = t.port;
    e.node.deviceAddress = t.device;
    e.node.protocol = controller && controller->Config().framing == sim::Framing::Ascii ? "ASCII" : "RTU";
    e.item.memoryArea = sim::AreaName(t.area);
    e.item.address = given;
    e.item.typeCode = type;
    e.item.bitNumber = t.boolean ? static_cast<int64_t>(FRng() % 8) : 0;
    if (t.write) {
        // Few distinct values, so that equal frames are common.
        const int pick = static_cast<int>(FRng() % 5);
        for (size_t i = 0; i < e.write.bytes.size(); ++i) {
            e.write.bytes[i] = pick == 0 ? 0x00 : pick == 1 ? 0xFF : pick == 2 ? static_cast<uint8_t>(0x5A + i)
                                                                               : static_cast<uint8_t>(FRng());
        }
        e.write.bitValue = (FRng() & 1) != 0;
    }
    e.itemKey = &FItemKeys[FRng() % kItemKeys];
    return t;
}

void ModelWorld::QueueSome() {
    if (FRng() % 10 == 0) {
        // One place written several times in one poll: A, B, A.
        Task a = RandomTask();
        if (!a.write || !a.hasFrame) return;
        Task b = a;
        b.engine.write.bitValue = !a.engine.write.bitValue;
        for (auto& v : b.engine.write.bytes) v = static_cast<uint8_t>(v + 1);
        Task c = a;
        for (Task* t : {&b, &c}) {
            if (FRng() % 4 == 0) t->engine.kind = t->engine.kind == TaskKind::AsyncWrite ? TaskKind::SyncWrite
                                                                                         : TaskKind::AsyncWrite;
        }
        QueueTask(a);
        QueueTask(b);
        QueueTask(c);
        return;
    }
    const int n = std::uniform_int_distribution<int>(1, 4)(FRng);
    for (int i = 0; i < n; ++i) QueueTask(RandomTask());
}

void ModelWorld::QueueTask(Task t) {
    t.queuedAt = ++FSeq;
    if (t.write && t.exists) {
        sim::Controller* controller = ControllerOf(t);
        const uint32_t areaSize = sim::AreaSize(t.area);
        for (int i = 0; i < t.size; ++i) {
            const uint32_t at = (t.address + static_cast<uint32_t>(i)) % areaSize;
            FBaseline.emplace(ByteKey(t.port, t.device, t.area, at), controller->Mem().Get(t.area, at));
        }
    }
    t.engine.context = FLedger.Open(t.engine);
    t.id = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(t.engine.context));
    ++FFigures.tasks;
    FUnpolled.push_back(t.id);
    const EngineTask engine = t.engine;
    FTasks.emplace(t.id, std::move(t));
    FEngine->QueueTask(engine);
}

namespace {

bool Overlap(uint32_t a, int sizeA, uint32_t b, int sizeB, uint32_t areaSize) {
    return (b + areaSize - a) % areaSize < static_cast<uint32_t>(sizeA) ||
           (a + areaSize - b) % areaSize < static_cast<uint32_t>(sizeB);
}

}  // namespace

void ModelWorld::Poll() {
    ++FFigures.polls;
    uint8_t priority = static_cast<uint8_t>(FRng() % 4);
    // A frame goes ahead of every queued one of lower priority, a retried head too, and
    // so ahead of what waits behind that. Where that could put a write before an earlier
    // one to the same bytes, queue order would no longer say which is newer: the poll
    // then takes the lowest priority of what may still be queued on that port.
    std::vector<const Task*> batch;
    for (const uint64_t id : FUnpolled) {
        auto it = FTasks.find(id);
        if (it != FTasks.end() && it->second.end == Task::End::Open) batch.push_back(&it->second);
    }
    auto mayBeQueued = [this](const Task& v) {
        return v.polledIn != 0 && v.hasFrame &&
               (v.end == Task::End::Open || (v.end == Task::End::Removed && v.clearAtRemoval == FClearNo));
    };
    for (const Task* w : batch) {
        if (!w->write || !w->hasFrame) continue;
        bool overlaps = false;
        for (const auto& [id, v] : FTasks) {
            overlaps = overlaps || (mayBeQueued(v) && v.write && v.port == w->port && v.device == w->device &&
                                    v.area == w->area &&
                                    Overlap(v.address, v.size, w->address, w->size, sim::AreaSize(v.area)));
        }
        if (!overlaps) continue;
        for (const auto& [id, v] : FTasks) {
            if (mayBeQueued(v) && v.port == w->port) priority = std::min(priority, v.priority);
        }
    }
    // The engine serves a poll's tasks in address order (the address as frames carry it).
    std::stable_sort(batch.begin(), batch.end(), [](const Task* a, const Task* b) {
        return static_cast<uint16_t>(a->engine.item.address) < static_cast<uint16_t>(b->engine.item.address);
    });
    ++FPollNo;
    for (size_t i = 0; i < batch.size(); ++i) {
        Task& t = FTasks[batch[i]->id];
        t.polledIn = FPollNo;
        t.priority = priority;
        t.orderKey = FPollNo << 32 | i;
    }
    FUnpolled.clear();
    ++FSeq;
    FSleepsInPoll = 0;
    FEngine->Poll(priority);
}

// What a host port does: takes what the line brought in pieces of random size, asks
// IsFrameComplete after each, and hands the gathered bytes over once it says yes, or
// once the line has been quiet for a while.
void ModelWorld::Pump() {
    const uint64_t now = FClock.monoMs;
    for (auto& [port, line] : FLines) {
        const std::vector<uint8_t> bytes = line.outbox.TakeDue(static_cast<int64_t>(now));
        if (!bytes.empty()) {
            line.arrived.insert(line.arrived.end(), bytes.begin(), bytes.end());
            line.lastRxMs = now;
        }
        while (!line.arrived.empty()) {
            const size_t most = std::min<size_t>(line.arrived.size(), 8);
            const size_t n = FRng() % 3 == 0 ? 1 : 1 + FRng() % most;
            line.rx.insert(line.rx.end(), line.arrived.begin(), line.arrived.begin() + static_cast<std::ptrdiff_t>(n));
            line.arrived.erase(line.arrived.begin(), line.arrived.begin() + static_cast<std::ptrdiff_t>(n));
            if (FEngine->IsFrameComplete(port, line.rx.data(), static_cast<int32_t>(line.rx.size()))) {
                Deliver(port, line);
            }
        }
        if (!line.rx.empty() && now - line.lastRxMs >= kRxGapMs) Deliver(port, line);
    }
}

void ModelWorld::Deliver(uint8_t port, HostLine& line) {
    std::vector<uint8_t> bytes;
    bytes.swap(line.rx);
    line.lastDelivery = bytes;
    ++FFigures.deliveries;
    FLedger.BeginDelivery(port, bytes.data(), static_cast<int32_t>(bytes.size()));
    FEngine->DataReceived(port, bytes.data(), static_cast<int32_t>(bytes.size()));
    FLedger.EndDelivery();
}

void ModelWorld::RemoveItem() {
    ++FFigures.removals;
    FClearing = false;
    FEngine->RemoveItemTasks(&FItemKeys[FRng() % kItemKeys]);
}

void ModelWorld::ClearAll() {
    ++FFigures.clears;
    ++FClearNo;
    FPort.ForgetExchanges();
    FLedger.ForgetLines();
    FClearing = true;
    FEngine->ClearAll();
    FClearing = false;
    FUnpolled.clear();
    // The host lets its lines go quiet before it starts again: an answer to a frame of
    // the old table must not be taken for one of the new.
    for (auto& [port, line] : FLines) {
        while (const auto due = line.outbox.NextDueMs()) {
            FClock.monoMs = std::max<uint64_t>(FClock.monoMs, static_cast<uint64_t>(*due));
            line.outbox.TakeDue(static_cast<int64_t>(FClock.monoMs));
        }
        line.arrived.clear();
        line.rx.clear();
        line.spoilt = false;
    }
}

bool ModelWorld::Quiet() const {
    if (!FUnpolled.empty() || FEngine->NewTaskCount() != 0 || FEngine->ActiveTaskCount() != 0) return false;
    for (const PortPtr& port : FEngine->Ports().Ports()) {
        if (!port->Queue.Empty()) return false;
    }
    for (const auto& [port, line] : FLines) {
        if (!line.outbox.Empty() || !line.arrived.empty() || !line.rx.empty()) return false;
    }
    return true;
}

sim::Controller* ModelWorld::ControllerOf(const Task& t) {
    return FLines[t.port].line->Find(t.device);
}

void ModelWorld::OnWrite(uint8_t port, const std::vector<uint8_t>& frame) {
    HostLine& line = FLines[port];
    std::vector<uint8_t> body;
    if (!frame.empty() && frame.front() == '$' && frame.back() == '\r') {
        body = sim::FromHex(std::string(frame.begin() + 1, frame.end() - 1)).value_or(std::vector<uint8_t>{});
    } else if (frame.size() > 2 && HasValidCrc16(frame.data(), frame.size())) {
        body.assign(frame.begin(), frame.end() - 2);
    }
    const auto parsed = sim::ParseRequest(body);
    const bool write = parsed && (parsed->op == sim::Op::Write || parsed->op == sim::Op::SetBits ||
                                  parsed->op == sim::Op::ClearBits);
    sim::Controller* controller = parsed ? line.line->Find(parsed->address) : nullptr;
    Executed e;
    if (write && controller != nullptr) {
        e.port = port;
        e.device = parsed->address;
        e.area = parsed->area;
        e.address = parsed->memoryAddress % sim::AreaSize(parsed->area);
        e.op = parsed->op;
        e.data = parsed->data;
        const size_t n = parsed->op == sim::Op::Write ? parsed->data.size() : 1;
        e.before = controller->Mem().Read(e.area, e.address, n);
    }
    std::vector<sim::Piece> pieces = line.line->Feed(frame);
    if (write && controller != nullptr) {
        e.answered = !pieces.empty();
        e.at = ++FSeq;
        FExecuted.push_back(std::move(e));
    }
    line.outbox.Push(std::move(pieces));
}

void ModelWorld::OnDropped(uint64_t id) {
    auto it = FTasks.find(id);
    if (it == FTasks.end() || it->second.end != Task::End::Open) return;  // the ledger tells
    Task& t = it->second;
    ++FFigures.dropped;
    t.end = FClearing ? Task::End::Dropped : Task::End::Removed;
    t.removedAfterPoll = t.polledIn != 0;
    t.clearAtRemoval = FClearNo;
}

void ModelWorld::OnFinished(uint64_t id, const Completion& c) {
    auto it = FTasks.find(id);
    if (it == FTasks.end() || it->second.end != Task::End::Open) return;  // the ledger tells
    Task& t = it->second;
    if (c.result != kResultOk) {
        t.end = Task::End::Failed;
        ++FFigures.failed;
        if (t.answered && t.hasFrame) {
            HostLine& line = FLines[t.port];
            if (CutShort(t)) {
                ++FFigures.cutShort;
                line.spoilt = true;
            } else if (line.spoilt) {
                ++FFigures.spoiltByRest;
            } else {
                char result[16];
                std::snprintf(result, sizeof result, "0x%08X", c.result);
                const std::vector<uint8_t>& last = FLines[t.port].lastDelivery;
                Violation(t.Describe() + " failed with " + result +
                          " although its controller answers every frame; last handed over: " +
                          HexText(last.data(), last.size()));
            }
        }
        return;
    }
    t.end = Task::End::Good;
    ++FFigures.good;
    FLines[t.port].spoilt = false;
    if (!t.hasFrame || !t.exists) {
        Violation("S_OK for " + t.Describe() + ", which no controller answers");
    } else if (t.write) {
        CheckWrite(t);
    } else {
        CheckRead(t, c);
    }
}

// A read answer whose first data byte is 0xFF is taken for a password reset as soon as
// its CRC fits: a prefix that happens to end in its own CRC goes over alone.
bool ModelWorld::CutShort(const Task& t) const {
    const std::vector<uint8_t>& d = FLines.at(t.port).lastDelivery;
    return !t.write && d.size() >= 4 && d.size() < 11 && d[1] == 0xFF && HasValidCrc16(d.data(), d.size());
}

// The value must be the memory as it stood at some moment between queuing and now:
// memory now, then with each write carried out since the task was queued taken back.
void ModelWorld::CheckRead(const Task& t, const Completion& c) {
    ++FFigures.readsChecked;
    if (c.valueBytes == nullptr || c.valueByteCount < t.size) {
        Violation("a good read without its bytes: " + t.Describe());
        return;
    }
    const std::vector<uint8_t> got(c.valueBytes, c.valueBytes + t.size);
    const uint32_t areaSize = sim::AreaSize(t.area);
    std::vector<uint8_t> memory = ControllerOf(t)->Mem().Read(t.area, t.address, static_cast<size_t>(t.size));
    const std::vector<uint8_t> now = memory;
    if (memory == got) return;
    for (auto e = FExecuted.rbegin(); e != FExecuted.rend() && e->at > t.queuedAt; ++e) {
        if (e->port != t.port || e->device != t.device || e->area != t.area) continue;
        for (size_t i = 0; i < e->before.size(); ++i) {
            const uint32_t offset = (e->address + static_cast<uint32_t>(i) + areaSize - t.address) % areaSize;
            if (offset < static_cast<uint32_t>(t.size)) memory[offset] = e->before[i];
        }
        if (memory == got) return;
    }
    Violation(t.Describe() + " read " + HexText(got.data(), got.size()) + "; the controller held " +
              HexText(now.data(), now.size()) + " at its completion and nothing of that since it was queued");
}

// S_OK for a write: the controller took and answered a frame with the task's value at
// the task's place after the task was queued.
void ModelWorld::CheckWrite(const Task& t) {
    ++FFigures.writesChecked;
    for (const Executed& e : FExecuted) {
        if (e.at <= t.queuedAt || !e.answered || e.port != t.port || e.device != t.device || e.area != t.area ||
            e.address != t.address % sim::AreaSize(t.area)) {
            continue;
        }
        if (t.boolean) {
            const sim::Op op = t.engine.write.bitValue ? sim::Op::SetBits : sim::Op::ClearBits;
            if (e.op == op && e.data.size() == 1 && e.data[0] == t.BitMask()) return;
        } else if (e.op == sim::Op::Write &&
                   e.data == std::vector<uint8_t>(t.engine.write.bytes.begin(), t.engine.write.bytes.begin() + t.size)) {
            return;
        }
    }
    Violation("S_OK for " + t.Describe() + ", which its controller never answered");
}

// Bit by bit, every byte written since the last check holds the value of the newest
// acknowledged write that touched it; writes whose fate is unknown (failed, dropped,
// removed while the line was cleared) may or may not have landed after it.
void ModelWorld::CheckMemory() {
    struct Touch {
        uint64_t order;
        uint8_t mask, bits;
        bool definite;
        const Task* task;
    };
    std::map<uint64_t, std::vector<Touch>> touches;
    for (const auto& [id, t] : FTasks) {
        if (!t.write || !t.hasFrame || !t.exists || t.polledIn == 0) continue;
        bool definite = false;
        switch (t.end) {
        case Task::End::Good: definite = true; break;
        case Task::End::Removed: definite = t.answered && t.clearAtRemoval == FClearNo; break;
        default: break;
        }
        const uint32_t areaSize = sim::AreaSize(t.area);
        for (int i = 0; i < t.size; ++i) {
            const uint32_t at = (t.address + static_cast<uint32_t>(i)) % areaSize;
            const uint8_t mask = t.boolean ? t.BitMask() : 0xFF;
            const uint8_t bits = t.boolean ? (t.engine.write.bitValue ? mask : 0) : t.engine.write.bytes[i];
            touches[ByteKey(t.port, t.device, t.area, at)].push_back({t.orderKey, mask, bits, definite, &t});
        }
    }
    for (auto& [key, list] : touches) {
        std::sort(list.begin(), list.end(), [](const Touch& a, const Touch& b) { return a.order > b.order; });
        const Task& any = *list.front().task;
        const uint32_t at = static_cast<uint32_t>(key & 0xFFFFFFFFu);
        const uint8_t actual = ControllerOf(any)->Mem().Get(any.area, at);
        const uint8_t baseline = FBaseline.at(key);
        for (int b = 0; b < 8; ++b) {
            bool accept[2] = {false, false};
            const Task* newest = nullptr;
            for (const Touch& touch : list) {
                if ((touch.mask >> b & 1) == 0) continue;
                accept[touch.bits >> b & 1] = true;
                if (touch.definite) {
                    newest = touch.task;
                    break;
                }
            }
            if (newest == nullptr) accept[baseline >> b & 1] = true;
            ++FFigures.bitsChecked;
            if (!accept[actual >> b & 1]) {
                char text[96];
                std::snprintf(text, sizeof text, " byte %s holds 0x%02X; bit %d should be %d after ", Hex4(at).c_str(),
                              actual, b, (actual >> b & 1) ^ 1);
                Violation("quiet line, COM" + std::to_string(any.port + 1) + " device " + std::to_string(any.device) +
                          " " + sim::AreaName(any.area) + text +
                          (newest ? "the newest acknowledged write, " + newest->Describe() : std::string("no write")));
                break;
            }
        }
    }
}

void ModelWorld::Finish() {
    ClearAll();
    FLedger.ExpectAllEnded();
    if (FEngine->NewTaskCount() != 0 || FEngine->ActiveTaskCount() != 0) Violation("ClearAll left tasks behind");
}

}  // namespace tervex::soak
