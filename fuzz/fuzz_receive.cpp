// The receive path as a host drives it: tasks of every kind queued and polled on a few
// ports in RTU and ASCII, and then, in any order, answers (good, spoilt, cut into
// pieces, and the pieces of several ports interleaved), arbitrary bytes, silences, timer
// ticks, time passing, removals, clears, settings changes and a misbehaving host,
// including calls back into the engine from inside the engine's own calls. The checks
// are those of TaskLedger and CheckedHostPort, plus the port table's own rules: only a
// port's head may be in flight, and a port holds an unfinished ASCII answer only for
// its own head.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/AllocationFaults.h"
#include "fuzz/ByteReader.h"
#include "fuzz/EngineDoubles.h"
#include "fuzz/TaskLedger.h"
#include "protocol/Crc16.h"
#include "protocol/Framing.h"
#include "protocol/PollEngine.h"
#include "values/ValueCodec.h"

namespace tervex::fuzz {
namespace {

[[noreturn]] void Broken(const std::string& what) {
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::abort();
}

constexpr int kPorts = 4;
constexpr int kMaxOps = 600;
constexpr int kMaxDepth = 2;
constexpr uint32_t kSleepsPerPoll = 400;

std::vector<uint8_t> WithCrc(std::vector<uint8_t> bytes) {
    AppendCrc16(bytes);
    return bytes;
}

std::vector<uint8_t> AsText(char start, const std::vector<uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::vector<uint8_t> text{static_cast<uint8_t>(start)};
    for (uint8_t b : bytes) {
        text.push_back(static_cast<uint8_t>(digits[b >> 4]));
        text.push_back(static_cast<uint8_t>(digits[b & 15]));
    }
    text.push_back('\r');
    return text;
}

uint8_t Nibble(uint8_t c) { return c >= 'A' ? static_cast<uint8_t>(c - 'A' + 10) : static_cast<uint8_t>(c - '0'); }

// The binary bytes (CRC left off) of a frame as written, and whether it went as text.
std::vector<uint8_t> FrameBytes(const std::vector<uint8_t>& frame, bool& text) {
    text = frame.size() >= 4 && frame.front() == '$' && frame.back() == '\r' && !HasValidCrc16(frame.data(), frame.size());
    std::vector<uint8_t> bytes;
    if (text) {
        for (size_t i = 1; i + 2 < frame.size(); i += 2) {
            bytes.push_back(static_cast<uint8_t>(Nibble(frame[i]) << 4 | Nibble(frame[i + 1])));
        }
    } else if (frame.size() >= 2) {
        bytes.assign(frame.begin(), frame.end() - 2);
    }
    return bytes;
}

// A sink between the engine and the ledger that can fail after recording, as a host
// that raises from its completion calls.
class FailingSink : public ICompletionSink {
public:
    explicit FailingSink(TaskLedger& ledger) : FLedger(ledger) {}
    bool throwAfter = false;

    void TaskFinished(void* context, const Completion& c) override {
        HarnessScope own;
        FLedger.TaskFinished(context, c);
        if (throwAfter) throw HostFailure();
    }
    void ItemStateStamped(void* context, uint16_t quality, const Timestamp* ts) override {
        HarnessScope own;
        FLedger.ItemStateStamped(context, quality, ts);
        if (throwAfter) throw HostFailure();
    }
    void TaskDropped(void* context) override {
        HarnessScope own;
        FLedger.TaskDropped(context);
        if (throwAfter) throw HostFailure();
    }

private:
    TaskLedger& FLedger;
};

// The host doubles, with their own bookkeeping kept out of the allocation faults.
class ScopedPort : public CheckedHostPort {
public:
    using CheckedHostPort::CheckedHostPort;
    bool CanTransmit(uint8_t port) override {
        HarnessScope own;
        return CheckedHostPort::CanTransmit(port);
    }
    uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) override {
        HarnessScope own;
        return CheckedHostPort::WritePort(port, data, count);
    }
    void TransferDone(uint8_t port) override {
        HarnessScope own;
        CheckedHostPort::TransferDone(port);
    }
};

class ScopedServer : public HookedServer {
public:
    void WriteLog(const std::string& line) override {
        HarnessScope own;
        HookedServer::WriteLog(line);
    }
    void Idle() override {
        HarnessScope own;
        HookedServer::Idle();
    }
};

// The engine with every call counted for allocation faults.
class GuardedEngine {
public:
    GuardedEngine(IEngineClock& clock, IHostPort& port, IHostServer& server, ICompletionSink& sink,
                  const DriverSettings& settings)
        : FEngine(clock, port, server, sink, settings) {}

