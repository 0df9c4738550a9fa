// Tables, result words and the summary's counting.
#include <gtest/gtest.h>

#include <string>

#include "tools/host/core/Outcome.h"
#include "tools/host/core/Stats.h"
#include "tools/host/core/TextFields.h"
#include "tools/host/core/TextTable.h"

using namespace tervex::host;

TEST(TextTable, LinesUpColumnsByCharactersNotBytes) {
    TextTable t;
    t.AddColumn("Item");
    t.AddColumn("n", TextTable::Align::Right);
    t.AddRow({"ОЗУ", "5"});
    t.AddRow({"Longer", "123"});
    EXPECT_EQ(t.Render(""),
              "Item      n\n"
              "------  ---\n"
              "ОЗУ       5\n"
              "Longer  123\n");
}

TEST(TextFields, SplittingAndNumbers) {
    EXPECT_EQ(*SplitFields("a  \"b c\" d=\"e f\" # rest"), (std::vector<std::string>{"a", "b c", "d=\"e f\""}));
    EXPECT_FALSE(SplitFields("a \"b"));
    EXPECT_EQ(SplitAssignment("k = v # c")->second, "v");
    EXPECT_EQ(SplitAssignment("k = a#b")->second, "a#b") << "# starts a comment only after a blank";
    EXPECT_EQ(SplitAssignment("k = \" x # y \"")->second, " x # y ");
    EXPECT_EQ(SplitAssignment("k =")->second, "");
    EXPECT_FALSE(SplitAssignment("= v"));
    EXPECT_EQ(ParseInteger("0x1F"), 31);
    EXPECT_EQ(ParseInteger("-12"), -12);
    EXPECT_FALSE(ParseInteger("12a"));
    EXPECT_FALSE(ParseInteger("0x"));
    EXPECT_FALSE(ParseInteger("99999999999999999999"));
    EXPECT_EQ(ParseDecimal("2.5"), 2.5);
    EXPECT_FALSE(ParseDecimal("2,5"));
    EXPECT_FALSE(ParseDecimal("1e3"));
    EXPECT_EQ(DisplayWidth("Котёл"), 5u);
}

TEST(Outcome, WordsForResultsAndQualities) {
    EXPECT_EQ(ResultText(0), "ok");
    EXPECT_EQ(ResultText(0xCFFF0001), "no answer");
    EXPECT_EQ(ResultText(0xCFFF0002), "CRC error");
    EXPECT_EQ(ResultText(0xCFFF0005), "wrong answer");
    EXPECT_EQ(ResultText(0x80004005), "E_FAIL");
    EXPECT_EQ(ResultText(0x80070005), "0x80070005");
    EXPECT_EQ(QualityText(0xC0), "good");
    EXPECT_EQ(QualityText(0x0218), "bad 0x0218");
    EXPECT_EQ(QualityText(0), "bad 0x0000");
    EXPECT_EQ(QualityText(0x40), "uncertain 0x0040");
}

TEST(Stats, TransfersCountFramesForTheFirstTaskAndSharesForTheOthers) {
    ItemStats first;
    CountTransfer(first, 1, 0, 1);  // answered at the first try
    CountTransfer(first, 1, 2, 1);  // answered at the third
    CountTransfer(first, 0, 3, 1);  // three tries, no answer
    EXPECT_EQ(first.frames, 1 + 3 + 3);
    EXPECT_EQ(first.sharedReads, 0);
    ItemStats rider;
    CountTransfer(rider, 1, 0, 0);
    CountTransfer(rider, 0, 3, 0);
    EXPECT_EQ(rider.frames, 0);
    EXPECT_EQ(rider.sharedReads, 2);

    NodeStats node;
    for (uint32_t r : {0u, 0u, 0xCFFF0001u, 0xCFFF0002u, 0xCFFF0005u, 0x80004005u, 0x12345678u}) node.Count(r);
    EXPECT_EQ(node.good, 2);
    EXPECT_EQ(node.noAnswer, 1);
    EXPECT_EQ(node.crcError, 1);
    EXPECT_EQ(node.wrongAnswer, 1);
    EXPECT_EQ(node.failed, 2);
    EXPECT_EQ(node.Bad(), 5);
}
