// Frame codec: CRC, hex characters, the two framings, the ASCII assembler, the stopwatch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/AsciiAssembler.h"
#include "protocol/Crc16.h"
#include "protocol/Framing.h"
#include "protocol/Hex.h"
#include "protocol/StopWatch.h"
#include "protocol_rig.h"

using namespace tervex;
using rig::Bytes;
using rig::Text;

namespace {

Bytes Crc(const Bytes& data) {
    const uint16_t crc = CalcCrc16(data.data(), data.size());
    return {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)};
}

struct ManualTicks : ITickSource {
    uint32_t now = 0;
    uint32_t TickCount() override { return now; }
};

}  // namespace

TEST(Crc16, CheckValuesAndEmptyInput) {
    const Bytes digits = Text("123456789");
    EXPECT_EQ(CalcCrc16(digits.data(), digits.size()), 0x4B37);
    EXPECT_EQ(rig::ReferenceCrc(digits), 0x4B37);  // the tests' own oracle agrees
    EXPECT_EQ(CalcCrc16(nullptr, 0), 0xFFFF);
}

// Worked frames: the last two bytes are the CRC of the rest, low byte first.
TEST(Crc16, WorkedFramesEndInTheirCrc) {
    const std::vector<Bytes> frames = {
        {0x01, 0xD0, 0x05, 0xBD, 0xC3},
        {0x01, 0xD2, 0x01, 0x20, 0xA1, 0xA9},
        {0x01, 0xB0, 0x05, 0x08, 0x02, 0xA9},
        {0x01, 0xE0, 0x05, 0x34, 0x12, 0xA8, 0xCC},
        {0x01, 0xE0, 0x01, 0xA8},
        {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B},
    };
    for (const Bytes& f : frames) {
        EXPECT_EQ(Crc(Bytes(f.begin(), f.end() - 2)), Bytes(f.end() - 2, f.end())) << rig::Hex(f);
        EXPECT_TRUE(HasValidCrc16(f.data(), f.size())) << rig::Hex(f);
        Bytes broken = f;
        broken[1] ^= 0x40;
        EXPECT_TRUE(IsCrcError(broken.data(), broken.size())) << rig::Hex(f);
    }
}

TEST(Crc16, OneOrTwoBytesAreNeverACrcError) {
    const Bytes one = {0xFF};
    const Bytes two = {0xFF, 0xFF};  // CRC of nothing is 0xFFFF: looks like a CRC
    EXPECT_FALSE(IsCrcError(one.data(), one.size()));
    EXPECT_FALSE(IsCrcError(two.data(), two.size()));
    EXPECT_FALSE(HasValidCrc16(two.data(), two.size()));
}

TEST(Hex, NibblesAndPairs) {
    EXPECT_EQ(NibbleToHexChar(0), '0');
    EXPECT_EQ(NibbleToHexChar(9), '9');
    EXPECT_EQ(NibbleToHexChar(10), 'A');
    EXPECT_EQ(NibbleToHexChar(15), 'F');
    EXPECT_EQ(NibbleToHexChar(16), 0);
    struct Row {
        char c;
        uint8_t nibble;
    };
    for (const Row& r : {Row{'0', 0}, Row{'9', 9}, Row{'A', 10}, Row{'F', 15}, Row{'a', 0}, Row{'f', 0},
                         Row{'G', 0}, Row{' ', 0}, Row{'\r', 0}}) {
        EXPECT_EQ(HexCharToNibble(r.c), r.nibble) << r.c;
    }
    EXPECT_EQ(ByteToHexPair(0xD0), std::make_pair('D', '0'));
    EXPECT_EQ(ByteToHexPair(0x0A), std::make_pair('0', 'A'));
    EXPECT_EQ(HexPairToByte('B', 'D'), 0xBD);
    EXPECT_EQ(HexPairToByte('x', '7'), 0x07);
}

