// Finding requests in the byte stream: pieces, neighbours, noise and quiet gaps.
#include <gtest/gtest.h>

#include <random>

#include "sim/Hex.h"
#include "sim/Line.h"
#include "sim/RequestFramer.h"
#include "TestUtil.h"

namespace tervex::sim::test {
namespace {

std::vector<Request> FeedAll(RequestFramer& framer, const std::vector<uint8_t>& bytes, int64_t nowMs = 0)
{
    return framer.Feed(bytes.data(), bytes.size(), nowMs);
}

std::string Describe(const std::vector<Request>& requests)
{
    std::string text;
    for (const Request& r : requests)
        text += std::string(text.empty() ? "" : " | ") + FramingName(r.framing) + " " + HexDump(r.body);
    return text;
}

TEST(RequestFramer, ByteByByteGivesOneRequestAtTheEnd)
{
    const std::vector<std::vector<uint8_t>> streams = {Bytes("01 E0 05 34 12 A8 CC"), Text("$01E0053412\r")};
    for (const auto& stream : streams) {
        RequestFramer framer(100);
        std::vector<Request> got;
        for (size_t i = 0; i < stream.size(); ++i) {
            got = framer.Feed(&stream[i], 1, static_cast<int64_t>(i));
            if (i + 1 < stream.size()) {
                EXPECT_TRUE(got.empty()) << "after byte " << i;
            }
        }
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(HexDump(got[0].body), "01 E0 05 34 12");
        EXPECT_EQ(framer.PendingBytes(), 0u);
    }
}

TEST(RequestFramer, WritesOfEverySizeAreFramedByTheirCrc)
{
    RequestFramer framer(0);
    // One byte and eight bytes to RAM, back to back.
    std::vector<uint8_t> stream = Bytes("01 E0 05 34 02 A9");
    const auto eight = Bytes("01 E0 05 12 34 56 78 90 AB CD EF 29 C8");
    stream.insert(stream.end(), eight.begin(), eight.end());
    EXPECT_EQ(Describe(FeedAll(framer, stream)), "RTU 01 E0 05 34 | RTU 01 E0 05 12 34 56 78 90 AB CD EF");
}

TEST(RequestFramer, AWriteWhoseFirstBytesEndInACrcIsTakenWhole)
{
    RequestFramer framer(0);
    // FF E0 40 00 is followed by its own CRC, 00 06.
    EXPECT_EQ(Describe(FeedAll(framer, Bytes("FF E0 40 00 00 06 00"))), "RTU FF E0 40 00 00");
    EXPECT_EQ(framer.PendingBytes(), 0u);
}

TEST(RequestFramer, MixedNeighboursInOneFeed)
{
    RequestFramer framer(100);
    std::vector<uint8_t> stream = Bytes("01 D0 05 BD C3");
    const auto text = Text("$01D005\r");
    const auto password = Bytes("01 F0 61 62 63 00 00 00 9E 35");
    stream.insert(stream.end(), text.begin(), text.end());
    stream.insert(stream.end(), password.begin(), password.end());
    EXPECT_EQ(Describe(FeedAll(framer, stream)), "RTU 01 D0 05 | ASCII 01 D0 05 | RTU 01 F0 61 62 63 00 00 00");
}

TEST(RequestFramer, AddressDollarIsBinaryWhenACommandFollows)
{
    RequestFramer framer(100);
    EXPECT_EQ(Describe(FeedAll(framer, Bytes("24 D0 05 AC 08"))), "RTU 24 D0 05");
}

TEST(RequestFramer, NoiseIsDroppedAndCounted)
{
    struct Row {
        const char* name;
        std::vector<uint8_t> stream;
        const char* expected;
        uint64_t dropped;
    };
    const std::vector<Row> rows = {
        {"junk bytes", Bytes("00 FF 13 01 D0 05 BD C3"), "RTU 01 D0 05", 3},
        {"bad CRC then a request", Bytes("01 D0 05 BD C4 01 D0 05 BD C3"), "RTU 01 D0 05", 5},
        // 11 E3 looks like the start of a long write; the whole read behind it wins.
        {"false start", Bytes("11 E3 00 01 D0 05 BD C3"), "RTU 01 D0 05", 3},
        {"new start inside text", Text("$01D0$01D005\r"), "ASCII 01 D0 05", 5},
        {"text with a bad digit", Text("$01D0G5\r$01D005\r"), "ASCII 01 D0 05", 8},
    };
    for (const Row& row : rows) {
        RequestFramer framer(0);
        EXPECT_EQ(Describe(FeedAll(framer, row.stream)), row.expected) << row.name;
        EXPECT_EQ(framer.DroppedBytes(), row.dropped) << row.name;
    }
}

TEST(RequestFramer, OverlongTextIsAbandoned)
{
    RequestFramer framer(0);
    std::vector<uint8_t> stream = Text("$" + std::string(RequestFramer::kMaxTextChars + 10, '0'));
    EXPECT_TRUE(FeedAll(framer, stream).empty());
    EXPECT_LT(framer.PendingBytes(), RequestFramer::kMaxTextChars + 2);
    EXPECT_EQ(Describe(FeedAll(framer, Bytes("01 D0 05 BD C3"))), "RTU 01 D0 05");
}

TEST(RequestFramer, QuietGapThrowsAwayAPartialRequest)
{
    RequestFramer framer(100);
    EXPECT_TRUE(FeedAll(framer, Bytes("01 D0"), 1000).empty());
    // The rest comes too late: the head is gone, the tail alone is no request.
    EXPECT_TRUE(FeedAll(framer, Bytes("05 BD C3"), 1101).empty());
    EXPECT_EQ(Describe(FeedAll(framer, Bytes("01 D0 05 BD C3"), 1102)), "RTU 01 D0 05");

    // Within the gap the pieces still join.
    EXPECT_TRUE(FeedAll(framer, Bytes("01 D0"), 2000).empty());
    EXPECT_EQ(Describe(FeedAll(framer, Bytes("05 BD C3"), 2100)), "RTU 01 D0 05");
}

TEST(RequestFramer, ZeroGapNeverThrowsAway)
{
    RequestFramer framer(0);
    EXPECT_TRUE(FeedAll(framer, Text("$01D0"), 0).empty());
    EXPECT_EQ(Describe(FeedAll(framer, Text("05\r"), 1000000)), "ASCII 01 D0 05");
}

TEST(LineRecovery, AnswersAfterLongNoise)
{
    ManualClock clock;
    LineConfig config = OneController(Framing::Rtu, 1);
    ControllerConfig text;
    text.address = 2;
    text.framing = Framing::Ascii;
    text.readPassword = "abc";
    config.controllers.push_back(text);
    config.controllers[0].presets = {{Area::Ram, 5, Bytes("11 22 33 44 55 66 77 88")}};
    Line line(clock, config);

    std::mt19937 rng(1234);
    std::vector<uint8_t> chunk;
    for (int i = 0; i < 5000; ++i) {
        chunk.assign(1 + rng() % 16, 0);
        for (uint8_t& b : chunk)
            b = static_cast<uint8_t>(rng());
        line.Feed(chunk);
        clock.AdvanceMs(1);
    }
    clock.AdvanceMs(200);
    EXPECT_EQ(HexDump(Joined(line.Feed(Bytes("01 D0 05 BD C3")))), "01 11 22 33 44 55 66 77 88 E6 2B");
    EXPECT_EQ(Joined(line.Feed(Text("$02D005\r"))), Text("?02FF\r"));
}

}  // namespace
}  // namespace tervex::sim::test
