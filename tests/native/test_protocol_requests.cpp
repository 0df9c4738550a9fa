// Requests built from tasks, sharing of frames, the answer judge and the port queue order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/AnswerJudge.h"
#include "protocol/RequestBuilder.h"
#include "protocol/RequestQueue.h"
#include "protocol_rig.h"

using namespace tervex;
using rig::Bytes;
using rig::kRam;
using rig::Node;

namespace {

EngineTask Task(TaskKind kind, const Node& node, const ItemParams& item, const Bytes& bytes = {}) {
    EngineTask t;
    t.kind = kind;
    t.node = rig::MakeNode(node);
    t.item = item;
    for (size_t i = 0; i < bytes.size(); ++i) t.write.bytes[i] = bytes[i];
    return t;
}

Bytes Wire(const EngineTask& task) {
    const auto frame = BuildDataFrame(task);
    return frame ? frame->wire : Bytes{};
}

}  // namespace

struct FrameRow {
    const char* name;
    TaskKind kind;
    std::string area;
    int64_t address;
    int type;
    Bytes value;
    int64_t bit;
    bool bitValue;
    Bytes expected;  // empty: no frame
};

void PrintTo(const FrameRow& row, std::ostream* os) { *os << row.name; }

class DataFrames : public ::testing::TestWithParam<FrameRow> {};

TEST_P(DataFrames, BuildsTheFrameOfTheArea) {
    const FrameRow& r = GetParam();
    EngineTask t = Task(r.kind, Node{}, rig::MakeItem(r.area, r.address, r.type, r.bit), r.value);
    t.write.bitValue = r.bitValue;
    const auto frame = BuildDataFrame(t);
    if (r.expected.empty()) {
        EXPECT_FALSE(frame.has_value());
        return;
    }
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(rig::Hex(frame->wire), rig::Hex(r.expected));
    EXPECT_EQ(frame->command, r.expected[1]);
    EXPECT_EQ(frame->protocol, "RTU");
    EXPECT_EQ(frame->startAddress, static_cast<uint16_t>(r.address));
}

const auto R = TaskKind::AsyncRead;
const auto W = TaskKind::SyncWrite;

INSTANTIATE_TEST_SUITE_P(
    Worked, DataFrames,
    ::testing::Values(
        FrameRow{"RamRead", R, kRam, 0x05, 17, {}, 0, false, {0x01, 0xD0, 0x05, 0xBD, 0xC3}},
        FrameRow{"EepromRead", R, "EEPROM", 0x0120, 17, {}, 0, false, {0x01, 0xD2, 0x01, 0x20, 0xA1, 0xA9}},
        FrameRow{"SetBit3", W, kRam, 0x05, 11, {}, 3, true, {0x01, 0xB0, 0x05, 0x08, 0x02, 0xA9}},
        FrameRow{"WordWrite", W, kRam, 0x05, 18, {0x34, 0x12}, 0, false, {0x01, 0xE0, 0x05, 0x34, 0x12, 0xA8, 0xCC}}),
    [](const auto& info) { return std::string(info.param.name); });