TEST(Framing, AsciiRequestIsHexTextWithoutChecksum) {
    const Bytes rtu = {0x01, 0xD0, 0x05, 0xBD, 0xC3};
    EXPECT_EQ(RtuFraming().EncodeRequest(rtu), rtu);
    const Bytes ascii = AsciiFraming().EncodeRequest(rtu);
    EXPECT_EQ(ascii, Text("$01D005\r"));
    EXPECT_EQ(ascii.size(), 2 * (rtu.size() - 2) + 2);
    EXPECT_EQ(AsciiFraming().EncodeRequest({0x01, 0xD2, 0x01, 0x20, 0xA1, 0xA9}), Text("$01D20120\r"));
}

TEST(Framing, ProtocolTextSelectsTheFraming) {
    EXPECT_STREQ(FramingFor("ASCII").Name(), "ASCII");
    for (const std::string text : {"RTU", "", "ascii", " ASCII", "ASCII "}) {
        EXPECT_STREQ(FramingFor(text).Name(), "RTU") << text;
    }
}

TEST(Framing, TraceTexts) {
    const Bytes rtu = {0x01, 0xD0, 0x05, 0xBD, 0xC3};
    EXPECT_EQ(FrameToText(rtu.data(), rtu.size(), "RTU"), "01 D0 05 BD C3 ");
    EXPECT_EQ(FrameToText(rtu.data(), rtu.size(), ""), "01 D0 05 BD C3 ");
    const Bytes ascii = Text("$01D005\r\n");
    EXPECT_EQ(FrameToText(ascii.data(), ascii.size(), "ASCII"), "$01D005<CR><LF>");
    EXPECT_EQ(FrameToText(nullptr, 3, "RTU"), "");
    EXPECT_EQ(FrameToText(nullptr, 3, "ASCII"), "");
}

TEST(Framing, FrameCompleteness) {
    const Bytes answer = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};
    EXPECT_TRUE(RtuFraming().IsFrameComplete(answer.data(), answer.size()));
    EXPECT_FALSE(RtuFraming().IsFrameComplete(answer.data(), answer.size() - 1));
    const Bytes two = {0xFF, 0xFF};
    EXPECT_FALSE(RtuFraming().IsFrameComplete(two.data(), 1));
    EXPECT_FALSE(RtuFraming().IsFrameComplete(two.data(), 2));
    const Bytes text = Text("!0102\r");
    EXPECT_TRUE(AsciiFraming().IsFrameComplete(text.data(), text.size()));
    EXPECT_FALSE(AsciiFraming().IsFrameComplete(text.data(), text.size() - 1));
}

TEST(Framing, WriteAcknowledgements) {
    const Bytes rtuAck = {0x01, 0xE0, 0x01, 0xA8};
    EXPECT_TRUE(RtuFraming().IsWriteAcknowledged(rtuAck.data(), rtuAck.size(), 1, 0xE0));
    EXPECT_FALSE(RtuFraming().IsWriteAcknowledged(rtuAck.data(), rtuAck.size(), 1, 0xE1));  // echo
    EXPECT_FALSE(RtuFraming().IsWriteAcknowledged(rtuAck.data(), rtuAck.size(), 2, 0xE0));  // address
    EXPECT_FALSE(RtuFraming().IsWriteAcknowledged(rtuAck.data(), 3, 1, 0xE0));              // length
    const Bytes asciiAck = rig::WithCrc({0x01});
    EXPECT_TRUE(AsciiFraming().IsWriteAcknowledged(asciiAck.data(), asciiAck.size(), 1, 0xE0));
    EXPECT_FALSE(AsciiFraming().IsWriteAcknowledged(rtuAck.data(), rtuAck.size(), 1, 0xE0));
}

class Assembler : public ::testing::Test {
protected:
    ManualTicks ticks;
    AsciiAssembler assembler{ticks};

    AsciiAssembler::Result Feed(const std::string& piece) {
        const Bytes b = Text(piece);
        return assembler.Assemble(b.data(), static_cast<int>(b.size()));
    }
    static Bytes Decoded(const AsciiAssembler::Result& r) { return Bytes(r.data, r.data + r.count); }
};

TEST_F(Assembler, DecodesAWholeAnswerAndAppendsItsCrc) {
    const auto r = Feed("!0102\r");
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(Decoded(r), rig::WithCrc({0x01, 0x02}));
    EXPECT_EQ(r.count, 4);
    EXPECT_FALSE(r.resetPasswords);
    EXPECT_EQ(assembler.Count(), 0);
}

