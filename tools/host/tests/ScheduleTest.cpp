// Read and write scheduling against a clock moved by hand.
#include <gtest/gtest.h>

#include <vector>

#include "tools/host/core/Schedule.h"

using namespace tervex::host;
using Due = std::vector<size_t>;

TEST(Schedule, ReadsComeAtEachItemsOwnRateFromTheStart) {
    Schedule s;
    s.AddItem(100);
    s.AddItem(250);
    EXPECT_EQ(s.TakeDueReads(0), (Due{0, 1}));
    s.ReadDone(0);
    s.ReadDone(1);
    EXPECT_EQ(s.TakeDueReads(99), Due{});
    EXPECT_EQ(s.NextDueMs(), 100);
    EXPECT_EQ(s.TakeDueReads(100), Due{0});
    s.ReadDone(0);
    EXPECT_EQ(s.TakeDueReads(200), Due{0});
    s.ReadDone(0);
    EXPECT_EQ(s.TakeDueReads(250), Due{1});
    s.ReadDone(1);
    // A late look keeps the phase: the next slots stay on multiples of the rate.
    EXPECT_EQ(s.TakeDueReads(340), Due{0});
    s.ReadDone(0);
    EXPECT_EQ(s.TakeDueReads(399), Due{});
    EXPECT_EQ(s.TakeDueReads(400), Due{0});
    EXPECT_EQ(s.Overruns(0), 0);
}

TEST(Schedule, AnOutstandingReadMakesUpItsMissedSlotsWithOneReadWhenDone) {
    Schedule s;
    s.AddItem(100);
    EXPECT_EQ(s.TakeDueReads(0), Due{0});
    EXPECT_TRUE(s.Outstanding(0));
    EXPECT_EQ(s.TakeDueReads(100), Due{});
    EXPECT_EQ(s.Overruns(0), 1);
    EXPECT_EQ(s.TakeDueReads(350), Due{}) << "slots 200 and 300 pass as well";
    EXPECT_EQ(s.Overruns(0), 3);
    EXPECT_EQ(s.NextDueMs(), std::nullopt) << "nothing is due while the only item is outstanding";
    s.ReadDone(0);
    EXPECT_EQ(s.NextDueMs(), 300) << "owed since the last missed slot";
    EXPECT_EQ(s.TakeDueReads(360), Due{0}) << "one read makes up the three missed slots";
    s.ReadDone(0);
    EXPECT_EQ(s.TakeDueReads(399), Due{}) << "then the item keeps its phase";
    EXPECT_EQ(s.TakeDueReads(400), Due{0});
    EXPECT_EQ(s.Overruns(0), 3);
}

TEST(Schedule, WritesGoOnceWhenTheirTimeComesInTheOrderGiven) {
    Schedule s;
    s.AddItem(1000);
    s.AddWrite(500, 0);
    s.AddWrite(0, 0);
    s.AddWrite(500, 0);
    EXPECT_EQ(s.PendingWrites(), 3u);
    EXPECT_EQ(s.TakeDueWrites(0), Due{1});
    EXPECT_EQ(s.TakeDueWrites(0), Due{});
    EXPECT_EQ(s.TakeDueReads(0), Due{0});
    EXPECT_EQ(s.NextDueMs(), 500);
    EXPECT_EQ(s.TakeDueWrites(700), (Due{0, 2}));
    EXPECT_EQ(s.PendingWrites(), 0u);
}
