// Answers and writes that must not come out wrong: a read answer taken whole only once
// it is whole, the newest of several writes to one place winning, a removed item's
// queued write still reaching the controller, and a value read from its own address.
#include <gtest/gtest.h>

#include "protocol_rig.h"

using namespace tervex;
using namespace rig;

namespace {

constexpr uint8_t kEepromRead = 0xD2;

class Integrity : public ::testing::Test {
protected:
    Rig r;
    std::vector<Bytes> deliveries;

    // What a host port does: gathers the bytes one at a time and hands them over as
    // soon as the driver calls them complete; what is left comes over at the end.
    void GatherBytewise(uint8_t portNo, const Bytes& wire) {
        Bytes gathered;
        for (uint8_t b : wire) {
            gathered.push_back(b);
            if (r.engine.IsFrameComplete(portNo, gathered.data(), static_cast<int32_t>(gathered.size()))) {
                deliveries.push_back(gathered);
                r.Answer(portNo, gathered);
                gathered.clear();
            }
        }
        if (!gathered.empty()) {
            deliveries.push_back(gathered);
            r.Answer(portNo, gathered);
        }
    }

    void Acknowledge(uint8_t command, int times) {
        for (int i = 0; i < times; ++i) {
            r.Answer(0, WithCrc({0x01, command}));
            r.engine.SendNext();
        }
    }
};

}  // namespace

// With eight zero bytes the first ten bytes of these controllers' read answers already
// end in their own CRC.
TEST_F(Integrity, ReadAnswersOfZeroMemoryAreTakenWhole) {
    for (const int device : {3, 15, 23, 27, 1}) {
        SCOPED_TRACE(device);
        Node node;
        node.device = device;
        deliveries.clear();
        const int id = r.Read(node, MakeItem(kRam, 0x10, 18));
        r.engine.Poll(0);
        GatherBytewise(0, WithCrc({static_cast<uint8_t>(device), 0, 0, 0, 0, 0, 0, 0, 0}));
        ASSERT_EQ(deliveries.size(), 1u);
        EXPECT_EQ(deliveries[0].size(), 11u);
        const Ending& e = r.sink.Of(id);
        EXPECT_EQ(e.completion.result, kResultOk);
        EXPECT_TRUE(e.value.has_value());
        EXPECT_EQ(e.valueBytes, Bytes(8, 0));
    }
    EXPECT_EQ(r.server.Count("Получены не ожидаемые данные"), 0);
}

struct CompletenessRow {
    const char* name;
    TaskKind kind;
    Node node;
    Bytes wire;
    size_t completeAt;  // bytes after which IsFrameComplete first says yes; 0: never
};

void PrintTo(const CompletenessRow& row, std::ostream* os) { *os << row.name; }

class Completeness : public ::testing::TestWithParam<CompletenessRow> {};

TEST_P(Completeness, ByWhatTheHeadExpects) {
    const CompletenessRow& row = GetParam();
    Rig r;
    r.Queue(row.kind, row.node, MakeItem(kRam, 0x10), {}, nullptr);
    r.engine.Poll(0);
    size_t completeAt = 0;
    for (size_t n = 1; n <= row.wire.size() && completeAt == 0; ++n) {
        if (r.engine.IsFrameComplete(0, row.wire.data(), static_cast<int32_t>(n))) completeAt = n;
    }
    EXPECT_EQ(completeAt, row.completeAt);
}

Node WithReadPassword() {
    Node n;
    n.device = 3;
    n.readPassword = "abc";
    return n;
}

Node Device(int64_t device) {
    Node n;
    n.device = device;
    return n;
}

INSTANTIATE_TEST_SUITE_P(
    Heads, Completeness,
    ::testing::Values(
        CompletenessRow{"ReadOfZeros", TaskKind::AsyncRead, Device(3), WithCrc({3, 0, 0, 0, 0, 0, 0, 0, 0}), 11},
        CompletenessRow{"ReadAnsweredByAPasswordReset", TaskKind::AsyncRead, Device(3), WithCrc({3, 0xFF}), 4},
        CompletenessRow{"WriteAcknowledgement", TaskKind::AsyncWrite, Device(3), WithCrc({3, 0xE0}), 4},
        CompletenessRow{"PasswordAnswerOfAnyLength", TaskKind::AsyncRead, WithReadPassword(), WithCrc({3}), 3}),
    [](const auto& info) { return std::string(info.param.name); });