    void QueueTask(EngineTask task) {
        EngineScope engine;
        FEngine.QueueTask(std::move(task));
    }
    void Poll(uint32_t priority) {
        EngineScope engine;
        FEngine.Poll(priority);
    }
    void TimerTick() {
        EngineScope engine;
        FEngine.TimerTick();
    }
    void SendNext() {
        EngineScope engine;
        FEngine.SendNext();
    }
    void DataReceived(uint8_t port, const uint8_t* data, int32_t count) {
        EngineScope engine;
        FEngine.DataReceived(port, data, count);
    }
    bool IsFrameComplete(uint8_t port, const uint8_t* data, int32_t count) {
        EngineScope engine;
        return FEngine.IsFrameComplete(port, data, count);
    }
    void RemoveItemTasks(const void* key) {
        EngineScope engine;
        FEngine.RemoveItemTasks(key);
    }
    void ClearNewTasks() {
        EngineScope engine;
        FEngine.ClearNewTasks();
    }
    void ClearAll() {
        EngineScope engine;
        FEngine.ClearAll();
    }
    size_t NewTaskCount() const { return FEngine.NewTaskCount(); }
    size_t ActiveTaskCount() const { return FEngine.ActiveTaskCount(); }
    size_t ActiveSyncTaskCount() const { return FEngine.ActiveSyncTaskCount(); }
    const TPortTable& Ports() const { return FEngine.Ports(); }

private:
    PollEngine FEngine;
};

class World {
public:
    explicit World(ByteReader& in) : FIn(in) {
        FClock.terminated = [this] { return FIn.Done() || FSleepsInPoll > kSleepsPerPoll; };
        FClock.onSleep = [this] { ++FSleepsInPoll; };
        FServer.onIdle = [this] {
            if (FAutoAnswer) AnswerAllHeads();
            Reenter(FReenterOnIdle);
        };
        FPort.onTransferDone = [this](uint8_t) { Reenter(FReenterOnTransfer); };
        FPort.onWrite = [this](uint8_t, const std::vector<uint8_t>&, bool) { Reenter(FReenterOnWrite); };
        FLedger.onEnded = [this](uint64_t) { Reenter(FReenterOnEnd); };
        FLedger.AllowTries(FSettings.CountTry);
        FEngine = std::make_unique<GuardedEngine>(FClock, FPort, FServer, FSink, FSettings);
    }

    void Run() {
        for (int ops = 0; ops < kMaxOps && !FIn.Done(); ++ops) {
            Step();
            CheckPorts();
        }
        FailAllocationAfter(0);
        FPort.throwOnCanTransmit = FPort.throwOnWrite = FPort.throwOnTransferDone = false;
        FServer.throwOnLog = FServer.throwOnIdle = false;
        FReenterOnIdle = FReenterOnTransfer = FReenterOnWrite = FReenterOnEnd = 0;
        FEngine->ClearAll();
        FLedger.ExpectAllEnded();
        if (std::getenv("TERVEX_FUZZ_STATS")) PrintStats();
        if (FEngine->NewTaskCount() != 0 || FEngine->ActiveTaskCount() != 0 || !FEngine->Ports().Ports().empty()) {
            Broken("ClearAll left tasks or ports behind");
        }
        FEngine.reset();
    }

private:
    void Step() {
        switch (FIn.Below(18)) {
        case 0:
        case 1:
        case 2: Queue(); break;
        case 3:
        case 4: Poll(); break;
        case 5: AnswerHead(static_cast<uint8_t>(FIn.Below(kPorts))); break;
        case 6: AnswerInterleaved(); break;
        case 7: Deliver(static_cast<uint8_t>(FIn.Below(kPorts + 1)), FIn.Bytes(40)); break;
        case 8: Silence(static_cast<uint8_t>(FIn.Below(kPorts + 1))); break;
        case 9: FEngine->TimerTick(); break;
        case 10: FEngine->SendNext(); break;
        case 11: Advance(); break;
        case 12: FEngine->RemoveItemTasks(Key()); break;
        case 13:
            if (FIn.Flag()) {
                FEngine->ClearNewTasks();
            } else {
                // The table goes first, then the tasks: forget the exchanges before any
                // task's drop can start new ones.
                FPort.ForgetExchanges();
                FLedger.ForgetLines();
                FEngine->ClearAll();
            }
            break;
        case 14: ChangeSettings(); break;
        case 15: HostFaults(); break;
        case 16: Reentry(); break;
        default: {
            const std::vector<uint8_t> bytes = FIn.Bytes(40);
            (void)FEngine->IsFrameComplete(static_cast<uint8_t>(FIn.Byte()), bytes.empty() ? nullptr : bytes.data(),
                                           static_cast<int32_t>(bytes.size()));
            break;
        }
        }
    }

