// Node parameters shared by the tasks of a node, and task records used again: every task
// works with the parameters its node had when the task was queued, and a task's record,
// once used again, is never taken for the task that held it before.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "protocol_rig.h"

using namespace tervex;
using namespace rig;

namespace {

// The worked RTU answer of device 1 to a RAM read at address 5: bytes 5..12 are 11..88.
const Bytes kAnswerAt5 = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};

TValue UI1(int v) { return TValue::Number(TValue::Kind::UI1, v); }
TValue UI2(int v) { return TValue::Number(TValue::Kind::UI2, v); }

const int kKeys[4] = {};
const void* Key(int i) { return &kKeys[i]; }

// A sink that also records the byte order each finished task was handed, and lets a
// test act when a waiting task is stamped.
class NodeSink : public RecordingSink {
public:
    std::map<int, std::string> byteOrders;
    std::function<void(int)> onStamp;

    void TaskFinished(void* context, const Completion& c) override {
        if (c.node != nullptr) byteOrders[Id(context)] = c.node->byteOrder;
        RecordingSink::TaskFinished(context, c);
    }
    void ItemStateStamped(void* context, uint16_t quality, const Timestamp* ts) override {
        RecordingSink::ItemStateStamped(context, quality, ts);
        if (onStamp) onStamp(Id(context));
    }
};

class Nodes : public ::testing::Test {
protected:
    FakeClock clock;
    FakePort port;
    FakeServer server;
    NodeSink sink;
    DriverSettings settings;
    PollEngine engine{clock, port, server, sink, settings};
    int nextId = 1;

    int Read(const Node& node, const ItemParams& item, const void* key = nullptr) {
        EngineTask t;
        t.kind = TaskKind::AsyncRead;
        t.node = MakeNode(node);
        t.item = item;
        t.itemKey = key;
        const int id = nextId++;
        t.context = reinterpret_cast<void*>(static_cast<intptr_t>(id));
        engine.QueueTask(std::move(t));
        return id;
    }
    void Answer(uint8_t portNo, const Bytes& data) {
        engine.DataReceived(portNo, data.data(), static_cast<int32_t>(data.size()));
    }
    int StampsOf(int id) const {
        int n = 0;
        for (const auto& s : sink.stamps) n += s.id == id ? 1 : 0;
        return n;
    }
};

}  // namespace

TEST_F(Nodes, TasksSharingAFrameKeepTheirOwnNodesByteOrder) {
    Node lsb;
    lsb.byteOrder = kLsbFirst;
    Node msb;  // the same line and device, another byte order
    msb.byteOrder = "Старшим байтом вперед";
    const int a = Read(lsb, MakeItem(kRam, 5, 18));
    const int b = Read(msb, MakeItem(kRam, 7, 18));
    EXPECT_EQ(engine.NodeRecordCount(), 2u);
    engine.Poll(0);
    ASSERT_EQ(port.writes.size(), 1u) << "one read serves both";
    Answer(0, kAnswerAt5);
    EXPECT_EQ(sink.Of(a).value, UI2(0x2211));
    EXPECT_EQ(sink.Of(b).value, UI2(0x3344));
    EXPECT_EQ(sink.byteOrders[a], kLsbFirst);
    EXPECT_EQ(sink.byteOrders[b], "Старшим байтом вперед");
    EXPECT_EQ(engine.NodeRecordCount(), 0u) << "held only while a task refers to it";
}

TEST_F(Nodes, AChangedNodeAppliesToTasksQueuedAfterTheChange) {
    Node node;  // RTU
    const int before = Read(node, MakeItem(kRam, 5));
    engine.Poll(0);
    node.protocol = "ASCII";  // the node is edited while its first task waits
    const int after = Read(node, MakeItem(kRam, 0x10));
    engine.Poll(0);
    EXPECT_EQ(engine.NodeRecordCount(), 2u);

    Answer(0, kAnswerAt5);
    EXPECT_EQ(sink.Of(before).value, UI1(0x11));
    engine.SendNext();
    ASSERT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes[1].data, Text("$01D010\r"));
    Answer(0, Text("!010102030405060708\r"));
    EXPECT_EQ(sink.Of(after).completion.result, kResultOk);
    EXPECT_EQ(sink.Of(after).value, UI1(0x01));
    EXPECT_EQ(engine.NodeRecordCount(), 0u);
}

