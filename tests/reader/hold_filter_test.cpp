// How a card held on a reader that repeats its frame becomes one read.

#include "tags/HoldFilter.h"

#include <gtest/gtest.h>

namespace
{

using std::chrono::milliseconds;

TEST(HoldFilter, AHeldCardIsOneReadUntilItWasAwayForTheHoldTime)
{
    HoldFilter filter(milliseconds(500));
    HoldFilter::Clock::time_point start{};
    auto at = [&](int ms) { return start + milliseconds(ms); };

    // Held for two seconds, a frame every 60 ms.
    int passed = 0;
    int t = 0;
    for (; t < 2000; t += 60)
        passed += filter.Pass("door", "04A1", at(t));
    EXPECT_EQ(passed, 1);
    // Lifted for less than the hold time: still the same read.
    EXPECT_FALSE(filter.Pass("door", "04A1", at(t + 400)));
    // Away for the hold time: a new read.
    EXPECT_TRUE(filter.Pass("door", "04A1", at(t + 400 + 500)));
}

TEST(HoldFilter, CardsAndReadersAreHeldApart)
{
    HoldFilter filter(milliseconds(500));
    HoldFilter::Clock::time_point start{};
    auto at = [&](int ms) { return start + milliseconds(ms); };

    EXPECT_TRUE(filter.Pass("door", "04A1", at(0)));
    EXPECT_TRUE(filter.Pass("door", "04B2", at(10)));
    EXPECT_TRUE(filter.Pass("desk", "04A1", at(20)));
    // Two cards in the field at once, read in turn: each is one read.
    for (int t = 60; t < 1000; t += 60) {
        EXPECT_FALSE(filter.Pass("door", "04A1", at(t)));
        EXPECT_FALSE(filter.Pass("door", "04B2", at(t + 30)));
    }

    HoldFilter none(milliseconds(0));
    EXPECT_TRUE(none.Pass("door", "04A1", at(0)));
    EXPECT_TRUE(none.Pass("door", "04A1", at(1)));
}

} // namespace
