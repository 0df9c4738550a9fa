#include "tools/host/core/LookPlan.h"

#include <gtest/gtest.h>

namespace tervex::host {
namespace {

constexpr int64_t kChar = 100;  // microseconds per character

// Looks every 100 us from `from` up to `to` (exclusive) and finds nothing.
void LookEmpty(LookPlan& plan, int64_t from, int64_t to) {
    for (int64_t t = from; t < to; t += 100) plan.Looked(false, t);
}

// One exchange: five request characters written at writeUs, looks that find
// nothing from the first sensible moment, and the answer found at answerUs.
void Exchange(LookPlan& plan, int64_t writeUs, int64_t answerUs) {
    plan.Wrote(5, writeUs);
    LookEmpty(plan, plan.NextLookUs(), answerUs);
    plan.Looked(true, answerUs);
}

TEST(LookPlan, NoLookWhileTheRequestIsOnTheWireThenLearnsTheTurnaround) {
    LookPlan plan(kChar);
    plan.Wrote(5, 0);
    // Five request characters, then at least one answer character.
    EXPECT_EQ(plan.NextLookUs(), 600);
    EXPECT_FALSE(plan.TurnaroundUs());

    LookEmpty(plan, 600, 3000);  // the last empty look is at 2900
    plan.Looked(true, 3000);
    // The first character ended after 2900, so it started after 2800: the
    // turnaround after the request's end at 500 was at least 2300.
    EXPECT_EQ(plan.TurnaroundUs(), 2300);
    EXPECT_EQ(plan.NextLookUs(), 3050) << "the next character is half a character away at the soonest";

    plan.Wrote(5, 10000);
    EXPECT_EQ(plan.NextLookUs(), 10000 + 600 + 2300);
}

TEST(LookPlan, TurnaroundFollowsTheAnswersByEighths) {
    LookPlan plan(kChar);
    Exchange(plan, 0, 3000);
    ASSERT_EQ(plan.TurnaroundUs(), 2300);

    // A slower answer (at least 3100): an eighth of the 800 us more is taken.
    Exchange(plan, 10000, 13800);
    EXPECT_EQ(plan.TurnaroundUs(), 2400);

    // Bytes already there at the first look say nothing of how early they
    // came: the estimate drifts down by an eighth, so looking starts sooner.
    plan.Wrote(5, 20000);
    plan.Looked(true, plan.NextLookUs());
    EXPECT_EQ(plan.TurnaroundUs(), 2100);
    plan.Wrote(5, 30000);
    EXPECT_EQ(plan.NextLookUs(), 30000 + 600 + 2100);
}

TEST(LookPlan, LooksBetweenExchangesChangeNothing) {
    LookPlan plan(kChar);
    Exchange(plan, 0, 1200);
    ASSERT_EQ(plan.TurnaroundUs(), 1100 - kChar - 500);
    // Idle looks and stray bytes outside an exchange do not touch the estimate.
    LookEmpty(plan, 5000, 6000);
    plan.Looked(true, 6000);
    EXPECT_EQ(plan.TurnaroundUs(), 500);
}

}  // namespace
}  // namespace tervex::host
