#include "utils/logging/RateLimitedLog.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

TEST(RateLimitedLog, LetsABurstThroughPerWindowAndSaysHowManyWereLeftOut)
{
    using namespace std::chrono_literals;
    unsigned long omitted = 99;
    Norvik::Utils::RateLimitedLog hourly(3, 1h);
    for (int line = 0; line < 8; ++line) {
        EXPECT_EQ(hourly.admit(omitted), line < 3) << line;
    }

    // Whether the next lines still fall in the short window depends on the machine; the count of
    // those held back is said by the first line of the next window.
    Norvik::Utils::RateLimitedLog brief(1, 20ms);
    ASSERT_TRUE(brief.admit(omitted));
    unsigned long held = 0;
    for (int line = 0; line < 5; ++line) {
        held = brief.admit(omitted) ? 0 : held + 1;
    }
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(brief.admit(omitted));
    EXPECT_EQ(omitted, held);
}