    const void* Key() {
        static const int keys[4] = {};
        const uint32_t k = FIn.Below(5);
        return k == 4 ? nullptr : &keys[k];
    }

    void Queue() {
        static const int64_t ports[] = {0, 1, 2, 3, 0, 1, 99, 100, -1};
        static const int64_t devices[] = {1, 2, 0, 255, 256, -1, 36, 1};
        static const char* protocols[] = {"RTU", "ASCII", "ASCII", "", "ascii"};
        static const char* passwords[] = {"", "", "", "1", "abcdef", "пароль123"};
        static const char* orders[] = {"", "Младшим байтом вперед", "Старшим байтом вперед"};
        static const char* areas[] = {"ОЗУ", "ОЗУ", "CLOCK", "EEPROM", "FRAM", "XRAM", "FLASH", "", "RAM"};
        static const int32_t types[] = {17, 17, 16, 18, 2, 3, 11, 8, 0x2011, 4, 0, -1, 19};

        EngineTask t;
        // Now and then a kind the engine does not know.
        t.kind = static_cast<TaskKind>(FIn.Below(16) != 0 ? 1 + FIn.Below(4) : FIn.Byte());
        if (FIn.Below(8) != 0) t.node.comPort = FIn.Pick(ports);
        t.node.deviceAddress = FIn.Below(8) != 0 ? FIn.Pick(devices) : static_cast<int64_t>(FIn.Dword());
        t.node.protocol = FIn.Pick(protocols);
        t.node.readPassword = FIn.Pick(passwords);
        t.node.writePassword = FIn.Pick(passwords);
        t.node.byteOrder = FIn.Pick(orders);
        t.item.memoryArea = FIn.Pick(areas);
        t.item.address = FIn.Below(8) != 0 ? FIn.Below(24) : static_cast<int64_t>(static_cast<int32_t>(FIn.Dword()));
        t.item.typeCode = FIn.Pick(types);
        t.item.bitNumber = static_cast<int64_t>(FIn.Below(10)) - 1;
        if (IsWriteKind(t.kind)) {
            t.write.valid = FIn.Below(8) != 0;
            for (auto& b : t.write.bytes) b = FIn.Byte();
            t.write.bitValue = FIn.Flag();
        }
        t.itemKey = Key();
        t.context = FLedger.Open(t);
        FEngine->QueueTask(std::move(t));
    }

    void Poll() {
        const bool outermost = FPollDepth == 0;
        const bool hadNew = FEngine->NewTaskCount() > 0;
        if (outermost) FSleepsInPoll = 0;
        ++FPollDepth;
        FEngine->Poll(FIn.Byte());
        --FPollDepth;
        const bool cut = FIn.Done() || FSleepsInPoll > kSleepsPerPoll;
        if (hadNew && !cut && FEngine->ActiveSyncTaskCount() != 0) {
            Broken("Poll returned with synchronous tasks open");
        }
    }

    // Hands bytes over as a host port does: asks whether the frame is complete, then
    // delivers, in pieces or at once.
    void Deliver(uint8_t port, const std::vector<uint8_t>& bytes) {
        size_t at = 0;
        const uint32_t pieces = 1 + FIn.Below(4);
        for (uint32_t i = 0; i < pieces && at < bytes.size(); ++i) {
            at += DeliverPiece(port, bytes, at, i + 1 == pieces);
        }
        if (bytes.empty()) Silence(port);
    }

    // The next piece of bytes from at, the rest if last; gives its length.
    size_t DeliverPiece(uint8_t port, const std::vector<uint8_t>& bytes, size_t at, bool last) {
        const size_t left = bytes.size() - at;
        const size_t n = last ? left : 1 + FIn.Below(static_cast<uint32_t>(left));
        (void)FEngine->IsFrameComplete(port, bytes.data() + at, static_cast<int32_t>(n));
        FLedger.BeginDelivery(port, bytes.data() + at, static_cast<int32_t>(n));
        FEngine->DataReceived(port, bytes.data() + at, static_cast<int32_t>(n));
        FLedger.EndDelivery();
        return n;
    }