struct NewestWriteRow {
    const char* name;
    std::vector<ItemParams> items;
    std::vector<Bytes> values;      // per item; a Boolean's first byte: set (1) or clear (0)
    std::vector<Bytes> frames;      // bytes before the CRC, in the order they go out
};

void PrintTo(const NewestWriteRow& row, std::ostream* os) { *os << row.name; }

class NewestWrite : public ::testing::TestWithParam<NewestWriteRow> {};

// Every write of one poll is acknowledged; the frames on the line must leave the
// newest value in place.
TEST_P(NewestWrite, GoesOutLast) {
    const NewestWriteRow& row = GetParam();
    Rig r;
    std::vector<int> ids;
    for (size_t i = 0; i < row.items.size(); ++i) {
        WritePayload w;
        for (size_t k = 0; k < row.values[i].size(); ++k) w.bytes[k] = row.values[i][k];
        w.bitValue = row.values[i][0] != 0;
        ids.push_back(r.Queue(TaskKind::AsyncWrite, Node{}, row.items[i], w));
    }
    r.engine.Poll(0);
    for (size_t i = 0; i < row.frames.size() + 1 && r.Head(0); ++i) {
        r.Answer(0, WithCrc({0x01, r.port.writes.back().data[1]}));
        r.engine.SendNext();
    }
    std::vector<Bytes> expected;
    for (const Bytes& f : row.frames) expected.push_back(WithCrc(f));
    EXPECT_EQ(r.Frames(), expected);
    for (const int id : ids) EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
}

INSTANTIATE_TEST_SUITE_P(
    OnePoll, NewestWrite,
    ::testing::Values(
        NewestWriteRow{"ByteOneTwoOne",
                       {MakeItem(kRam, 9), MakeItem(kRam, 9), MakeItem(kRam, 9)},
                       {{1}, {2}, {1}},
                       {{1, 0xE0, 9, 1}, {1, 0xE0, 9, 2}, {1, 0xE0, 9, 1}}},
        NewestWriteRow{"BitSetClearSet",
                       {MakeItem(kRam, 9, 11, 2), MakeItem(kRam, 9, 11, 2), MakeItem(kRam, 9, 11, 2)},
                       {{1}, {0}, {1}},
                       {{1, 0xB0, 9, 4}, {1, 0xC0, 9, 4}, {1, 0xB0, 9, 4}}},
        NewestWriteRow{"AWordInBetween",
                       {MakeItem(kRam, 9), MakeItem(kRam, 9, 18), MakeItem(kRam, 9)},
                       {{1}, {2, 2}, {1}},
                       {{1, 0xE0, 9, 1}, {1, 0xE0, 9, 2, 2}, {1, 0xE0, 9, 1}}},
        NewestWriteRow{"ABitInBetween",
                       {MakeItem(kRam, 9), MakeItem(kRam, 9, 11, 0), MakeItem(kRam, 9)},
                       {{0}, {1}, {0}},
                       {{1, 0xE0, 9, 0}, {1, 0xB0, 9, 1}, {1, 0xE0, 9, 0}}},
        NewestWriteRow{"EqualNeighboursStillShare",
                       {MakeItem(kRam, 9), MakeItem(kRam, 9), MakeItem(kRam, 9), MakeItem(kRam, 9)},
                       {{1}, {1}, {2}, {2}},
                       {{1, 0xE0, 9, 1}, {1, 0xE0, 9, 2}}},
        NewestWriteRow{"ADisjointWriteDoesNotSeparate",
                       {MakeItem("EEPROM", 9), MakeItem("EEPROM", 9), MakeItem("EEPROM", 9, 18)},
                       {{7}, {7}, {3, 4}},
                       {{1, 0xE2, 0, 9, 7}, {1, 0xE2, 0, 9, 3, 4}}}),
    [](const auto& info) { return std::string(info.param.name); });

