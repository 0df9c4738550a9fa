// ASCII answers of two lines polled together, arriving in pieces that interleave: each
// port gathers, times its gap and overflows on its own.
#include <gtest/gtest.h>

#include "protocol_rig.h"

using namespace tervex;
using namespace rig;

namespace {

// Read answers of device 1 (port 0) and device 2 (port 1), each in three pieces.
const std::vector<std::string> kA = {"!011122", "33445566", "7788\r"};
const std::vector<std::string> kB = {"!02A1A2", "A3A4A5A6", "A7A8\r"};

TValue UI1(int v) { return TValue::Number(TValue::Kind::UI1, v); }

class AsciiPorts : public ::testing::Test {
protected:
    Rig r;
    int a = 0;
    int b = 0;

    void SetUp() override {
        Node nodeA;
        nodeA.protocol = "ASCII";
        Node nodeB = nodeA;
        nodeB.port = 1;
        nodeB.device = 2;
        a = r.Read(nodeA, MakeItem(kRam, 5));
        b = r.Read(nodeB, MakeItem(kRam, 5));
        r.engine.Poll(0);
        ASSERT_EQ(r.Frames(), (std::vector<Bytes>{Text("$01D005\r"), Text("$02D005\r")}));
    }
    void Piece(uint8_t port, const std::string& text) { r.Answer(port, Text(text)); }
    void ExpectRead(int id, int value) {
        ASSERT_TRUE(r.sink.Of(id).finished);
        EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
        EXPECT_EQ(r.sink.Of(id).value, UI1(value));
    }
};

}  // namespace

TEST_F(AsciiPorts, InterleavedPiecesCompleteBothAnswers) {
    for (size_t i = 0; i < kA.size(); ++i) {
        Piece(0, kA[i]);
        Piece(1, kB[i]);
    }
    ExpectRead(a, 0x11);
    ExpectRead(b, 0xA1);
    EXPECT_EQ(r.port.transfersDone, (std::vector<uint8_t>{0, 1}));
    EXPECT_EQ(r.port.writes.size(), 2u);  // nothing written again
}

TEST_F(AsciiPorts, SilenceOfOnePortLeavesTheOthersAnswer) {
    Piece(0, kA[0]);
    Piece(1, kB[0]);
    r.Silence(0);
    EXPECT_EQ(r.Head(0)->State, kRequestQueued);  // to be written again
    Piece(1, kB[1]);
    Piece(1, kB[2]);
    ExpectRead(b, 0xA1);
    r.engine.SendNext();
    Piece(0, kA[0] + kA[1] + kA[2]);
    ExpectRead(a, 0x11);
}

TEST_F(AsciiPorts, EachPortsReceiveGapRunsOnItsOwnClock) {
    Piece(0, kA[0]);
    r.clock.Advance(600);
    Piece(1, kB[0]);
    r.clock.Advance(400);
    r.engine.TimerTick();  // port 0 has waited 1000 ms, port 1 only 400
    EXPECT_EQ(r.port.transfersDone, std::vector<uint8_t>{0});
    EXPECT_EQ(r.Head(1)->State, kRequestAwaiting);
    EXPECT_TRUE(r.PortRecord(1)->Assembler.GapWatchRunning());
    r.clock.Advance(599);
    r.engine.TimerTick();  // writes port 0's retry
    EXPECT_EQ(r.port.writes.size(), 3u);
    EXPECT_EQ(r.port.transfersDone.size(), 1u);
    r.clock.Advance(1);
    r.engine.TimerTick();
    EXPECT_EQ(r.port.transfersDone, (std::vector<uint8_t>{0, 1}));
    r.clock.Advance(1000);
    r.engine.TimerTick();  // each gap counted once
    EXPECT_EQ(r.port.transfersDone.size(), 2u);
    Piece(0, kA[0] + kA[1] + kA[2]);
    ExpectRead(a, 0x11);
}

TEST_F(AsciiPorts, OverflowRestartsOnlyItsOwnBuffer) {
    Piece(0, kA[0]);
    Piece(1, "!02A1A2A3A4");
    Piece(1, "A5A6A7A8A5A6A7A8A5A6");  // 31 characters: port 1 starts afresh with this piece
    EXPECT_EQ(r.PortRecord(1)->Assembler.Count(), 20);
    EXPECT_EQ(r.PortRecord(0)->Assembler.Count(), static_cast<int>(kA[0].size()));
    Piece(0, kA[1]);
    Piece(0, kA[2]);
    ExpectRead(a, 0x11);
    Piece(1, "\r");  // what port 1 holds has lost its start: no answer, tried again
    EXPECT_FALSE(r.sink.Ended(b));
    EXPECT_EQ(r.Head(1)->State, kRequestQueued);
}
