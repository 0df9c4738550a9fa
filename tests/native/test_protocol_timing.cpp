// Time in the poll cycle: waits, retries, the rest of a silent device, priorities, the
// receive gap of ASCII answers and the synchronous wait. The clock only moves when told.
#include <gtest/gtest.h>

#include "protocol_rig.h"

using namespace tervex;
using namespace rig;

namespace {

const Bytes kReadAt5 = {0x01, 0xD0, 0x05, 0xBD, 0xC3};
const Bytes kAnswer = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};
const Bytes kBadCrc = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2C};
const std::string kOffline = "COM1 Адрес 1: устройство не доступно";

class Timing : public ::testing::Test {
protected:
    Rig r;
};

}  // namespace

TEST_F(Timing, WaitRunsOutOnlyAtWaitTimeout) {
    const int id = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.clock.Advance(2999);
    r.engine.TimerTick();
    EXPECT_EQ(r.port.writes.size(), 1u);
    EXPECT_EQ(r.Head(0)->State, kRequestAwaiting);
    r.clock.Advance(1);
    r.engine.TimerTick();  // noticed: written again in the next step
    EXPECT_EQ(r.PortRecord(0)->Devices[0].LastResult, 0);
    EXPECT_EQ(r.Head(0)->State, kRequestQueued);
    EXPECT_EQ(r.Head(0)->Tries, 1u);
    EXPECT_EQ(r.port.transfersDone.size(), 1u);
    r.engine.SendNext();
    EXPECT_EQ(r.port.writes.size(), 2u);
    r.Answer(0, kAnswer);
    const Ending& e = r.sink.Of(id);
    EXPECT_EQ(e.completion.result, kResultOk);
    EXPECT_TRUE(e.completion.transfer.answered);
    EXPECT_EQ(e.completion.transfer.tries, 1u);  // writes less the answered one
}

TEST_F(Timing, SilentDeviceCostsThreeWritesThenRests) {
    const int id = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    uint64_t lastWrite = r.clock.monoMs;
    for (int i = 0; i < 2; ++i) {
        r.TimeOut();
        r.engine.SendNext();
        lastWrite = r.clock.monoMs;
    }
    EXPECT_EQ(r.TxLines(), std::vector<std::string>(3, "COM1 Tx: 01 D0 05 BD C3 "));
    EXPECT_FALSE(r.sink.Ended(id));
    r.TimeOut();
    const Ending& e = r.sink.Of(id);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.completion.result, kResultNoAnswer);
    EXPECT_EQ(e.completion.quality, kQualityNoAnswer);
    ASSERT_FALSE(e.completion.timestamp.now);
    EXPECT_DOUBLE_EQ(e.completion.timestamp.localDateTime, r.clock.LocalAt(lastWrite) + 3000 / 86400000.0);
    EXPECT_TRUE(e.completion.reportTransfer);
    EXPECT_FALSE(e.completion.transfer.answered);
    EXPECT_EQ(e.completion.transfer.tries, 3u);
    EXPECT_EQ(r.server.Count(kOffline), 1);
    const TDeviceStatus& d = r.PortRecord(0)->Devices[0];
    EXPECT_EQ(d.Online, 0);
    EXPECT_EQ(d.LastResult, 2);

    // Within the rest: failed in the same step, without Tx or offline line.
    r.clock.Advance(40000);
    const size_t logged = r.server.log.size();
    const int rested = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    const Ending& f = r.sink.Of(rested);
    ASSERT_TRUE(f.finished);
    EXPECT_EQ(f.completion.result, kResultNoAnswer);
    EXPECT_EQ(f.completion.quality, kQualityNoAnswer);
    EXPECT_DOUBLE_EQ(f.completion.timestamp.localDateTime, r.clock.LocalAt(lastWrite) + 3000 / 86400000.0);
    EXPECT_FALSE(f.completion.reportTransfer);
    EXPECT_EQ(r.server.log.size(), logged);
    EXPECT_EQ(r.port.writes.size(), 3u);
    EXPECT_EQ(r.port.transfersDone.size(), 4u);

    // After the rest: one write; an offline device gets one try.
    r.clock.Advance(20000);  // 60 s after the last write
    const int after = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.port.writes.size(), 4u);
    r.TimeOut();
    EXPECT_EQ(r.sink.Of(after).completion.result, kResultNoAnswer);
    EXPECT_EQ(r.server.Count(kOffline), 2);
    EXPECT_EQ(r.port.writes.size(), 4u);
}