// A silent controller's read is retried at the head of the line; two writes of one
// priority queued meanwhile must still go out in their order.
TEST_F(Integrity, WritesKeepTheirOrderBehindARetriedHead) {
    Node silent;
    silent.device = 9;
    r.Read(silent, MakeItem(kRam, 0));
    r.engine.Poll(0);
    const int first = r.Write(Node{}, MakeItem(kRam, 5), {1});
    r.engine.Poll(2);
    r.TimeOut();  // the read goes back to the head for another try
    const int second = r.Write(Node{}, MakeItem(kRam, 5), {2});
    r.engine.Poll(2);
    for (int step = 0; step < 20 && r.Head(0); ++step) {
        if (r.Head(0)->State != kRequestAwaiting) {
            r.engine.SendNext();
        } else if (r.Frames().back()[0] == 9) {
            r.TimeOut();
        } else {
            r.Answer(0, WithCrc({0x01, 0xE0}));
        }
    }
    std::vector<Bytes> writes;
    for (const Bytes& f : r.Frames())
        if (f[0] == 0x01) writes.push_back(f);
    EXPECT_EQ(writes, (std::vector<Bytes>{WithCrc({0x01, 0xE0, 5, 1}), WithCrc({0x01, 0xE0, 5, 2})}));
    EXPECT_EQ(r.sink.Of(first).completion.result, kResultOk);
    EXPECT_EQ(r.sink.Of(second).completion.result, kResultOk);
}

TEST_F(Integrity, RemovedItemsQueuedWriteIsStillWritten) {
    static const int key = 0;
    const int read = r.Read(Node{}, MakeItem(kRam, 0x20));
    const int write = r.Write(Node{}, MakeItem(kRam, 0x30), {0x5A}, &key);
    r.engine.Poll(0);
    const int unpolled = r.Write(Node{}, MakeItem(kRam, 0x31), {0x5B}, &key);  // goes with its item
    r.engine.RemoveItemTasks(&key);
    EXPECT_TRUE(r.sink.Of(write).dropped);
    EXPECT_TRUE(r.sink.Of(unpolled).dropped);
    r.Answer(0, WithCrc({0x01, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(r.sink.Of(read).completion.result, kResultOk);
    r.engine.SendNext();
    ASSERT_EQ(r.Frames().size(), 2u);
    EXPECT_EQ(r.Frames()[1], WithCrc({0x01, 0xE0, 0x30, 0x5A}));
    r.Answer(0, WithCrc({0x01, 0xE0}));
    EXPECT_EQ(r.Head(0), nullptr);
    EXPECT_EQ(r.sink.endCount, 3);
    EXPECT_EQ(r.server.Count("Получены не ожидаемые данные"), 0);
}

TEST_F(Integrity, RemovedItemsQueuedReadIsNotSent) {
    static const int key = 0;
    r.Read(Node{}, MakeItem(kRam, 0x20));
    r.Read(Node{}, MakeItem(kRam, 0x30), &key);
    r.engine.Poll(0);
    r.engine.RemoveItemTasks(&key);
    r.Answer(0, WithCrc({0x01, 1, 2, 3, 4, 5, 6, 7, 8}));
    r.engine.SendNext();
    EXPECT_EQ(r.Frames().size(), 1u);
    EXPECT_EQ(r.Head(0), nullptr);
}

// An address beyond 16 bits goes out as its low 16 bits, and its value comes from there.
TEST_F(Integrity, AddressBeyondSixteenBitsReadsWhereItsFrameReads) {
    const int atZero = r.Read(Node{}, MakeItem("EEPROM", 0));
    const int beyond = r.Read(Node{}, MakeItem("EEPROM", 65541));
    const int alone = r.Read(Node{}, MakeItem("FRAM", 65536 + 0x120, 18));
    r.engine.Poll(0);
    ASSERT_EQ(r.Frames().size(), 1u);
    EXPECT_EQ(r.Frames()[0], WithCrc({0x01, kEepromRead, 0, 0}));
    r.Answer(0, WithCrc({0x01, 0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}));
    EXPECT_EQ(r.sink.Of(atZero).valueBytes.front(), 0x10);
    EXPECT_EQ(r.sink.Of(beyond).valueBytes, (Bytes{0x15, 0x16, 0x17}));
    r.engine.SendNext();
    EXPECT_EQ(r.Frames()[1], WithCrc({0x01, 0xD3, 0x01, 0x20}));
    r.Answer(0, WithCrc({0x01, 0xA1, 0xA2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(r.sink.Of(alone).valueBytes.front(), 0xA1);
}
