// Injected faults: each kind, how often it fires, and that a seed repeats a run.
#include <algorithm>

#include <gtest/gtest.h>

#include "sim/Hex.h"
#include "sim/Line.h"
#include "sim/Outbox.h"
#include "TestUtil.h"

namespace tervex::sim::test {
namespace {

const char* const kRead = "01 D0 05 BD C3";

FaultRule Every(FaultKind kind, uint32_t n)
{
    FaultRule rule;
    rule.kind = kind;
    rule.everyN = n;
    return rule;
}

FaultRule Probability(FaultKind kind, double p)
{
    FaultRule rule;
    rule.kind = kind;
    rule.probability = p;
    return rule;
}

class Faults : public ::testing::Test {
protected:
    void Build(std::vector<FaultRule> rules, Framing framing = Framing::Rtu, uint64_t seed = 1)
    {
        LineConfig config = OneController(framing);
        config.seed = seed;
        config.controllers[0].faults = std::move(rules);
        config.controllers[0].presets = {{Area::Ram, 5, Bytes("11 22 33 44 55 66 77 88")}};
        line = std::make_unique<Line>(clock, config);
    }
    std::vector<Piece> Read() { return line->Feed(Bytes(kRead)); }

    ManualClock clock{1000};
    std::unique_ptr<Line> line;
};

TEST_F(Faults, SilenceEveryThirdRequestIsNotHeard)
{
    Build({Every(FaultKind::Silence, 3)});
    std::string pattern;
    for (int i = 0; i < 7; ++i)
        pattern += Read().empty() ? '-' : 'A';
    EXPECT_EQ(pattern, "AA-AA-A");

    // A write that is not heard is not carried out either.
    Build({Every(FaultKind::Silence, 2)});
    EXPECT_FALSE(line->Feed(Bytes("01 E0 05 34 12 A8 CC")).empty());
    line->Find(1)->Mem().Set(Area::Ram, 5, 0x11);
    EXPECT_TRUE(line->Feed(Bytes("01 E0 05 34 12 A8 CC")).empty());
    EXPECT_EQ(line->Find(1)->Mem().Get(Area::Ram, 5), 0x11);
}

TEST_F(Faults, CorruptedAnswers)
{
    struct Row {
        const char* name;
        FaultKind kind;
        Framing framing;
        std::vector<uint8_t> request;
        std::vector<uint8_t> answer;
    };
    const std::vector<Row> rows = {
        {"binary CRC", FaultKind::BadCrc, Framing::Rtu, Bytes(kRead), Bytes("01 11 22 33 44 55 66 77 88 E6 D4")},
        {"text digit", FaultKind::BadCrc, Framing::Ascii, Text("$01D005\r"), Text("!011122334455667789\r")},
        {"binary read short", FaultKind::WrongLength, Framing::Rtu, Bytes(kRead),
         Bytes("01 11 22 33 44 55 66 77 ED 26")},
        {"binary ack short", FaultKind::WrongLength, Framing::Rtu, Bytes("01 E0 05 34 12 A8 CC"), Bytes("01 7E 80")},
        {"text read short", FaultKind::WrongLength, Framing::Ascii, Text("$01D005\r"), Text("!0111223344556677\r")},
    };
    for (const Row& row : rows) {
        Build({Every(row.kind, 1)}, row.framing);
        const auto pieces = line->Feed(row.request);
        ASSERT_EQ(pieces.size(), 1u) << row.name;
        EXPECT_EQ(HexDump(pieces[0].bytes), HexDump(row.answer)) << row.name;
        EXPECT_EQ(pieces[0].dueMs, 1000) << row.name;
    }
}

TEST_F(Faults, SlowAnswerComesLater)
{
    FaultRule slow = Every(FaultKind::Slow, 2);
    slow.delayMs = 1500;
    LineConfig config = OneController();
    config.controllers[0].faults = {slow};
    config.controllers[0].answerDelayMs = 7;
    line = std::make_unique<Line>(clock, config);

    const auto first = Read();
    const auto second = Read();
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first[0].dueMs, 1007);
    EXPECT_EQ(second[0].dueMs, 1000 + 7 + 1500);
    EXPECT_EQ(first[0].bytes, second[0].bytes);
}

TEST_F(Faults, SplitAnswerComesInPiecesApart)
{
    FaultRule split = Every(FaultKind::Split, 1);
    split.pieces = 3;
    split.gapMs = 10;
    Build({split}, Framing::Ascii);
    for (int i = 0; i < 20; ++i) {
        const auto pieces = line->Feed(Text("$01D005\r"));
        ASSERT_GE(pieces.size(), 2u);
        ASSERT_LE(pieces.size(), 3u);
        EXPECT_EQ(Joined(pieces), Text("!011122334455667788\r"));
        for (size_t k = 0; k < pieces.size(); ++k) {
            EXPECT_FALSE(pieces[k].bytes.empty());
            EXPECT_EQ(pieces[k].dueMs, 1000 + 10 * static_cast<int64_t>(k));
        }
    }
}

TEST_F(Faults, ProbabilityEnds)
{
    Build({Probability(FaultKind::Silence, 0.0)});
    for (int i = 0; i < 50; ++i)
        EXPECT_FALSE(Read().empty());
    Build({Probability(FaultKind::Silence, 1.0)});
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(Read().empty());
}

std::string SilencePattern(std::vector<FaultRule> rules, uint64_t seed, int count)
{
    ManualClock clock;
    LineConfig config = OneController();
    config.seed = seed;
    config.controllers[0].faults = std::move(rules);
    Line line(clock, config);
    std::string pattern;
    for (int i = 0; i < count; ++i)
        pattern += line.Feed(Bytes(kRead)).empty() ? '-' : 'A';
    return pattern;
}

TEST(FaultSeeds, SameSeedSameRunOtherSeedOtherRun)
{
    const std::vector<FaultRule> rules = {Probability(FaultKind::Silence, 0.25)};
    const std::string a = SilencePattern(rules, 42, 200);
    EXPECT_EQ(SilencePattern(rules, 42, 200), a);
    EXPECT_NE(SilencePattern(rules, 43, 200), a);
    const auto silent = std::count(a.begin(), a.end(), '-');
    EXPECT_GT(silent, 20);
    EXPECT_LT(silent, 80);
}

TEST(FaultSeeds, RulesDrawIndependently)
{
    // Adding a rule after the silence rule leaves the silence pattern as it was.
    const FaultRule silence = Probability(FaultKind::Silence, 0.5);
    EXPECT_EQ(SilencePattern({silence, Probability(FaultKind::Slow, 0.5)}, 7, 100),
              SilencePattern({silence}, 7, 100));
}

TEST(FaultSeeds, SplitPointsRepeatWithTheSeed)
{
    const auto cuts = [](uint64_t seed) {
        ManualClock clock;
        LineConfig config = OneController();
        config.seed = seed;
        FaultRule split = Every(FaultKind::Split, 1);
        split.pieces = 4;
        config.controllers[0].faults = {split};
        Line line(clock, config);
        std::vector<size_t> sizes;
        for (int i = 0; i < 30; ++i)
            for (const Piece& p : line.Feed(Bytes(kRead)))
                sizes.push_back(p.bytes.size());
        return sizes;
    };
    EXPECT_EQ(cuts(5), cuts(5));
    EXPECT_NE(cuts(5), cuts(6));
}

TEST(Outbox, ReleasesPiecesWhenDueInOrder)
{
    Outbox outbox;
    outbox.Push({{20, Bytes("03")}, {10, Bytes("01")}});
    outbox.Push({{10, Bytes("02")}});
    EXPECT_EQ(outbox.NextDueMs(), 10);
    EXPECT_TRUE(outbox.TakeDue(9).empty());
    EXPECT_EQ(HexDump(outbox.TakeDue(10)), "01 02");
    EXPECT_EQ(outbox.NextDueMs(), 20);
    EXPECT_EQ(HexDump(outbox.TakeDue(100)), "03");
    EXPECT_TRUE(outbox.Empty());
    EXPECT_FALSE(outbox.NextDueMs().has_value());
}

}  // namespace
}  // namespace tervex::sim::test