    void Silence(uint8_t port) {
        FLedger.BeginDelivery(port, nullptr, 0);
        FEngine->DataReceived(port, nullptr, 0);
        FLedger.EndDelivery();
    }

    // An answer to the frame last written on the port, as a device would give it, and
    // perhaps spoilt on the way.
    void AnswerHead(uint8_t port) {
        if (FPort.lastFrame.count(port) == 0) {
            Silence(port);
            return;
        }
        if (const std::optional<std::vector<uint8_t>> answer = AnswerTo(port)) {
            Deliver(port, *answer);
        }
    }

    // The answers of some ports, each cut into up to four pieces, the pieces of different
    // ports interleaved as a host with several lines hands them over.
    void AnswerInterleaved() {
        struct Line {
            uint8_t port;
            std::vector<uint8_t> bytes;
            uint32_t piecesLeft;
            size_t at = 0;
        };
        std::vector<Line> lines;
        const uint32_t answering = FIn.Below(1u << kPorts);
        for (uint8_t port = 0; port < kPorts; ++port) {
            if ((answering >> port & 1) == 0 || FPort.lastFrame.count(port) == 0) continue;
            if (std::optional<std::vector<uint8_t>> answer = AnswerTo(port)) {
                lines.push_back({port, std::move(*answer), 1 + FIn.Below(4)});
            }
        }
        while (!lines.empty()) {
            const size_t k = FIn.Below(static_cast<uint32_t>(lines.size()));
            Line& line = lines[k];
            --line.piecesLeft;
            line.at += DeliverPiece(line.port, line.bytes, line.at, line.piecesLeft == 0);
            if (line.at >= line.bytes.size()) lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(k));
        }
    }

    // What the device on port gives for the frame last written there, if anything.
    std::optional<std::vector<uint8_t>> AnswerTo(uint8_t port) {
        bool text = false;
        const std::vector<uint8_t> request = FrameBytes(FPort.lastFrame[port], text);
        if (request.size() < 2) return std::nullopt;
        const uint8_t device = FIn.Below(8) != 0 ? request[0] : FIn.Byte();
        const uint8_t command = request[1];
        std::vector<uint8_t> body{device};
        const uint32_t form = FIn.Below(8);
        if (form == 0) {
            body.push_back(0xFF);  // passwords needed
        } else if (command >= 0xD0 && command <= 0xD5) {
            for (int i = 0; i < 8; ++i) body.push_back(FIn.Byte());
        } else if (!text) {
            body.push_back(command);
        }
        std::vector<uint8_t> answer = text ? AsText(form == 1 ? '?' : '!', body) : WithCrc(body);
        switch (FIn.Below(8)) {
        case 0: answer[FIn.Below(static_cast<uint32_t>(answer.size()))] ^= static_cast<uint8_t>(1 + FIn.Below(255)); break;
        case 1: answer.pop_back(); break;
        case 2: answer.push_back(FIn.Byte()); break;
        default: break;
        }
        return answer;
    }

    void AnswerAllHeads() {
        const std::vector<PortPtr> ports = FEngine->Ports().Ports();  // answers may change the table
        for (const PortPtr& p : ports) {
            const RequestPtr head = p->Queue.Head();
            if (head && head->State == kRequestAwaiting && head->Written && FDepth < kMaxDepth) {
                ++FDepth;
                AnswerHead(p->PortNo);
                --FDepth;
            }
        }
    }

    void Advance() {
        switch (FIn.Below(4)) {
        case 0: FClock.monoMs += FIn.Byte(); break;
        case 1: FClock.monoMs += FIn.Word(); break;
        case 2: FClock.monoMs += static_cast<uint64_t>(FIn.Word()) * 16; break;
        default: FClock.monoMs += 100000 + FIn.Word(); break;
        }
    }

    void ChangeSettings() {
        static const int32_t waits[] = {0, 1, 10, 100, 3000, -5};
        static const int32_t tries[] = {0, 1, 2, 3, 5, -1};
        static const int32_t rests[] = {0, 50, 1000, 60000, -1};
        FSettings.WaitTimeout = FIn.Below(8) != 0 ? FIn.Pick(waits) : static_cast<int32_t>(FIn.Dword());
        FSettings.CountTry = FIn.Pick(tries);
        FSettings.TimeNextSend = FIn.Below(8) != 0 ? FIn.Pick(rests) : static_cast<int32_t>(FIn.Dword());
        FLedger.AllowTries(FSettings.CountTry);
    }

