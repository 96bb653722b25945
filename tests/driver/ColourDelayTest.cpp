// Every colour export waits 50 ms before it does anything, even when there is nothing to do.

#include "tests/driver/LampExports.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(ColourDelay, EveryColourExportWaitsFiftyMilliseconds)
{
    const DriverTest::LampExports lamp;
    EXPECT_FALSE(lamp.InitBrillLamp(9, 0));
    for (const char* name :
         {"RedOpenBrillLamp", "RedCloseBrillLamp", "GreenOpenBrillLamp", "GreenCloseBrillLamp", "BlueOpenBrillLamp",
          "BlueCloseBrillLamp", "YellowOpenBrillLamp", "YellowCloseBrillLamp"}) {
        const auto start = std::chrono::steady_clock::now();
        lamp.action(name)();
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50)) << name;
    }
    const auto start = std::chrono::steady_clock::now();
    lamp.CloseConnectBrillLamp();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50)) << "closing does not wait";
}

} // namespace
