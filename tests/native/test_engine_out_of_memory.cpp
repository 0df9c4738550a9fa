// The heap running out in the middle of an engine call: whichever allocation fails,
// every task still ends exactly once, and a task that is left waiting still ends by
// completion once memory is back, instead of hanging on a frame that was dropped.
#include <gtest/gtest.h>

#include <functional>

#include "fake_controllers.h"
#include "fuzz/AllocationFaults.h"
#include "protocol_rig.h"

using namespace tervex;
using namespace rig;
using tervex::fuzz::FailAllocationAfter;
using tervex::fuzz::FailedAllocations;
using tervex::fuzz::HarnessScope;

namespace {

// The rig's fakes, with their own bookkeeping kept out of the failures.
class ScopedPort : public FakePort {
public:
    bool CanTransmit(uint8_t port) override {
        HarnessScope own;
        return FakePort::CanTransmit(port);
    }
    uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) override {
        HarnessScope own;
        return FakePort::WritePort(port, data, count);
    }
    void TransferDone(uint8_t port) override {
        HarnessScope own;
        FakePort::TransferDone(port);
    }
};

class ScopedServer : public FakeServer {
public:
    void WriteLog(const std::string& line) override {
        HarnessScope own;
        FakeServer::WriteLog(line);
    }
    void Idle() override {
        HarnessScope own;
        FakeServer::Idle();
    }
};

class ScopedSink : public RecordingSink {
public:
    void TaskFinished(void* context, const Completion& c) override {
        HarnessScope own;
        RecordingSink::TaskFinished(context, c);
    }
    void ItemStateStamped(void* context, uint16_t quality, const Timestamp* ts) override {
        HarnessScope own;
        RecordingSink::ItemStateStamped(context, quality, ts);
    }
    void TaskDropped(void* context) override {
        HarnessScope own;
        RecordingSink::TaskDropped(context);
    }
};

// Makes the n-th allocation of the call fail; the test's own code is never hit.
class Starved {
public:
    explicit Starved(uint32_t n) { FailAllocationAfter(n); }
    ~Starved() { FailAllocationAfter(0); }
};

const int kReadKey = 1;

struct World {
    FakeClock clock;
    ScopedPort port;
    ScopedServer server;
    ScopedSink sink;
    DriverSettings settings;
    FakeLines lines;
    PollEngine engine{clock, port, server, sink, settings};
    int tasks = 0;

    World() {
        lines.ports[0][1] = FakeController(1, false, 11);
        lines.ports[1][2] = FakeController(2, true, 12);
        port.onWrite = [this](uint8_t p, const Bytes& frame) { lines.OnWrite(p, frame); };
        server.onIdle = [this] { lines.Deliver(engine); };  // answers during a synchronous wait
    }

    void Queue(TaskKind kind, uint8_t portNo, int device, const char* protocol, const ItemParams& item,
               const void* key = nullptr) {
        EngineTask t;
        t.kind = kind;
        t.node = MakeNode(Node{portNo, device, protocol, "", "", ""});
        t.item = item;
        t.write.bytes = {0x12, 0x34, 0x56, 0x78, 0, 0, 0, 0};
        t.itemKey = key;
        t.context = reinterpret_cast<void*>(static_cast<intptr_t>(++tasks));
        engine.QueueTask(std::move(t));
    }

    // Reads sharing a frame, a text read, writes, in RTU on one port and ASCII on another,
    // and with sync, a synchronous read each.
    void QueueMix(bool sync = true) {
        for (uint8_t p = 0; p < 2; ++p) {
            const int device = p + 1;
            const char* protocol = p == 0 ? "RTU" : "ASCII";
            Queue(TaskKind::AsyncRead, p, device, protocol, MakeItem(kRam, 0, 17), &kReadKey);
            Queue(TaskKind::AsyncRead, p, device, protocol, MakeItem(kRam, 2, 18), &kReadKey);
            Queue(TaskKind::AsyncRead, p, device, protocol, MakeItem("EEPROM", 0x120, 8));
            Queue(TaskKind::AsyncWrite, p, device, protocol, MakeItem(kRam, 9, 18));
            Queue(sync ? TaskKind::SyncRead : TaskKind::AsyncRead, p, device, protocol, MakeItem("FRAM", 0x10, 0x2011));
        }
    }

    // Answers, time passing and ticks until nothing is left open (or a bound).
    void Drive() {
        for (int round = 0; round < 40 && engine.ActiveTaskCount() + engine.NewTaskCount() > 0; ++round) {
            engine.Poll(0);
            lines.Deliver(engine);
            clock.Advance(static_cast<uint64_t>(settings.WaitTimeout));
            engine.TimerTick();
        }
    }

    void ExpectEachEndedOnce() {
        for (int id = 1; id <= tasks; ++id) {
            EXPECT_EQ(sink.endings[id].times, 1) << "task " << id;
        }
    }
    void ExpectAllFinished() {
        EXPECT_EQ(engine.ActiveTaskCount(), 0u);
        EXPECT_EQ(engine.NewTaskCount(), 0u);
        for (int id = 1; id <= tasks; ++id) {
            EXPECT_TRUE(sink.endings[id].finished) << "task " << id << " never completed";
        }
    }
};

// Runs one call with the n-th allocation failing, for every n up to the first that the
// call gets through without reaching.
void ForEveryAllocation(const std::function<void(World&, uint32_t)>& body) {
    for (uint32_t n = 1; n < 400; ++n) {
        SCOPED_TRACE(n);
        const uint64_t failedBefore = FailedAllocations();
        World world;
        body(world, n);
        if (FailedAllocations() == failedBefore) {
            EXPECT_GT(n, 1u) << "the calls allocate: a failure must have been met";
            return;  // the calls need fewer than n
        }
        if (::testing::Test::HasFailure()) return;
    }
    ADD_FAILURE() << "a call with this many allocations was not expected";
}

TEST(OutOfMemory, PollFailsWhatItCannotServeAndLosesNothing) {
    ForEveryAllocation([](World& w, uint32_t n) {
        w.QueueMix();
        w.settings.WaitTimeout = 100;
        {
            Starved starved(n);
            w.engine.Poll(0);
        }
        w.Drive();
        w.ExpectAllFinished();
        w.engine.ClearAll();
        w.ExpectEachEndedOnce();
    });
}

TEST(OutOfMemory, AnswersThatCannotBeJudgedLeaveNoTaskHanging) {
    ForEveryAllocation([](World& w, uint32_t n) {
        w.QueueMix(false);
        w.settings.WaitTimeout = 100;
        w.engine.Poll(0);
        ASSERT_EQ(w.lines.pending.size(), 2u) << "the first frame of each port is answered";
        {
            Starved starved(n);
            w.lines.Deliver(w.engine);
        }
        w.Drive();
        w.ExpectAllFinished();
        w.engine.ClearAll();
        w.ExpectEachEndedOnce();
    });
}

TEST(OutOfMemory, RemovalAndClearingNeverLoseATask) {
    ForEveryAllocation([](World& w, uint32_t n) {
        w.QueueMix(false);
        w.engine.Poll(0);
        w.QueueMix(false);  // some new, some active
        {
            Starved starved(n);
            w.engine.RemoveItemTasks(&kReadKey);
            w.engine.ClearAll();
        }
        EXPECT_EQ(w.engine.ActiveTaskCount() + w.engine.NewTaskCount(), 0u) << "ClearAll needs no memory";
        w.ExpectEachEndedOnce();
    });
}

}  // namespace
