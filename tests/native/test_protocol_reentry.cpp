// The host calling back into the engine from within the engine's calls to it, and
// collaborators that throw: every task still ends exactly once.
#include <gtest/gtest.h>

#include <stdexcept>

#include "protocol_rig.h"

using namespace tervex;
using namespace rig;

namespace {

const Bytes kAnswer = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};
const int kKeys[4] = {};

const void* Key(int i) { return &kKeys[i]; }

Node OnPort(int64_t port) {
    Node n;
    n.port = port;
    return n;
}

// Answers whatever request awaits on a port, reads and writes alike.
void AnswerAwaiting(Rig& r, uint8_t port) {
    auto head = r.Head(port);
    if (head && head->State == kRequestAwaiting) {
        r.Answer(port, head->Command == 0xD0 ? kAnswer : WithCrc({0x01, head->Command}));
    }
}

class Reentry : public ::testing::Test {
protected:
    Rig r;
    void ExpectEachEndedOnce(int count) {
        for (int id = 1; id <= count; ++id) {
            EXPECT_EQ(r.sink.Of(id).times, 1) << "task " << id;
        }
    }
};

}  // namespace

TEST_F(Reentry, NestedSynchronousPollFromIdle) {
    const int outer = r.Queue(TaskKind::SyncRead, OnPort(0), MakeItem(kRam, 5));
    int inner = 0;
    r.server.onIdle = [&] {
        if (r.server.idles == 1) {
            inner = r.Queue(TaskKind::SyncWrite, OnPort(1), MakeItem(kRam, 5));
            r.engine.Poll(0);
            return;
        }
        AnswerAwaiting(r, 1);
        if (r.server.idles == 4) AnswerAwaiting(r, 0);
    };
    r.engine.Poll(0);
    EXPECT_EQ(r.sink.Of(outer).completion.result, kResultOk);
    EXPECT_EQ(r.sink.Of(inner).completion.result, kResultOk);
    EXPECT_EQ(r.engine.ActiveSyncTaskCount(), 0u);
    ExpectEachEndedOnce(2);
}

TEST_F(Reentry, CompletionRemovesALaterTaskOfTheSameAnswer) {
    for (int i = 0; i < 3; ++i) r.Read(Node{}, MakeItem(kRam, 5 + i), Key(i));
    r.sink.onFinish = [&](int id) {
        if (id == 1) {
            r.engine.RemoveItemTasks(Key(2));
            r.Answer(0, kAnswer);  // the request is being judged: unexpected
            r.engine.SendNext();
        }
    };
    r.engine.Poll(0);
    r.Answer(0, kAnswer);
    EXPECT_TRUE(r.sink.Of(1).finished);
    EXPECT_TRUE(r.sink.Of(2).finished);
    EXPECT_TRUE(r.sink.Of(3).dropped);
    ExpectEachEndedOnce(3);
    EXPECT_EQ(r.server.Count("Получены не ожидаемые данные"), 1);
    EXPECT_EQ(r.port.writes.size(), 1u);
    EXPECT_EQ(r.engine.ActiveTaskCount(), 0u);
    EXPECT_EQ(r.Head(0), nullptr);
}

TEST_F(Reentry, ClearAllFromACompletion) {
    for (int i = 0; i < 3; ++i) r.Read(Node{}, MakeItem(kRam, 5 + i));
    r.Read(OnPort(1), MakeItem(kRam, 5));
    r.sink.onFinish = [&](int id) {
        if (id == 1) r.engine.ClearAll();
    };
    r.engine.Poll(0);
    r.Answer(0, kAnswer);
    EXPECT_TRUE(r.sink.Of(1).finished);
    EXPECT_TRUE(r.sink.Of(2).dropped);
    EXPECT_TRUE(r.sink.Of(3).dropped);
    EXPECT_TRUE(r.sink.Of(4).dropped);
    ExpectEachEndedOnce(4);
    EXPECT_TRUE(r.engine.Ports().Ports().empty());
    r.engine.TimerTick();
    r.Answer(1, kAnswer);  // the cleared port's answer is nobody's
    EXPECT_EQ(r.server.log.back(), "Получены не ожидаемые данные");

    // Afresh: the port record is created again, its device online and without passwords.
    const int id = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    ASSERT_NE(r.PortRecord(0), nullptr);
    EXPECT_EQ(r.PortRecord(0)->Devices.size(), 1u);
    EXPECT_EQ(r.PortRecord(0)->Devices[0].Online, 1);
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
}