TEST_F(Timing, AnswerAfterTheRestBringsTheDeviceBack) {
    r.settings.CountTry = 1;
    r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.TimeOut();
    r.clock.Advance(60000);
    const int id = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
    EXPECT_EQ(r.PortRecord(0)->Devices[0].Online, 1);
    // Online again: a silence is retried.
    r.settings.CountTry = 2;
    const int next = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.TimeOut();
    r.engine.SendNext();
    EXPECT_EQ(r.port.writes.size(), 4u);
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.sink.Of(next).completion.result, kResultOk);
}

TEST_F(Timing, CrcErrorsAreRetriedThenReported) {
    const int id = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    for (int i = 0; i < 2; ++i) {
        r.Answer(0, kBadCrc);
        EXPECT_FALSE(r.sink.Ended(id));
        r.engine.SendNext();
    }
    EXPECT_EQ(r.port.writes.size(), 3u);
    r.Answer(0, kBadCrc);
    const Ending& e = r.sink.Of(id);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.completion.result, kResultCrcError);
    EXPECT_EQ(e.completion.quality, kQualityCrcError);
    EXPECT_FALSE(e.completion.timestamp.now);  // stamped with the end of the wait
    EXPECT_TRUE(e.completion.transfer.answered);
    EXPECT_EQ(e.completion.transfer.tries, 2u);
    EXPECT_EQ(r.server.Count(kOffline), 1);
    // A CRC error is no silence: the device does not rest, the next request goes out.
    const int next = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.port.writes.size(), 4u);
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.sink.Of(next).completion.result, kResultOk);
}

TEST_F(Timing, OfflineLineOncePerFailedRequestNotPerTask) {
    for (int a = 0; a < 8; ++a) r.Read(Node{}, MakeItem(kRam, a));
    r.engine.Poll(0);
    for (int i = 0; i < 3; ++i) {
        r.TimeOut();
        r.engine.SendNext();
    }
    EXPECT_EQ(r.server.Count(kOffline), 1);
    for (int id = 1; id <= 8; ++id) {
        EXPECT_EQ(r.sink.Of(id).completion.result, kResultNoAnswer);
        EXPECT_EQ(r.sink.Of(id).completion.transfer.first, id == 1);
    }
}

TEST_F(Timing, WritePortFailureIsLoggedAndWaitsLikeSilence) {
    r.port.writeResult = 1;
    r.settings.CountTry = 1;
    const int id = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.server.log, std::vector<std::string>{"COM1: Ошибка при записи в порт"});
    EXPECT_EQ(r.PortRecord(0)->Devices[0].LastResult, 3);
    r.clock.Advance(2999);
    r.engine.TimerTick();
    EXPECT_FALSE(r.sink.Ended(id));
    r.clock.Advance(1);
    r.engine.TimerTick();
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultNoAnswer);
    EXPECT_EQ(r.server.Count(kOffline), 1);
}

TEST_F(Timing, BlockedPortKeepsItsHeadUntouched) {
    r.port.blocked[0] = true;
    const int id = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    for (int i = 0; i < 50; ++i) {
        r.clock.Advance(10000);
        r.engine.TimerTick();
        r.engine.SendNext();
    }
    ASSERT_NE(r.Head(0), nullptr);
    EXPECT_EQ(r.Head(0)->State, kRequestQueued);
    EXPECT_EQ(r.Head(0)->Tries, 0u);
    EXPECT_FALSE(r.sink.Ended(id));
    EXPECT_TRUE(r.port.writes.empty());
    r.port.blocked[0] = false;
    r.engine.SendNext();
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
}

TEST_F(Timing, HigherPriorityGoesAheadOfWaitingRequestsButNotTheOneInFlight) {
    r.Read(Node{}, MakeItem(kRam, 0x10));
    r.Read(Node{}, MakeItem(kRam, 0x20));
    r.engine.Poll(1);
    Node two;
    two.device = 2;
    r.Read(two, MakeItem(kRam, 0x30));
    r.engine.Poll(0x105);  // the low byte counts: 5
    std::vector<Bytes> order;
    for (const auto& q : r.PortRecord(0)->Queue.Items()) order.push_back(q->Data);
    EXPECT_EQ(order, (std::vector<Bytes>{WithCrc({0x01, 0xD0, 0x10}), WithCrc({0x02, 0xD0, 0x30}),
                                          WithCrc({0x01, 0xD0, 0x20})}));
    EXPECT_EQ(r.PortRecord(0)->Queue.Items()[1]->Priority, 5);
    EXPECT_EQ(r.port.writes.size(), 1u);
    r.Answer(0, WithCrc({0x01, 1, 2, 3, 4, 5, 6, 7, 8}));
    r.engine.SendNext();
    EXPECT_EQ(r.Frames().back(), WithCrc({0x02, 0xD0, 0x30}));
}

