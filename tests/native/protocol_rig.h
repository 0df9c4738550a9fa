#pragma once
// Fakes for driving the poll engine deterministically: a clock that only moves when told
// (sleeping moves it), a scripted host port, a host server that records log lines, and
// a sink that records how every task ended.
#include <cstdint>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "config/DriverSettings.h"
#include "protocol/EngineHost.h"
#include "protocol/PollEngine.h"

namespace rig {

using Bytes = std::vector<uint8_t>;

// CRC-16/MODBUS, table-driven: an implementation independent of the one under test.
inline uint16_t ReferenceCrc(const Bytes& data) {
    static const auto table = [] {
        std::vector<uint16_t> t(256);
        for (int i = 0; i < 256; ++i) {
            uint16_t c = static_cast<uint16_t>(i);
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
            }
            t[i] = c;
        }
        return t;
    }();
    uint16_t crc = 0xFFFF;
    for (uint8_t b : data) {
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ b) & 0xFF]);
    }
    return crc;
}

inline Bytes WithCrc(Bytes data) {
    const uint16_t crc = ReferenceCrc(data);
    data.push_back(static_cast<uint8_t>(crc & 0xFF));
    data.push_back(static_cast<uint8_t>(crc >> 8));
    return data;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline std::string Hex(const Bytes& data) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (uint8_t b : data) {
        s += digits[b >> 4];
        s += digits[b & 15];
        s += ' ';
    }
    return s;
}

class FakeClock : public tervex::IEngineClock {
public:
    static constexpr double kStartDate = 45500.25;  // a local date-time
    uint64_t monoMs = 5'000'000;                    // an arbitrary monotonic start
    bool terminated = false;
    int sleeps = 0;
    std::function<void()> onSleep;

    double LocalNow() override { return kStartDate + static_cast<double>(monoMs - 5'000'000) / 86400000.0; }
    uint64_t MonotonicMs() override { return monoMs; }
    void SleepMs(uint32_t ms) override {
        ++sleeps;
        monoMs += ms;
        if (onSleep) onSleep();
    }
    bool Terminated() override { return terminated; }
    void Advance(uint64_t ms) { monoMs += ms; }
    double LocalAt(uint64_t mono) const { return kStartDate + static_cast<double>(mono - 5'000'000) / 86400000.0; }
};

class FakePort : public tervex::IHostPort {
public:
    struct Write {
        uint8_t port;
        Bytes data;
    };
    std::vector<Write> writes;
    std::map<uint8_t, bool> blocked;  // ports whose CanTransmit answers false
    uint8_t writeResult = 0;
    int canTransmitCalls = 0;
    std::vector<uint8_t> transfersDone;
    std::function<void(uint8_t, const Bytes&)> onWrite;
    std::function<void(uint8_t)> onCanTransmit;

    bool CanTransmit(uint8_t port) override {
        ++canTransmitCalls;
        if (onCanTransmit) onCanTransmit(port);
        return !blocked[port];
    }
    uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) override {
        writes.push_back({port, Bytes(data, data + count)});
        if (onWrite) onWrite(port, writes.back().data);
        return writeResult;
    }
    void TransferDone(uint8_t port) override { transfersDone.push_back(port); }
};

class FakeServer : public tervex::IHostServer {
public:
    std::vector<std::string> log;
    int idles = 0;
    std::function<void()> onIdle;

    void WriteLog(const std::string& line) override { log.push_back(line); }
    void Idle() override {
        ++idles;
        if (onIdle) onIdle();
    }
    int Count(const std::string& line) const {
        int n = 0;
        for (const auto& l : log) n += l == line ? 1 : 0;
        return n;
    }
    int CountContaining(const std::string& part) const {
        int n = 0;
        for (const auto& l : log) n += l.find(part) != std::string::npos ? 1 : 0;
        return n;
    }
};

struct Ending {
    bool finished = false;
    bool dropped = false;
    int times = 0;  // how many times the task ended; must be 1
    tervex::Completion completion;
    std::optional<tervex::TValue> value;
    Bytes valueBytes;
    int order = 0;  // position among all endings
};

class RecordingSink : public tervex::ICompletionSink {
public:
    std::map<int, Ending> endings;  // by task id
    struct StampRecord {
        int id;
        uint16_t quality;
        bool withTimestamp;
    };
    std::vector<StampRecord> stamps;
    int endCount = 0;
    std::function<void(int)> onFinish;

    static int Id(void* context) { return static_cast<int>(reinterpret_cast<intptr_t>(context)); }

