// Whole exchanges through the poll engine: worked reads and writes in both framings,
// shared reads, answers that are wrong, and tasks that cannot be served.
#include <gtest/gtest.h>

#include "protocol_rig.h"

using namespace tervex;
using namespace rig;

namespace {

const Bytes kReadAt5 = {0x01, 0xD0, 0x05, 0xBD, 0xC3};
const Bytes kAnswer = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};

TValue UI1(int v) { return TValue::Number(TValue::Kind::UI1, v); }
TValue UI2(int v) { return TValue::Number(TValue::Kind::UI2, v); }

class Exchange : public ::testing::Test {
protected:
    Rig r;
};

}  // namespace

TEST_F(Exchange, WorkedRtuReadServesTwoItemsWithOneFrame) {
    const int at5 = r.Read(Node{}, MakeItem(kRam, 5));
    const int at6 = r.Read(Node{}, MakeItem(kRam, 6));
    r.engine.Poll(0);
    ASSERT_EQ(r.Frames(), std::vector<Bytes>{kReadAt5});
    EXPECT_EQ(r.server.log, std::vector<std::string>{"COM1 Tx: 01 D0 05 BD C3 "});
    EXPECT_EQ(r.engine.ActiveTaskCount(), 2u);

    r.Answer(0, kAnswer);
    EXPECT_EQ(r.server.log.back(), "COM1 Rx: 01 11 22 33 44 55 66 77 88 E6 2B ");
    EXPECT_EQ(r.port.transfersDone, std::vector<uint8_t>{0});
    const Ending& a = r.sink.Of(at5);
    const Ending& b = r.sink.Of(at6);
    ASSERT_TRUE(a.finished && b.finished);
    EXPECT_EQ(a.completion.result, kResultOk);
    EXPECT_EQ(a.completion.quality, kQualityGood);
    EXPECT_TRUE(a.completion.timestamp.now);
    EXPECT_EQ(a.value, UI1(0x11));
    EXPECT_EQ(b.value, UI1(0x22));
    EXPECT_EQ(b.valueBytes, (Bytes{0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    // Sorted order of finishing; the exchange is reported with every task, "first" once.
    EXPECT_LT(a.order, b.order);
    EXPECT_TRUE(a.completion.reportTransfer && b.completion.reportTransfer);
    EXPECT_TRUE(a.completion.transfer.answered);
    EXPECT_EQ(a.completion.transfer.tries, 0u);
    EXPECT_TRUE(a.completion.transfer.first);
    EXPECT_FALSE(b.completion.transfer.first);
    EXPECT_EQ(r.engine.ActiveTaskCount(), 0u);
    EXPECT_EQ(r.Head(0), nullptr);
}

TEST_F(Exchange, WorkedAsciiReadIsJudgedTheSameWay) {
    Node node;
    node.protocol = "ASCII";
    const int at5 = r.Read(node, MakeItem(kRam, 5));
    const int at6 = r.Read(node, MakeItem(kRam, 6));
    r.engine.Poll(0);
    ASSERT_EQ(r.Frames(), std::vector<Bytes>{Text("$01D005\r")});
    EXPECT_EQ(r.server.log, std::vector<std::string>{"COM1 Tx: $01D005<CR>"});
    r.Answer(0, Text("!011122334455667788\r"));
    EXPECT_EQ(r.server.log.back(), "COM1 Rx: !011122334455667788<CR>");
    EXPECT_EQ(r.sink.Of(at5).value, UI1(0x11));
    EXPECT_EQ(r.sink.Of(at6).value, UI1(0x22));
    EXPECT_EQ(r.sink.Of(at6).completion.result, kResultOk);
}

TEST_F(Exchange, AsciiAnswerInTwoPiecesWaitsForTheRest) {
    Node node;
    node.protocol = "ASCII";
    const int id = r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, Text("!0111223344"));
    EXPECT_FALSE(r.sink.Ended(id));
    ASSERT_NE(r.Head(0), nullptr);
    EXPECT_EQ(r.Head(0)->State, kRequestAwaiting);
    EXPECT_TRUE(r.port.transfersDone.empty());
    EXPECT_TRUE(r.PortRecord(0)->Assembler.GapWatchRunning());
    r.clock.Advance(500);
    r.engine.TimerTick();
    r.Answer(0, Text("55667788\r"));
    ASSERT_TRUE(r.sink.Of(id).finished);
    EXPECT_EQ(r.sink.Of(id).value, UI1(0x11));
    EXPECT_EQ(r.server.CountContaining(" Rx: "), 2);
    EXPECT_FALSE(r.PortRecord(0)->Assembler.GapWatchRunning());
    EXPECT_EQ(r.port.writes.size(), 1u);
}

TEST_F(Exchange, SharedReadAtZeroTwoAndSevenAndOwnFrameForWordAtSeven) {
    // Queued in reverse: the poll serves them in address order.
    const int byteAt7 = r.Read(Node{}, MakeItem(kRam, 7, 17));
    const int wordAt7 = r.Read(Node{}, MakeItem(kRam, 7, 18));
    const int wordAt2 = r.Read(Node{}, MakeItem(kRam, 2, 18));
    const int byteAt0 = r.Read(Node{}, MakeItem(kRam, 0, 17));
    r.engine.Poll(0);
    // Two frames: from 0 for three items, from 7 for the Word that does not fit.
    auto queue = r.PortRecord(0)->Queue.Items();
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue[0]->Data, WithCrc({0x01, 0xD0, 0x00}));
    EXPECT_EQ(queue[0]->StartAddress, 0);
    EXPECT_EQ(queue[1]->Data, WithCrc({0x01, 0xD0, 0x07}));
    r.Answer(0, WithCrc({0x01, 0xA0, 0xA1, 0x12, 0x34, 0xA4, 0xA5, 0xA6, 0xA7}));
    EXPECT_EQ(r.sink.Of(byteAt0).value, UI1(0xA0));    // byte 1 of the answer
    EXPECT_EQ(r.sink.Of(wordAt2).value, UI2(0x1234));  // bytes 3 and 4
    EXPECT_EQ(r.sink.Of(byteAt7).value, UI1(0xA7));    // byte 8
    EXPECT_FALSE(r.sink.Ended(wordAt7));
    r.engine.SendNext();
    EXPECT_EQ(r.Frames().back(), WithCrc({0x01, 0xD0, 0x07}));
    r.Answer(0, WithCrc({0x01, 0xBE, 0xEF, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(r.sink.Of(wordAt7).value, UI2(0xBEEF));
}

TEST_F(Exchange, WorkedWordWriteAndItsAcknowledgement) {
    Node node;
    node.byteOrder = kLsbFirst;
    const int id = r.Write(node, MakeItem(kRam, 5, 18), {0x34, 0x12});
    r.engine.Poll(0);
    ASSERT_EQ(r.Frames(), std::vector<Bytes>{Bytes({0x01, 0xE0, 0x05, 0x34, 0x12, 0xA8, 0xCC})});
    r.Answer(0, {0x01, 0xE0, 0x01, 0xA8});
    const Ending& e = r.sink.Of(id);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.completion.result, kResultOk);
    EXPECT_EQ(e.completion.quality, kQualityGood);
    EXPECT_FALSE(e.value.has_value());
}

struct WrongRow {
    const char* name;
    bool write;
    std::string protocol;
    Bytes answer;
};

class WrongAnswers : public ::testing::TestWithParam<WrongRow> {};

TEST_P(WrongAnswers, FinishWithoutRetryAndLeaveTheValue) {
    const WrongRow& row = GetParam();
    Rig r;
    Node node;
    node.protocol = row.protocol;
    const int id = row.write ? r.Write(node, MakeItem(kRam, 5), {0x01}) : r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, row.answer);
    const Ending& e = r.sink.Of(id);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.completion.result, kResultWrongAnswer);
    EXPECT_EQ(e.completion.quality, kQualityWrongAnswer);
    EXPECT_FALSE(e.value.has_value());
    EXPECT_EQ(r.port.writes.size(), 1u);
    EXPECT_EQ(r.server.CountContaining("не доступно"), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WrongAnswers,
    ::testing::Values(WrongRow{"ReadOfTenBytes", false, "RTU", WithCrc({0x01, 1, 2, 3, 4, 5, 6, 7})},
                      WrongRow{"ReadFromOtherDevice", false, "RTU", WithCrc({0x02, 1, 2, 3, 4, 5, 6, 7, 8})},
                      WrongRow{"ReadOfOneByte", false, "RTU", {0x01}},
                      WrongRow{"WriteWithWrongEcho", true, "RTU", WithCrc({0x01, 0xE1})},
                      WrongRow{"WriteAckFromOtherDevice", true, "RTU", WithCrc({0x03, 0xE0})},
                      WrongRow{"AsciiWriteAckWithEcho", true, "ASCII", Text("!01E0\r")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Exchange, AsciiWriteAcknowledgementIsTheAddressAlone) {
    Node node;
    node.protocol = "ASCII";
    const int id = r.Write(node, MakeItem("EEPROM", 0x0120, 17), {0x7F});
    r.engine.Poll(0);
    EXPECT_EQ(r.Frames(), std::vector<Bytes>{Text("$01E201207F\r")});
    r.Answer(0, Text("!01\r"));
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
}

TEST_F(Exchange, TwoWritesOfTheSameBytesShareOneFrame) {
    const int first = r.Write(Node{}, MakeItem(kRam, 9), {0x42});
    const int second = r.Write(Node{}, MakeItem(kRam, 9), {0x42});
    r.engine.Poll(0);
    EXPECT_EQ(r.PortRecord(0)->Queue.Size(), 1u);
    r.Answer(0, WithCrc({0x01, 0xE0}));
    EXPECT_EQ(r.sink.Of(first).completion.result, kResultOk);
    EXPECT_EQ(r.sink.Of(second).completion.result, kResultOk);
}

TEST_F(Exchange, TwoWritesOfDifferentValuesAreBothSentInQueueOrder) {
    const int older = r.Write(Node{}, MakeItem(kRam, 9), {0x01});
    const int newer = r.Write(Node{}, MakeItem(kRam, 9), {0x02});
    r.engine.Poll(0);
    EXPECT_EQ(r.Frames(), std::vector<Bytes>{WithCrc({0x01, 0xE0, 0x09, 0x01})});
    r.Answer(0, WithCrc({0x01, 0xE0}));
    EXPECT_TRUE(r.sink.Of(older).finished);
    EXPECT_FALSE(r.sink.Ended(newer));
    r.engine.SendNext();
    EXPECT_EQ(r.Frames().back(), WithCrc({0x01, 0xE0, 0x09, 0x02}));
    r.Answer(0, WithCrc({0x01, 0xE0}));
    EXPECT_EQ(r.sink.Of(newer).completion.result, kResultOk);
}

struct UnservedRow {
    const char* name;
    Node node;
    TaskKind kind;
    std::string area;
    bool valid;
};

class Unserved : public ::testing::TestWithParam<UnservedRow> {};

Node NodeOn(std::optional<int64_t> port) {
    Node n;
    n.port = port;
    return n;
}

TEST_P(Unserved, FinishAtOnceWithFailAndSendNothing) {
    const UnservedRow& row = GetParam();
    Rig r;
    WritePayload payload;
    payload.valid = row.valid;
    const int id = r.Queue(row.kind, row.node, MakeItem(row.area, 5), payload);
    r.engine.Poll(0);
    const Ending& e = r.sink.Of(id);
    ASSERT_TRUE(e.finished);
    EXPECT_EQ(e.times, 1);
    EXPECT_EQ(e.completion.result, kResultFail);
    EXPECT_EQ(e.completion.quality, kQualityBad);
    EXPECT_TRUE(e.completion.timestamp.now);
    EXPECT_FALSE(e.completion.reportTransfer);
    EXPECT_TRUE(r.port.writes.empty());
    EXPECT_EQ(r.engine.ActiveTaskCount(), 0u);
    EXPECT_EQ(r.engine.NewTaskCount(), 0u);
    EXPECT_EQ(r.clock.sleeps, 0);  // nothing left to wait for, even for a synchronous task
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Unserved,
    ::testing::Values(UnservedRow{"NoPort", NodeOn(std::nullopt), TaskKind::SyncRead, kRam, true},
                      UnservedRow{"NegativePort", NodeOn(-1), TaskKind::AsyncRead, kRam, true},
                      UnservedRow{"Port100", NodeOn(100), TaskKind::SyncRead, kRam, true},
                      UnservedRow{"UnknownArea", Node{}, TaskKind::SyncRead, "RAM", true},
                      UnservedRow{"FlashWrite", Node{}, TaskKind::SyncWrite, "FLASH", true},
                      UnservedRow{"UnconvertibleValue", Node{}, TaskKind::AsyncWrite, kRam, false},
                      UnservedRow{"UnknownKind", Node{}, static_cast<TaskKind>(0), kRam, true},
                      UnservedRow{"KindFive", Node{}, static_cast<TaskKind>(5), kRam, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Exchange, TasksWithoutPortLeaveThePortTableAlone) {
    r.Read(NodeOn(std::nullopt), MakeItem(kRam, 1));
    r.Read(NodeOn(200), MakeItem(kRam, 1));
    r.engine.Poll(0);
    EXPECT_TRUE(r.engine.Ports().Ports().empty());
}

TEST_F(Exchange, PollWithoutTasksTouchesNothing) {
    r.engine.Poll(0);
    EXPECT_EQ(r.port.canTransmitCalls, 0);
    EXPECT_EQ(r.clock.sleeps, 0);
    EXPECT_TRUE(r.server.log.empty());
}

TEST_F(Exchange, Port99IsPolledAndNamedCom100) {
    const int id = r.Read(NodeOn(99), MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_EQ(r.server.log.back(), "COM100 Tx: 01 D0 05 BD C3 ");
    r.Answer(99, kAnswer);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
}

TEST_F(Exchange, TwoNodesWithTheSameAddressShareOneDeviceRecord) {
    Node other;
    other.device = 2;
    r.Read(Node{}, MakeItem(kRam, 1));
    r.Read(other, MakeItem(kRam, 100));
    r.Read(Node{}, MakeItem("EEPROM", 300));
    r.engine.Poll(0);
    const auto& devices = r.PortRecord(0)->Devices;
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].Address, 1);
    EXPECT_EQ(devices[1].Address, 2);
    EXPECT_EQ(devices[0].Online, 1);
}

TEST_F(Exchange, UnexpectedBytesAreLoggedAndDropped) {
    r.port.blocked[0] = true;
    r.Read(Node{}, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.server.log, (std::vector<std::string>{"COM1 Rx: 01 11 22 33 44 55 66 77 88 E6 2B ",
                                                      "Получены не ожидаемые данные"}));
    ASSERT_NE(r.Head(0), nullptr);
    EXPECT_EQ(r.Head(0)->State, kRequestQueued);
    EXPECT_EQ(r.Head(0)->Tries, 0u);
    r.Answer(5, {0x01});  // a port never used
    EXPECT_EQ(r.server.log.back(), "Получены не ожидаемые данные");
    EXPECT_TRUE(r.port.transfersDone.empty());
}

TEST_F(Exchange, FrameCompletenessFollowsTheHeadRequest) {
    const Bytes ascii = Text("!01\r");
    EXPECT_FALSE(r.engine.IsFrameComplete(0, ascii.data(), 4));  // no port yet: RTU
    EXPECT_TRUE(r.engine.IsFrameComplete(0, kAnswer.data(), 11));
    Node node;
    node.protocol = "ASCII";
    r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    EXPECT_TRUE(r.engine.IsFrameComplete(0, ascii.data(), 4));
    EXPECT_FALSE(r.engine.IsFrameComplete(0, ascii.data(), 3));
    EXPECT_FALSE(r.engine.IsFrameComplete(0, nullptr, 4));
    EXPECT_FALSE(r.engine.IsFrameComplete(0, ascii.data(), 0));
    EXPECT_FALSE(r.engine.IsFrameComplete(0, ascii.data(), -1));
}

TEST_F(Exchange, QuestionMarkAnswerClearsThePasswordsOfItsDevice) {
    Node node;
    node.protocol = "ASCII";
    node.readPassword = "abc";
    const int id = r.Read(node, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, WithCrc({0x01, 0xF0}));  // the password frame is binary, so is its answer
    r.engine.SendNext();
    r.Answer(0, Text("?011122334455667788\r"));
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
    const TDeviceStatus& d = r.PortRecord(0)->Devices[0];
    EXPECT_EQ(d.ReadPasswordSent + d.ReadPasswordPending + d.WritePasswordSent + d.WritePasswordPending, 0);
}