TEST_F(Timing, RetriedHeadIsOvertakenOnlyByLaterHigherPriority) {
    r.Read(Node{}, MakeItem(kRam, 0x10));
    r.engine.Poll(1);
    r.Read(Node{}, MakeItem(kRam, 0x20));
    r.engine.Poll(1);
    r.TimeOut();  // head back in state 1 for another try
    r.Read(Node{}, MakeItem(kRam, 0x30));
    r.engine.Poll(2);  // sends the new head at once
    EXPECT_EQ(r.Frames().back(), WithCrc({0x01, 0xD0, 0x30}));
    r.Answer(0, WithCrc({0x01, 1, 2, 3, 4, 5, 6, 7, 8}));
    r.engine.SendNext();
    EXPECT_EQ(r.Frames().back(), WithCrc({0x01, 0xD0, 0x10}));
}

TEST_F(Timing, ReceiveGapTreatsTheGatheringPortAsSilentOnce) {
    Node node;
    node.protocol = "ASCII";
    node.port = 2;
    const int id = r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.engine.TimerTick();  // watch stopped: only the transmit step
    r.Answer(2, Text("!0111"));
    r.clock.Advance(999);
    r.engine.TimerTick();
    EXPECT_EQ(r.Head(2)->State, kRequestAwaiting);
    EXPECT_TRUE(r.port.transfersDone.empty());
    r.clock.Advance(1);
    r.engine.TimerTick();
    EXPECT_EQ(r.port.transfersDone, std::vector<uint8_t>{2});
    EXPECT_FALSE(r.PortRecord(2)->Assembler.GapWatchRunning());
    EXPECT_EQ(r.Head(2)->State, kRequestQueued);  // retried as after a silence
    r.clock.Advance(5000);
    r.engine.TimerTick();  // the write of the retry, and no second gap
    EXPECT_EQ(r.port.writes.size(), 2u);
    EXPECT_EQ(r.port.transfersDone.size(), 1u);
    r.Answer(2, Text("!011122334455667788\r"));
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
}

TEST_F(Timing, CompletedAsciiAnswerLeavesNoGapBehind) {
    Node node;
    node.protocol = "ASCII";
    r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, Text("!01112233"));
    r.Answer(0, Text("4455667788\r"));
    const int next = r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.clock.Advance(1500);
    r.engine.TimerTick();  // the newer request in flight is not taken for silent
    EXPECT_FALSE(r.sink.Ended(next));
    EXPECT_EQ(r.Head(0)->State, kRequestAwaiting);
    EXPECT_EQ(r.port.transfersDone.size(), 1u);
}

TEST_F(Timing, SynchronousPollWaitsForItsTasks) {
    const int id = r.Queue(TaskKind::SyncRead, Node{}, MakeItem(kRam, 5));
    int idleAtAnswer = 3;
    r.server.onIdle = [&] {
        if (r.server.idles == idleAtAnswer) r.Answer(0, kAnswer);
    };
    r.engine.Poll(0);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
    EXPECT_EQ(r.server.idles, idleAtAnswer);
    EXPECT_EQ(r.clock.sleeps, idleAtAnswer);
    EXPECT_EQ(r.engine.ActiveSyncTaskCount(), 0u);
}

TEST_F(Timing, SynchronousPollOfASilentDeviceEndsByTimeOut) {
    const int id = r.Queue(TaskKind::SyncWrite, Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultNoAnswer);
    EXPECT_EQ(r.port.writes.size(), 3u);
    EXPECT_EQ(r.server.Count(kOffline), 1);
    EXPECT_EQ(r.server.idles, r.clock.sleeps);
}

TEST_F(Timing, SynchronousWaitStopsWhenTheApplicationCloses) {
    r.Queue(TaskKind::SyncRead, Node{}, MakeItem(kRam, 5));
    r.clock.onSleep = [&] {
        if (r.clock.sleeps == 5) r.clock.terminated = true;
    };
    r.engine.Poll(0);
    EXPECT_EQ(r.clock.sleeps, 5);
    EXPECT_EQ(r.engine.ActiveSyncTaskCount(), 1u);
}

TEST_F(Timing, AsynchronousPollDoesNotWait) {
    r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.clock.sleeps, 0);
    EXPECT_EQ(r.server.idles, 0);
}

TEST_F(Timing, SettingsAreReadAtEveryDecision) {
    r.settings.WaitTimeout = 100;
    r.settings.CountTry = 1;
    r.settings.TimeNextSend = 500;
    const int id = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.clock.Advance(100);
    r.engine.TimerTick();
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultNoAnswer);
    r.clock.Advance(400);
    const int next = r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.port.writes.size(), 2u);  // 500 ms after the last write: rest is over
    EXPECT_FALSE(r.sink.Ended(next));
}