TEST_F(Nodes, EqualParametersShareOneRecordUntilTheirLastTaskGoes) {
    Node first;
    Node second;
    second.readPassword = "abc";  // differs in one text only
    for (int i = 0; i < 50; ++i) Read(first, MakeItem("EEPROM", 8 * i), Key(0));
    Read(second, MakeItem(kRam, 5), Key(1));
    EXPECT_EQ(engine.NodeRecordCount(), 2u);

    engine.RemoveItemTasks(Key(1));
    EXPECT_EQ(engine.NodeRecordCount(), 1u);
    engine.Poll(0);
    EXPECT_EQ(engine.NodeRecordCount(), 1u);
    engine.ClearAll();
    EXPECT_EQ(engine.NodeRecordCount(), 0u);
    for (int id = 1; id < nextId; ++id) EXPECT_EQ(sink.Of(id).times, 1) << "task " << id;
}

// The first completion drops a later task of the same frame and serves a new task at
// once; the new task may take the dropped one's record, but the frame being judged
// was never its own.
TEST_F(Nodes, ARecordUsedAgainIsNotTakenForItsFormerTask) {
    for (int i = 0; i < 3; ++i) Read(Node{}, MakeItem(kRam, 5 + i), Key(i));
    int fresh = 0;
    sink.onFinish = [&](int id) {
        if (id != 1) return;
        engine.RemoveItemTasks(Key(1));
        fresh = Read(Node{}, MakeItem(kRam, 6), Key(3));
        engine.Poll(0);
    };
    engine.Poll(0);
    Answer(0, kAnswerAt5);
    EXPECT_EQ(sink.Of(1).value, UI1(0x11));
    EXPECT_TRUE(sink.Of(2).dropped);
    EXPECT_EQ(sink.Of(3).value, UI1(0x33));
    ASSERT_NE(fresh, 0);
    EXPECT_FALSE(sink.Ended(fresh)) << "its own frame has not been answered";

    engine.SendNext();
    ASSERT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes[1].data, WithCrc({0x01, 0xD0, 0x06}));
    Answer(0, WithCrc({0x01, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}));
    EXPECT_EQ(sink.Of(fresh).value, UI1(0xA0));
    for (int id = 1; id < nextId; ++id) EXPECT_EQ(sink.Of(id).times, 1) << "task " << id;
    EXPECT_EQ(engine.ActiveTaskCount(), 0u);
}

// The host reacting to the stamp that a poll gives each served task: what it ends there
// is neither stamped afterwards nor ended twice.
TEST_F(Nodes, TasksEndedWhileAPollStampsItsBatchAreLeftAlone) {
    struct Row {
        const char* name;
        std::function<void(PollEngine&)> act;
        bool othersDropped;
    };
    const Row rows[] = {
        {"item removed", [](PollEngine& e) { e.RemoveItemTasks(Key(2)); }, false},
        {"everything cleared", [](PollEngine& e) { e.ClearAll(); }, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sink = NodeSink{};
        const int first = nextId;
        for (int i = 0; i < 4; ++i) Read(Node{}, MakeItem(kRam, 0x20 + 8 * i), Key(i));
        bool acted = false;
        sink.onStamp = [&](int) {
            if (!acted) {
                acted = true;
                row.act(engine);
            }
        };
        engine.Poll(0);
        EXPECT_EQ(StampsOf(first), 1);
        EXPECT_TRUE(sink.Of(first + 2).dropped);
        EXPECT_EQ(StampsOf(first + 2), 0);
        for (int k : {1, 3}) {
            EXPECT_EQ(StampsOf(first + k), row.othersDropped ? 0 : 1) << "task " << first + k;
        }
        engine.ClearAll();
        for (int id = first; id < nextId; ++id) EXPECT_EQ(sink.Of(id).times, 1) << "task " << id;
    }
}