// Frames without a worked example: the expected CRC comes from the tests' own CRC.
INSTANTIATE_TEST_SUITE_P(
    Areas, DataFrames,
    ::testing::Values(
        FrameRow{"ClockRead", R, "CLOCK", 0x1234, 17, {}, 0, false, rig::WithCrc({0x01, 0xD1, 0x34})},
        FrameRow{"FramRead", R, "FRAM", 0x1234, 17, {}, 0, false, rig::WithCrc({0x01, 0xD3, 0x12, 0x34})},
        FrameRow{"XramRead", R, "XRAM", 0xFFFF, 17, {}, 0, false, rig::WithCrc({0x01, 0xD4, 0xFF, 0xFF})},
        FrameRow{"FlashRead", R, "FLASH", 0x0001, 17, {}, 0, false, rig::WithCrc({0x01, 0xD5, 0x00, 0x01})},
        FrameRow{"ClearBit7", W, kRam, 0x10, 11, {}, 7, false, rig::WithCrc({0x01, 0xC0, 0x10, 0x80})},
        FrameRow{"BitOutsideRangeIsBit0", W, kRam, 0x10, 11, {}, 9, true, rig::WithCrc({0x01, 0xB0, 0x10, 0x01})},
        FrameRow{"ClockByteWrite", W, "CLOCK", 0x0107, 17, {0x2C}, 0, false, rig::WithCrc({0x01, 0xE1, 0x07, 0x2C})},
        FrameRow{"EepromIntegerWrite", W, "EEPROM", 0x0200, 3, {1, 2, 3, 4}, 0, false,
                 rig::WithCrc({0x01, 0xE2, 0x02, 0x00, 1, 2, 3, 4})},
        FrameRow{"FramStringWrite", W, "FRAM", 0x0010, 8, {1, 2, 3, 4, 5, 6, 7, 8}, 0, false,
                 rig::WithCrc({0x01, 0xE3, 0x00, 0x10, 1, 2, 3, 4, 5, 6, 7, 8})},
        FrameRow{"XramBooleanIsAByte", W, "XRAM", 0x0010, 11, {0x01}, 0, false,
                 rig::WithCrc({0x01, 0xE4, 0x00, 0x10, 0x01})},
        FrameRow{"AddressBeyond16BitsKeepsItsLowBits", R, "EEPROM", 70000, 17, {}, 0, false,
                 rig::WithCrc({0x01, 0xD2, 0x11, 0x70})},
        FrameRow{"FlashWrite", W, "FLASH", 1, 17, {1}, 0, false, {}},
        FrameRow{"UnknownAreaRead", R, "RAM", 1, 17, {}, 0, false, {}},
        FrameRow{"EmptyAreaWrite", W, "", 1, 17, {1}, 0, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataFrame, AsciiNodeGetsTheTextForm) {
    Node node;
    node.protocol = "ASCII";
    const auto frame = BuildDataFrame(Task(R, node, rig::MakeItem(kRam, 5)));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->wire, rig::Text("$01D005\r"));
    EXPECT_EQ(frame->protocol, "ASCII");
    EXPECT_EQ(frame->command, 0xD0);
}

TEST(DataFrame, UnconvertibleValueGivesNoFrame) {
    EngineTask t = Task(W, Node{}, rig::MakeItem(kRam, 5, 18), {1, 2});
    t.write.valid = false;
    EXPECT_FALSE(BuildDataFrame(t));
}

TEST(DataFrame, DeviceAddressIsOneByte) {
    Node node;
    node.device = 0x1FE;
    EXPECT_EQ(Wire(Task(R, node, rig::MakeItem(kRam, 5))), rig::WithCrc({0xFE, 0xD0, 0x05}));
}

TEST(PasswordFrame, SixBytesInWindows1251) {
    EXPECT_EQ(BuildPasswordFrame(1, 0xF0, "abc"), rig::WithCrc({0x01, 0xF0, 'a', 'b', 'c', 0, 0, 0}));
    EXPECT_EQ(BuildPasswordFrame(2, 0xF1, "12345678"), rig::WithCrc({0x02, 0xF1, '1', '2', '3', '4', '5', '6'}));
    EXPECT_EQ(BuildPasswordFrame(1, 0xF0, "пароль"),
              rig::WithCrc({0x01, 0xF0, 0xEF, 0xE0, 0xF0, 0xEE, 0xEB, 0xFC}));
    EXPECT_EQ(BuildPasswordFrame(1, 0xF0, "abc").size(), 10u);
}

struct ShareRow {
    const char* name;
    TaskKind laterKind;
    Node laterNode;
    std::string laterArea;
    int64_t laterAddress;
    int laterType;
    Bytes laterValue;
    bool shares;
};

void PrintTo(const ShareRow& row, std::ostream* os) { *os << row.name; }

class Sharing : public ::testing::TestWithParam<ShareRow> {};

// The earlier task: a Byte at RAM address 4 of device 1 on port 0 (a write sends 0x2A).
TEST_P(Sharing, LaterTaskJoinsOnlyAFrameThatAnswersIt) {
    const ShareRow& r = GetParam();
    const TaskKind earlierKind = IsReadKind(r.laterKind) ? R : W;
    const EngineTask a = Task(earlierKind, Node{}, rig::MakeItem(kRam, 4), {0x2A});
    const EngineTask b = Task(r.laterKind, r.laterNode, rig::MakeItem(r.laterArea, r.laterAddress, r.laterType),
                              r.laterValue);
    const Bytes wa = Wire(a);
    const Bytes wb = Wire(b);
    EXPECT_EQ(SharesRequest(a, b, &wa, &wb), r.shares);
}

Node OnPort(std::optional<int64_t> port, int64_t device = 1) {
    Node n;
    n.port = port;
    n.device = device;
    return n;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Sharing,
    ::testing::Values(
        ShareRow{"SameAddress", R, Node{}, kRam, 4, 17, {}, true},
        ShareRow{"LastByteOfBlock", R, Node{}, kRam, 11, 17, {}, true},
        ShareRow{"PastTheBlock", R, Node{}, kRam, 12, 17, {}, false},
        ShareRow{"WordEndingInBlock", R, Node{}, kRam, 10, 18, {}, true},
        ShareRow{"WordCrossingTheEnd", R, Node{}, kRam, 11, 18, {}, false},
        ShareRow{"StringFillingTheBlock", R, Node{}, kRam, 4, 8, {}, true},
        ShareRow{"BelowTheStart", R, Node{}, kRam, 3, 17, {}, false},
        ShareRow{"OtherKind", TaskKind::SyncRead, Node{}, kRam, 5, 17, {}, false},
        ShareRow{"OtherArea", R, Node{}, "CLOCK", 5, 17, {}, false},
        ShareRow{"OtherDevice", R, OnPort(0, 2), kRam, 5, 17, {}, false},
        ShareRow{"DeviceWithSameLowByte", R, OnPort(0, 257), kRam, 5, 17, {}, true},
        ShareRow{"OtherPort", R, OnPort(1), kRam, 5, 17, {}, false},
        ShareRow{"PortOutOfRange", R, OnPort(256), kRam, 5, 17, {}, false},
        ShareRow{"NoPort", R, OnPort(std::nullopt), kRam, 5, 17, {}, false},
        ShareRow{"WriteSameBytes", W, Node{}, kRam, 4, 17, {0x2A}, true},
        ShareRow{"WriteOtherValue", W, Node{}, kRam, 4, 17, {0x2B}, false},
        ShareRow{"WriteNextAddress", W, Node{}, kRam, 5, 17, {0x2A}, false},
        ShareRow{"WriteOtherType", W, Node{}, kRam, 4, 18, {0x2A, 0}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sharing, BitWritesToOneByteShareOnlyTheSameBit) {
    EngineTask a = Task(W, Node{}, rig::MakeItem(kRam, 4, 11, 1));
    EngineTask b = Task(W, Node{}, rig::MakeItem(kRam, 4, 11, 2));
    a.write.bitValue = b.write.bitValue = true;
    Bytes wa = Wire(a), wb = Wire(b);
    EXPECT_FALSE(SharesRequest(a, b, &wa, &wb));
    b.item.bitNumber = 1;
    wb = Wire(b);
    EXPECT_TRUE(SharesRequest(a, b, &wa, &wb));
}

struct JudgeRow {
    const char* name;
    Bytes answer;
    bool hasDevice;
    uint8_t lastResult;
    bool isRead;
    MemoryArea area;
    std::string protocol;
    AnswerOutcome outcome;
};

void PrintTo(const JudgeRow& row, std::ostream* os) { *os << row.name; }

class Judge : public ::testing::TestWithParam<JudgeRow> {};

TEST_P(Judge, OutcomeOfAnAnswerForOneTask) {
    const JudgeRow& r = GetParam();
    AnswerFacts f;
    f.data = r.answer.empty() ? nullptr : r.answer.data();
    f.count = static_cast<int>(r.answer.size());
    f.hasDevice = r.hasDevice;
    f.deviceLastResult = r.lastResult;
    f.framing = &FramingFor(r.protocol);
    f.command = r.isRead ? 0xD0 : 0xE0;
    f.isRead = r.isRead;
    f.area = r.area;
    f.deviceAddress = 1;
    EXPECT_EQ(static_cast<int>(JudgeAnswer(f)), static_cast<int>(r.outcome));
}

const Bytes kReadAnswer = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};

INSTANTIATE_TEST_SUITE_P(
    Rows, Judge,
    ::testing::Values(
        JudgeRow{"GoodRead", kReadAnswer, true, 0, true, MemoryArea::Ram, "RTU", AnswerOutcome::Good},
        JudgeRow{"ReadFromOtherDevice", rig::WithCrc({2, 1, 2, 3, 4, 5, 6, 7, 8}), true, 0, true, MemoryArea::Ram,
                 "RTU", AnswerOutcome::WrongAnswer},
        JudgeRow{"ShortRead", rig::WithCrc({1, 1, 2, 3, 4, 5, 6, 7}), true, 0, true, MemoryArea::Ram, "RTU",
                 AnswerOutcome::WrongAnswer},
        JudgeRow{"TwoByteRead", {0x01, 0x11}, true, 0, true, MemoryArea::Ram, "RTU", AnswerOutcome::WrongAnswer},
        JudgeRow{"BrokenCrc", {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2C}, true, 0, true,
                 MemoryArea::Ram, "RTU", AnswerOutcome::CrcError},
        JudgeRow{"BrokenCrcWithoutDevice", {0x01, 0x11, 0x22}, false, 0, true, MemoryArea::Ram, "RTU",
                 AnswerOutcome::CrcError},
        JudgeRow{"Silence", {}, true, 2, true, MemoryArea::Ram, "RTU", AnswerOutcome::NoAnswer},
        JudgeRow{"SilenceAfterGoodWrite", {}, true, 0, true, MemoryArea::Ram, "RTU", AnswerOutcome::Failed},
        JudgeRow{"NoDevice", kReadAnswer, false, 2, true, MemoryArea::Ram, "RTU", AnswerOutcome::Failed},
        JudgeRow{"ReadOfUnknownArea", kReadAnswer, true, 0, true, MemoryArea::None, "RTU", AnswerOutcome::Failed},
        JudgeRow{"RtuWriteAck", {0x01, 0xE0, 0x01, 0xA8}, true, 0, false, MemoryArea::Ram, "RTU",
                 AnswerOutcome::Good},
        JudgeRow{"RtuWriteAckWrongEcho", rig::WithCrc({0x01, 0xE1}), true, 0, false, MemoryArea::Ram, "RTU",
                 AnswerOutcome::WrongAnswer},
        JudgeRow{"AsciiWriteAck", rig::WithCrc({0x01}), true, 0, false, MemoryArea::Eeprom, "ASCII",
                 AnswerOutcome::Good},
        JudgeRow{"AsciiWriteAckTooLong", {0x01, 0xE0, 0x01, 0xA8}, true, 0, false, MemoryArea::Eeprom, "ASCII",
                 AnswerOutcome::WrongAnswer},
        JudgeRow{"WriteToFlash", {0x01, 0xE0, 0x01, 0xA8}, true, 0, false, MemoryArea::Flash, "RTU",
                 AnswerOutcome::Failed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Judge, OneTableOfCodes) {
    struct Row {
        AnswerOutcome outcome;
        uint32_t result;
        uint16_t quality;
    };
    for (const Row& r : {Row{AnswerOutcome::Good, 0, 0xC0}, Row{AnswerOutcome::NoAnswer, 0xCFFF0001, 0x0218},
                         Row{AnswerOutcome::CrcError, 0xCFFF0002, 0x0318},
                         Row{AnswerOutcome::WrongAnswer, 0xCFFF0005, 0x0618},
                         Row{AnswerOutcome::Failed, 0x80004005, 0x00}}) {
        EXPECT_EQ(CodesOf(r.outcome).result, r.result);
        EXPECT_EQ(CodesOf(r.outcome).quality, r.quality);
    }
}

TEST(Judge, OffsetOfAnItemInTheReadBlock) {
    EXPECT_EQ(ReadAnswerOffset(5, 5), 1);
    EXPECT_EQ(ReadAnswerOffset(6, 5), 2);
    EXPECT_EQ(ReadAnswerOffset(12, 5), 8);
    EXPECT_EQ(ReadAnswerOffset(13, 5), 1);      // outside the block
    EXPECT_EQ(ReadAnswerOffset(0xFFFF, 0), 1);
}

namespace {

RequestPtr Req(uint8_t priority, int tag) {
    auto r = std::make_shared<TRequest>();
    r->Priority = priority;
    r->Id = static_cast<uint64_t>(tag);
    return r;
}

std::vector<int> Order(const RequestQueue& q) {
    std::vector<int> tags;
    for (const auto& r : q.Items()) tags.push_back(static_cast<int>(r->Id));
    return tags;
}

}  // namespace

TEST(PortQueue, PriorityFirstThenArrival) {
    RequestQueue q;
    q.Insert(Req(1, 1));
    q.Insert(Req(1, 2));
    q.Insert(Req(5, 3));
    q.Insert(Req(0, 4));
    q.Insert(Req(5, 5));
    q.Insert(Req(1, 6));
    EXPECT_EQ(Order(q), (std::vector<int>{3, 5, 1, 2, 6, 4}));
    EXPECT_EQ(q.Size(), 6u);
}

TEST(PortQueue, NothingGoesBeforeTheRequestInFlight) {
    RequestQueue q;
    q.Insert(Req(1, 1));
    q.Insert(Req(1, 2));
    RequestPtr head = q.TakeHead();
    head->State = kRequestAwaiting;
    q.Insert(Req(9, 3));
    EXPECT_EQ(Order(q), (std::vector<int>{1, 3, 2}));
    head->State = kRequestJudging;
    q.Insert(Req(9, 4));
    EXPECT_EQ(Order(q), (std::vector<int>{1, 3, 4, 2}));
    q.Remove(head);
    EXPECT_EQ(Order(q), (std::vector<int>{3, 4, 2}));
    EXPECT_EQ(q.Head()->Id, 3u);
}

// A retried head keeps its place before what was queued behind it while it was in
// flight. A later request of higher priority goes ahead of it only where nothing of at
// least its own priority waits behind it: equal priorities keep their order.
TEST(PortQueue, RetriedHeadKeepsItsPlace) {
    RequestQueue q;
    q.Insert(Req(1, 1));
    RequestPtr head = q.TakeHead();
    head->State = kRequestAwaiting;
    q.Insert(Req(3, 2));
    head->State = kRequestQueued;  // back for another try
    EXPECT_EQ(Order(q), (std::vector<int>{1, 2}));
    q.Insert(Req(5, 3));
    EXPECT_EQ(Order(q), (std::vector<int>{3, 1, 2}));
    q.Insert(Req(3, 4));  // behind the equal one that waits behind the retried head
    EXPECT_EQ(Order(q), (std::vector<int>{3, 1, 2, 4}));
    q.Insert(Req(2, 5));
    EXPECT_EQ(Order(q), (std::vector<int>{3, 1, 2, 4, 5}));
    q.Insert(Req(4, 6));  // nothing of 4 or more behind the retried head
    EXPECT_EQ(Order(q), (std::vector<int>{3, 6, 1, 2, 4, 5}));
    q.Insert(Req(1, 7));
    EXPECT_EQ(Order(q), (std::vector<int>{3, 6, 1, 2, 4, 5, 7}));
    EXPECT_EQ(q.TakeHead()->Id, 3u);
}
