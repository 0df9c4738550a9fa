// Password frames: when they go ahead of a data frame, what their answers do, and what
// makes a device ask for them again.
#include <gtest/gtest.h>

#include "protocol_rig.h"

using namespace tervex;
using namespace rig;

namespace {

const Bytes kAnswer = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};
const Bytes kReadAt5 = {0x01, 0xD0, 0x05, 0xBD, 0xC3};
const Bytes kReadPassword = WithCrc({0x01, 0xF0, 'a', 'b', 'c', 0, 0, 0});
const Bytes kWritePassword = WithCrc({0x01, 0xF1, 's', 'e', 'c', 'r', 'e', 't'});
const Bytes kPasswordAck = WithCrc({0x01, 0xF0});

Node WithPasswords(const std::string& read, const std::string& write) {
    Node n;
    n.readPassword = read;
    n.writePassword = write;
    return n;
}

class Passwords : public ::testing::Test {
protected:
    Rig r;
    const TDeviceStatus& Device() { return r.PortRecord(0)->Devices[0]; }
    int Flags() {
        const TDeviceStatus& d = Device();
        return d.ReadPasswordSent + d.ReadPasswordPending + d.WritePasswordSent + d.WritePasswordPending;
    }
    // One read answered in full; returns its task.
    int ReadAnswered(const Node& node) {
        const int id = r.Read(node, MakeItem(kRam, 5));
        r.engine.Poll(0);
        while (!r.sink.Ended(id) && r.Head(0)) {
            r.Answer(0, r.Head(0)->Command == 0xD0 ? kAnswer : kPasswordAck);
            r.engine.SendNext();
        }
        return id;
    }
};

}  // namespace

TEST_F(Passwords, ReadPasswordGoesFirstAndItsAnswerLeavesTheTaskWaiting) {
    const int id = r.Read(WithPasswords("abc", ""), MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.Frames(), std::vector<Bytes>{kReadPassword});
    EXPECT_EQ(r.server.log.back(), "COM1 Tx: " + Hex(kReadPassword));
    EXPECT_EQ(Device().ReadPasswordPending, 1);
    r.Answer(0, kPasswordAck);
    EXPECT_FALSE(r.sink.Ended(id));
    ASSERT_FALSE(r.sink.stamps.empty());
    EXPECT_EQ(r.sink.stamps.back().id, id);
    EXPECT_EQ(r.sink.stamps.back().quality, 0);
    EXPECT_TRUE(r.sink.stamps.back().withTimestamp);
    EXPECT_EQ(Device().ReadPasswordPending, 0);
    EXPECT_EQ(Device().ReadPasswordSent, 1);
    r.engine.SendNext();
    r.clock.Advance(40);
    r.engine.TimerTick();
    r.Answer(0, kAnswer);
    const Ending& e = r.sink.Of(id);
    EXPECT_EQ(e.completion.result, kResultOk);
    EXPECT_EQ(e.completion.transfer.tries, 0u);  // the data frame's own statistics
    EXPECT_TRUE(e.completion.transfer.first);
}

TEST_F(Passwords, ReadPasswordOncePerHundredSecondsOfAnswers) {
    ReadAnswered(WithPasswords("abc", ""));
    EXPECT_EQ(r.port.writes.size(), 2u);
    r.clock.Advance(60000);
    ReadAnswered(WithPasswords("abc", ""));
    EXPECT_EQ(r.Frames().back(), kReadAt5);
    EXPECT_EQ(r.port.writes.size(), 3u);
    const uint64_t lastAnswered = r.clock.monoMs;  // the write the last accepted answer answered
    r.clock.monoMs = lastAnswered + 100000;
    ReadAnswered(WithPasswords("abc", ""));
    EXPECT_EQ(r.port.writes.size(), 4u);  // exactly 100 s: still given
    r.clock.Advance(100001);
    ReadAnswered(WithPasswords("abc", ""));
    EXPECT_EQ(r.port.writes.size(), 6u);
    EXPECT_EQ(r.Frames()[4], kReadPassword);
}

TEST_F(Passwords, WritePasswordAlsoStandsForTheReadPassword) {
    const Node node = WithPasswords("abc", "secret");
    const int w = r.Write(node, MakeItem(kRam, 5), {0x07});
    r.engine.Poll(0);
    EXPECT_EQ(r.Frames(), std::vector<Bytes>{kWritePassword});
    EXPECT_EQ(Flags(), 4);
    r.Answer(0, WithCrc({0x01, 0xF1}));
    r.engine.SendNext();
    r.Answer(0, WithCrc({0x01, 0xE0}));
    EXPECT_EQ(r.sink.Of(w).completion.result, kResultOk);
    ReadAnswered(node);
    EXPECT_EQ(r.Frames().back(), kReadAt5);
    EXPECT_EQ(r.port.writes.size(), 3u);
    r.clock.Advance(100001);
    ReadAnswered(node);
    EXPECT_EQ(r.Frames()[3], kReadPassword);
}