    void HostFaults() {
        const uint8_t port = static_cast<uint8_t>(FIn.Below(kPorts));
        switch (FIn.Below(8)) {
        case 0: FPort.blockedCalls[port] = FIn.Below(64); break;
        case 1: FPort.failingWrites[port] = FIn.Below(4); break;
        case 2: FPort.throwOnCanTransmit = FIn.Flag(); break;
        case 3: FPort.throwOnWrite = FIn.Flag(); break;
        case 4: FPort.throwOnTransferDone = FIn.Flag(); break;
        case 5:
            FServer.throwOnLog = FIn.Flag();
            FServer.throwOnIdle = FIn.Flag();
            break;
        case 6:
            FSink.throwAfter = FIn.Flag();
            FAutoAnswer = FIn.Flag();
            break;
        default:
            // The heap runs out a few allocations into what comes next. A frame whose
            // answer could not be judged for it is written again, beyond the tries.
            FailAllocationAfter(FIn.Below(48));
            FLedger.AllowTries(1 << 20);
            break;
        }
    }

    void Reentry() {
        const uint32_t n = FIn.Below(3);
        switch (FIn.Below(4)) {
        case 0: FReenterOnIdle = n; break;
        case 1: FReenterOnTransfer = n; break;
        case 2: FReenterOnWrite = n; break;
        default: FReenterOnEnd = n; break;
        }
    }

    // Runs a few more steps of the script from inside a call of the engine.
    void Reenter(uint32_t steps) {
        if (steps == 0 || FDepth >= kMaxDepth) return;
        ++FDepth;
        for (uint32_t i = 0; i < steps && !FIn.Done(); ++i) Step();
        --FDepth;
    }

    // What one input exercised, for judging a corpus (TERVEX_FUZZ_STATS=1).
    void PrintStats() const {
        const TaskLedger::Counts& c = FLedger.Totals();
        std::string results;
        for (const auto& [result, n] : c.byResult) results += " " + std::to_string(result) + ":" + std::to_string(n);
        std::printf("queued %llu finished %llu dropped %llu values %llu writes %llu failed %llu |%s\n",
                    static_cast<unsigned long long>(c.queued), static_cast<unsigned long long>(c.finished),
                    static_cast<unsigned long long>(c.dropped), static_cast<unsigned long long>(c.values),
                    static_cast<unsigned long long>(FPort.writes), static_cast<unsigned long long>(FPort.failedWrites),
                    results.c_str());
    }

    // Only a port's head may have left the queued state. A port holds characters only
    // while its head awaits an ASCII answer: at most 30, none of them the carriage return
    // that would have ended the answer, and with their gap being timed.
    void CheckPorts() {
        for (const PortPtr& p : FEngine->Ports().Ports()) {
            const std::vector<RequestPtr> items = p->Queue.Items();
            for (size_t i = 0; i < items.size(); ++i) {
                if (items[i]->State == kRequestJudging) Broken("a request left in judging");
                if (i > 0 && items[i]->State != kRequestQueued) Broken("a request in flight behind the head");
            }
            const AsciiAssembler& rx = p->Assembler;
            if (rx.Count() == 0) continue;
            if (rx.Count() < 0 || rx.Count() > AsciiAssembler::kCapacity) Broken("a receive buffer beyond its capacity");
            if (items.empty() || items[0]->State != kRequestAwaiting || !FramingFor(items[0]->Protocol).GathersPieces()) {
                Broken("characters held on a port whose head awaits no ASCII answer");
            }
            if (std::memchr(rx.Held(), '\r', static_cast<size_t>(rx.Count())) != nullptr) {
                Broken("a finished answer left in its port's buffer");
            }
            if (!rx.GapWatchRunning()) Broken("an unfinished answer whose receive gap is not timed");
        }
    }

    ByteReader& FIn;
    ManualEngineClock FClock;
    ScopedPort FPort{Broken};
    ScopedServer FServer;
    TaskLedger FLedger{Broken};
    FailingSink FSink{FLedger};
    DriverSettings FSettings;
    std::unique_ptr<GuardedEngine> FEngine;

    int FDepth = 0;
    int FPollDepth = 0;
    uint32_t FSleepsInPoll = 0;
    bool FAutoAnswer = false;
    uint32_t FReenterOnIdle = 0, FReenterOnTransfer = 0, FReenterOnWrite = 0, FReenterOnEnd = 0;
};

}  // namespace
}  // namespace tervex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tervex::fuzz::HarnessScope own;
    tervex::fuzz::FailAllocationAfter(0);
    tervex::fuzz::ByteReader in(data, size);
    tervex::fuzz::World world(in);
    world.Run();
    return 0;
}
