// Refresh periods in constant memory.
#include <gtest/gtest.h>

#include "tools/host/core/PeriodStats.h"

using namespace tervex::host;

TEST(PeriodStats, MeanAndPercentilesWithinOnePercent) {
    PeriodStats empty;
    EXPECT_EQ(empty.MeanMs(), 0.0);
    EXPECT_EQ(empty.PercentileMs(0.99), 0.0);

    // 98 intervals of 100 ms, one of 150 ms, one of 400 ms.
    PeriodStats stats;
    for (int i = 0; i < 98; ++i) stats.Add(100000);
    stats.Add(150000);
    stats.Add(400000);
    EXPECT_EQ(stats.Count(), 100);
    EXPECT_DOUBLE_EQ(stats.MeanMs(), 103.5);
    EXPECT_NEAR(stats.PercentileMs(0.5), 100.0, 1.0);
    EXPECT_GE(stats.PercentileMs(0.5), 100.0);
    EXPECT_NEAR(stats.PercentileMs(0.99), 150.0, 1.5);
    EXPECT_NEAR(stats.PercentileMs(1.0), 400.0, 4.0);

    // Beyond the last bucket still counts, as the longest there is.
    stats.Add(int64_t{1} << 50);
    EXPECT_GT(stats.PercentileMs(1.0), 1e7);
}
