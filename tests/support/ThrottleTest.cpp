#include "support/Throttle.h"

#include <gtest/gtest.h>

namespace sheetfray::testing {
namespace {

TEST(Throttle, WorkThatNeverRanIsDue)
{
    const Throttle throttle(std::chrono::hours(1));
    EXPECT_TRUE(throttle.isDue());
}

TEST(Throttle, WorkWaitsForTheIntervalAfterItRan)
{
    Throttle hourly(std::chrono::hours(1));
    hourly.restart();
    EXPECT_FALSE(hourly.isDue());
    Throttle always(Throttle::Clock::duration::zero());
    always.restart();
    EXPECT_TRUE(always.isDue());
}

} // namespace
} // namespace sheetfray::testing
