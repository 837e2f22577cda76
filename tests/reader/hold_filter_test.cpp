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

TEST(HoldFilter, EachReaderHoldsForAboutTwiceItsOwnPace)
{
    HoldFilter::Clock::time_point start{};
    auto at = [&](int ms) { return start + milliseconds(ms); };
    for (int pace : {100, 500, 900}) {
        HoldFilter filter(milliseconds(500));
        // Held for ten seconds, with a frame lost now and then and two read
        // at once: one read.
        int passed = 0;
        int t = 0;
        for (int i = 0; t < 10000; i++, t += pace) {
            if (i % 7 != 3)
                passed += filter.Pass("door", "04A1", at(t));
            if (i % 5 == 2)
                passed += filter.Pass("door", "04A1", at(t + 1));
        }
        EXPECT_EQ(passed, 1) << pace;
        auto hold = filter.HoldOf("door");
        EXPECT_LE(hold, std::max(milliseconds(500), milliseconds(pace * 21 / 10))) << pace;
        EXPECT_GE(hold, std::max(milliseconds(500), milliseconds((pace - 1) * 21 / 10))) << pace;
        // Away for two seconds: a new read; the other readers know nothing of
        // this one's pace.
        t += 2000 - pace;
        EXPECT_TRUE(filter.Pass("door", "04A1", at(t))) << pace;
        EXPECT_FALSE(filter.Pass("door", "04A1", at(t + pace))) << pace;
        EXPECT_EQ(filter.HoldOf("desk"), HoldFilter::kSlowestRepeat);
    }
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