TEST_F(Passwords, NoSecondPasswordFrameWhileOneIsPending) {
    const Node node = WithPasswords("abc", "");
    r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Read(node, MakeItem(kRam, 100));
    r.engine.Poll(0);
    auto queue = r.PortRecord(0)->Queue.Items();
    ASSERT_EQ(queue.size(), 3u);
    EXPECT_EQ(queue[0]->Command, 0xF0);
    EXPECT_EQ(queue[1]->Command, 0xD0);
    EXPECT_EQ(queue[2]->Command, 0xD0);
}

TEST_F(Passwords, GivenAgainAfterAFinalSilence) {
    const Node node = WithPasswords("abc", "");
    const int id = r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, kPasswordAck);
    r.engine.SendNext();
    for (int i = 0; i < 3; ++i) {
        r.TimeOut();
        r.engine.SendNext();
    }
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultNoAnswer);
    EXPECT_EQ(Flags(), 0);
    r.clock.Advance(60000);
    ReadAnswered(node);
    EXPECT_EQ(r.Frames()[4], kReadPassword);
}

TEST_F(Passwords, SilentPasswordFrameFailsItsTasksAndTheirDataFrameIsNotSent) {
    const int id = r.Queue(TaskKind::AsyncWrite, WithPasswords("", "secret"), MakeItem(kRam, 5));
    r.engine.Poll(0);
    for (int i = 0; i < 3; ++i) {
        r.TimeOut();
        r.engine.SendNext();
    }
    const Ending& e = r.sink.Of(id);
    EXPECT_EQ(e.completion.result, kResultNoAnswer);
    EXPECT_EQ(e.completion.quality, kQualityNoAnswer);
    EXPECT_EQ(r.Frames(), std::vector<Bytes>(3, kWritePassword));
    EXPECT_EQ(r.Head(0), nullptr);
    EXPECT_EQ(Flags(), 0);
}

TEST_F(Passwords, NoPasswordFrameForATaskWithoutDataFrame) {
    const Node node = WithPasswords("abc", "secret");
    const int flash = r.Write(node, MakeItem("FLASH", 5), {1});
    const int unknown = r.Read(node, MakeItem("ROM", 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.sink.Of(flash).completion.result, kResultFail);
    EXPECT_EQ(r.sink.Of(unknown).completion.result, kResultFail);
    EXPECT_TRUE(r.port.writes.empty());
    EXPECT_EQ(Flags(), 0);
}

TEST_F(Passwords, AsciiNodeSendsItsPasswordInBinary) {
    Node node = WithPasswords("abc", "");
    node.protocol = "ASCII";
    const int id = r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.Frames(), std::vector<Bytes>{kReadPassword});
    EXPECT_EQ(r.server.log.back(), "COM1 Tx: " + Hex(kReadPassword));
    r.Answer(0, kPasswordAck);
    EXPECT_EQ(r.server.log.back(), "COM1 Rx: " + Hex(kPasswordAck));
    r.engine.SendNext();
    EXPECT_EQ(r.Frames().back(), Text("$01D005\r"));
    r.Answer(0, Text("!011122334455667788\r"));
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
}

TEST_F(Passwords, AnswerWithFFAsSecondByteResetsThePasswords) {
    const Node node = WithPasswords("abc", "");
    const int id = ReadAnswered(node);
    EXPECT_EQ(Device().ReadPasswordSent, 1);
    const int next = r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, WithCrc({0x01, 0xFF, 2, 3, 4, 5, 6, 7, 8}));
    // Still a good read: its first data byte happens to be 0xFF.
    EXPECT_EQ(r.sink.Of(next).value, TValue::Number(TValue::Kind::UI1, 0xFF));
    EXPECT_EQ(Flags(), 0);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
    ReadAnswered(node);
    EXPECT_EQ(r.Frames()[3], kReadPassword);
}

TEST_F(Passwords, PasswordAnswerIsJudgedByItsCrcOnly) {
    const int id = r.Read(WithPasswords("abc", ""), MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, WithCrc({0x09, 0x42, 0x43}));  // any content
    EXPECT_FALSE(r.sink.Ended(id));
    EXPECT_EQ(Device().ReadPasswordPending, 0);
    r.engine.SendNext();
    EXPECT_EQ(r.Frames().back(), kReadAt5);
}