TEST_F(Reentry, PollFromACompletionQueuesBehindTheJudgedRequest) {
    r.Read(Node{}, MakeItem(kRam, 5));
    int later = 0;
    r.sink.onFinish = [&](int id) {
        if (id == 1) {
            later = r.Read(Node{}, MakeItem(kRam, 0x40));
            r.engine.Poll(9);
        }
    };
    r.engine.Poll(0);
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.port.writes.size(), 1u);
    r.engine.SendNext();
    EXPECT_EQ(r.Frames().back(), WithCrc({0x01, 0xD0, 0x40}));
    r.Answer(0, WithCrc({0x01, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(r.sink.Of(later).completion.result, kResultOk);
}

TEST_F(Reentry, AnswerDeliveredFromWithinWritePort) {
    r.port.onWrite = [&](uint8_t port, const Bytes&) { r.Answer(port, kAnswer); };
    const int id = r.Queue(TaskKind::SyncRead, Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
    EXPECT_EQ(r.sink.Of(id).completion.transfer.tries, 0u);
    EXPECT_EQ(r.clock.sleeps, 0);
    EXPECT_EQ(r.Head(0), nullptr);
    EXPECT_EQ(r.PortRecord(0)->Devices[0].LastResult, 0);
}

TEST_F(Reentry, TransmitStepFromWithinCanTransmitWritesOnce) {
    bool nested = false;
    r.port.onCanTransmit = [&](uint8_t) {
        if (!nested) {
            nested = true;
            r.engine.SendNext();
        }
    };
    r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.port.writes.size(), 1u);
    EXPECT_EQ(r.Head(0)->Tries, 1u);
}

namespace {

struct ThrowingSink : RecordingSink {
    void TaskFinished(void* context, const Completion& c) override {
        RecordingSink::TaskFinished(context, c);
        throw std::runtime_error("host failure");
    }
    void ItemStateStamped(void*, uint16_t, const Timestamp*) override { throw 1; }
    void TaskDropped(void* context) override {
        RecordingSink::TaskDropped(context);
        throw std::runtime_error("host failure");
    }
};

struct ThrowingServer : FakeServer {
    void WriteLog(const std::string& line) override {
        FakeServer::WriteLog(line);
        throw std::runtime_error("log failure");
    }
    void Idle() override {
        FakeServer::Idle();
        throw std::runtime_error("idle failure");
    }
};

struct ThrowingPort : FakePort {
    int failures = 0;
    bool CanTransmit(uint8_t port) override {
        if (failures++ == 0) throw std::runtime_error("port failure");
        return FakePort::CanTransmit(port);
    }
    uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) override {
        FakePort::WritePort(port, data, count);
        throw std::runtime_error("write failure");
    }
    void TransferDone(uint8_t) override { throw std::runtime_error("done failure"); }
};

}  // namespace

TEST(Containment, FailingCollaboratorsDoNotStopTheCycle) {
    FakeClock clock;
    ThrowingPort port;
    ThrowingServer server;
    ThrowingSink sink;
    DriverSettings settings;
    settings.CountTry = 1;
    PollEngine engine(clock, port, server, sink, settings);
    auto queue = [&](int id, TaskKind kind, const ItemParams& item) {
        EngineTask t;
        t.kind = kind;
        t.node = MakeNode(Node{});
        t.item = item;
        t.context = reinterpret_cast<void*>(static_cast<intptr_t>(id));
        engine.QueueTask(t);
    };
    queue(1, TaskKind::SyncRead, MakeItem(kRam, 5));
    queue(2, TaskKind::SyncRead, MakeItem(kRam, 6));
    queue(3, TaskKind::AsyncRead, MakeItem("none", 6));
    engine.Poll(0);  // the first CanTransmit throws: the next step sends; the write throws
    EXPECT_EQ(sink.Of(3).completion.result, kResultFail);
    // A failed write waits like any other; its time-out makes it a silence.
    EXPECT_EQ(sink.Of(1).completion.result, kResultNoAnswer);
    EXPECT_EQ(sink.Of(2).completion.result, kResultNoAnswer);
    EXPECT_EQ(sink.Of(1).times, 1);
    EXPECT_EQ(sink.Of(2).times, 1);
    EXPECT_EQ(engine.ActiveTaskCount(), 0u);
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(server.Count("COM1: Ошибка при записи в порт"), 1);

    clock.Advance(60000);  // past the rest
    queue(4, TaskKind::AsyncRead, MakeItem(kRam, 5));
    engine.Poll(0);
    EXPECT_EQ(port.writes.size(), 2u);
    engine.ClearAll();
    EXPECT_TRUE(sink.Of(4).dropped);
    EXPECT_EQ(sink.Of(4).times, 1);
}

TEST(Containment, EngineDestructionDropsWhatIsLeft) {
    FakeClock clock;
    FakePort port;
    FakeServer server;
    RecordingSink sink;
    DriverSettings settings;
    {
        PollEngine engine(clock, port, server, sink, settings);
        for (int i = 1; i <= 2; ++i) {
            EngineTask t;
            t.node = MakeNode(Node{});
            t.item = MakeItem(kRam, i * 20);
            t.context = reinterpret_cast<void*>(static_cast<intptr_t>(i));
            engine.QueueTask(t);
            if (i == 1) engine.Poll(0);
        }
    }
    EXPECT_TRUE(sink.Of(1).dropped);
    EXPECT_TRUE(sink.Of(2).dropped);
    EXPECT_EQ(sink.Of(2).order, 1);  // new tasks first, each list from its end
}

TEST_F(Reentry, RemoveItemTasksFromBothListsKeepsTheRest) {
    r.Read(Node{}, MakeItem(kRam, 5), Key(0));     // 1 active
    r.Read(Node{}, MakeItem(kRam, 0x30), Key(1));  // 2 active
    r.engine.Poll(0);
    r.Read(Node{}, MakeItem(kRam, 0x50), Key(0));  // 3 new
    r.Read(Node{}, MakeItem(kRam, 0x60), Key(1));  // 4 new
    r.engine.RemoveItemTasks(Key(3));  // no tasks: nothing changes
    EXPECT_EQ(r.engine.ActiveTaskCount() + r.engine.NewTaskCount(), 4u);
    r.engine.RemoveItemTasks(Key(0));
    EXPECT_TRUE(r.sink.Of(3).dropped);
    EXPECT_TRUE(r.sink.Of(1).dropped);
    EXPECT_LT(r.sink.Of(3).order, r.sink.Of(1).order);
    EXPECT_EQ(r.engine.ActiveTaskCount(), 1u);
    EXPECT_EQ(r.engine.NewTaskCount(), 1u);
    // The frame of the removed task was already in flight; its answer ends nothing.
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.sink.endCount, 2);
    r.engine.SendNext();
    r.Answer(0, WithCrc({0x01, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(r.sink.Of(2).completion.result, kResultOk);
    r.engine.Poll(0);
    r.Answer(0, WithCrc({0x01, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(r.sink.Of(4).completion.result, kResultOk);
    ExpectEachEndedOnce(4);
}

TEST_F(Reentry, ClearingNewTasksLeavesActiveOnesAndThePorts) {
    const int active = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    const int fresh = r.Read(Node{}, MakeItem(kRam, 0x40));
    r.engine.ClearNewTasks();
    EXPECT_TRUE(r.sink.Of(fresh).dropped);
    EXPECT_EQ(r.engine.NewTaskCount(), 0u);
    EXPECT_EQ(r.engine.ActiveTaskCount(), 1u);
    ASSERT_NE(r.Head(0), nullptr);
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.sink.Of(active).completion.result, kResultOk);
}