    void TaskFinished(void* context, const tervex::Completion& c) override {
        Ending& e = endings[Id(context)];
        e.finished = true;
        ++e.times;
        e.completion = c;
        if (c.value) e.value = *c.value;
        if (c.valueBytes) e.valueBytes.assign(c.valueBytes, c.valueBytes + c.valueByteCount);
        EXPECT_NE(c.node, nullptr);
        e.completion.value = nullptr;
        e.completion.valueBytes = nullptr;
        e.completion.node = nullptr;
        e.order = ++endCount;
        if (onFinish) onFinish(Id(context));
    }
    void ItemStateStamped(void* context, uint16_t quality, const tervex::Timestamp* ts) override {
        stamps.push_back({Id(context), quality, ts != nullptr});
    }
    void TaskDropped(void* context) override {
        Ending& e = endings[Id(context)];
        e.dropped = true;
        ++e.times;
        e.order = ++endCount;
    }
    const Ending& Of(int id) { return endings[id]; }
    bool Ended(int id) const { return endings.count(id) != 0; }
};

// Task builders.
struct Node {
    std::optional<int64_t> port = 0;
    int64_t device = 1;
    std::string protocol = "RTU";
    std::string readPassword;
    std::string writePassword;
    std::string byteOrder;
};

inline tervex::NodeParams MakeNode(const Node& n) {
    tervex::NodeParams p;
    p.comPort = n.port;
    p.deviceAddress = n.device;
    p.protocol = n.protocol;
    p.readPassword = n.readPassword;
    p.writePassword = n.writePassword;
    p.byteOrder = n.byteOrder;
    return p;
}

inline tervex::ItemParams MakeItem(const std::string& area, int64_t address, int type = 17, int64_t bit = 0) {
    tervex::ItemParams p;
    p.memoryArea = area;
    p.address = address;
    p.typeCode = type;
    p.bitNumber = bit;
    return p;
}

const std::string kRam = "ОЗУ";
const std::string kLsbFirst = "Младшим байтом вперед";

// One engine with its fakes.
class Rig {
public:
    FakeClock clock;
    FakePort port;
    FakeServer server;
    RecordingSink sink;
    tervex::DriverSettings settings;
    tervex::PollEngine engine{clock, port, server, sink, settings};
    int nextId = 1;

    int Queue(tervex::TaskKind kind, const Node& node, const tervex::ItemParams& item,
              const tervex::WritePayload& write = {}, const void* itemKey = nullptr) {
        tervex::EngineTask t;
        t.kind = kind;
        t.node = MakeNode(node);
        t.item = item;
        t.write = write;
        const int id = nextId++;
        t.itemKey = itemKey;
        t.context = reinterpret_cast<void*>(static_cast<intptr_t>(id));
        engine.QueueTask(std::move(t));
        return id;
    }
    int Read(const Node& node, const tervex::ItemParams& item, const void* key = nullptr) {
        return Queue(tervex::TaskKind::AsyncRead, node, item, {}, key);
    }
    int Write(const Node& node, const tervex::ItemParams& item, const Bytes& bytes, const void* key = nullptr) {
        tervex::WritePayload w;
        for (size_t i = 0; i < bytes.size() && i < 8; ++i) w.bytes[i] = bytes[i];
        return Queue(tervex::TaskKind::AsyncWrite, node, item, w, key);
    }
    void Answer(uint8_t portNo, const Bytes& data) {
        engine.DataReceived(portNo, data.data(), static_cast<int32_t>(data.size()));
    }
    void Silence(uint8_t portNo) { engine.DataReceived(portNo, nullptr, 0); }
    // Lets the wait of the head run out and the next transmit step notice it.
    void TimeOut() {
        clock.Advance(static_cast<uint64_t>(settings.WaitTimeout));
        engine.TimerTick();
    }
    std::vector<Bytes> Frames() const {
        std::vector<Bytes> f;
        for (const auto& w : port.writes) f.push_back(w.data);
        return f;
    }
    std::vector<std::string> TxLines() const {
        std::vector<std::string> lines;
        for (const auto& l : server.log)
            if (l.find(" Tx: ") != std::string::npos) lines.push_back(l);
        return lines;
    }
    tervex::PortPtr PortRecord(uint8_t portNo) const { return engine.Ports().Find(portNo); }
    tervex::RequestPtr Head(uint8_t portNo) const {
        auto p = PortRecord(portNo);
        return p ? p->Queue.Head() : nullptr;
    }
};

}  // namespace rig