TEST_F(Assembler, WorkedReadAnswer) {
    const auto r = Feed("!011122334455667788\r");
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(Decoded(r), (Bytes{0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B}));
}

TEST_F(Assembler, LowerCaseReadsAsZeroAndALoneCharacterIsDropped) {
    const auto r = Feed("!abc\r");
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(Decoded(r), rig::WithCrc({0x00}));
}

TEST_F(Assembler, DropsWhatPrecedesTheStartAndFollowsTheCarriageReturn) {
    const auto r = Feed("xx!0A\rgarbage");
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(Decoded(r), rig::WithCrc({0x0A}));
}

TEST_F(Assembler, PieceWithoutStartIsNotStored) {
    const auto r = Feed("0102\r");
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(assembler.Count(), 0);
    EXPECT_FALSE(assembler.GapWatchRunning());
}

TEST_F(Assembler, PiecesCompleteTogetherAndTimeTheGap) {
    ticks.now = 100;
    auto r = Feed("!0111");
    EXPECT_FALSE(r.complete);
    EXPECT_TRUE(assembler.GapWatchRunning());
    ticks.now = 1099;
    EXPECT_FALSE(assembler.GapExpired());
    r = Feed("2233");  // restarts the gap
    EXPECT_FALSE(r.complete);
    ticks.now = 2098;
    EXPECT_FALSE(assembler.GapExpired());
    ticks.now = 2099;
    EXPECT_TRUE(assembler.GapExpired());
    r = Feed("4455667788\r");
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(Decoded(r), (Bytes{0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B}));
    EXPECT_FALSE(assembler.GapWatchRunning());  // a completed answer stops the gap
}

TEST_F(Assembler, HoldsAtMostThirtyCharacters) {
    // 31 characters with the CR: the buffer restarts with the piece cut to 30, which
    // loses the CR and so completes nothing.
    EXPECT_FALSE(Feed("!0102030405060708090A0B0C0D0E0F\r").complete);
    // 14 bytes (30 characters with start and CR) is the longest answer decoded.
    const auto r = Feed("!0102030405060708090A0B0C0D0E\r");
    ASSERT_TRUE(r.complete);
    EXPECT_EQ(r.count, 16);
}

TEST_F(Assembler, QuestionMarkAsksForThePasswordsAgain) {
    const auto r = Feed("?07FF\r");
    ASSERT_TRUE(r.complete);
    EXPECT_TRUE(r.resetPasswords);
    EXPECT_EQ(r.device, 0x07);
    EXPECT_EQ(Decoded(r), rig::WithCrc({0x07, 0xFF}));
}

TEST_F(Assembler, SilenceGivesUpAnIncompleteAnswer) {
    EXPECT_FALSE(Feed("!0111").complete);
    const auto r = assembler.Assemble(nullptr, 0);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.data, nullptr);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(assembler.Count(), 0);
    EXPECT_FALSE(assembler.GapWatchRunning());
}

TEST(StopWatch, CountsAcrossTheTickWrapAndKeepsItsStart) {
    ManualTicks ticks;
    TStopWatch watch(ticks);
    EXPECT_EQ(watch.Elapsed(), 0u);
    ticks.now = 0xFFFFFF00u;
    watch.Start();
    ticks.now = 0x00000100u;  // wrapped
    EXPECT_EQ(watch.Elapsed(), 0x200u);
    watch.Start();  // running: the start stays
    EXPECT_EQ(watch.Elapsed(), 0x200u);
    watch.Stop();
    ticks.now = 0x00009000u;
    EXPECT_EQ(watch.Elapsed(), 0x200u);
    watch.Start();  // resumes on top of what was counted
    ticks.now = 0x00009010u;
    EXPECT_EQ(watch.Elapsed(), 0x210u);
    watch.Restart();
    EXPECT_EQ(watch.Elapsed(), 0u);
    EXPECT_TRUE(watch.Running());
    watch.Reset();
    EXPECT_FALSE(watch.Running());
    EXPECT_EQ(watch.Elapsed(), 0u);
}
