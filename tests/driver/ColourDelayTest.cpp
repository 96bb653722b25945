// Every colour export waits 50 ms before it does anything, even when there is nothing to do.

#include "tests/driver/DriverTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <dlfcn.h>

namespace {

using DriverTest::entry;
using DriverTest::InitCall;
using DriverTest::VoidCall;

TEST(ColourDelay, EveryColourExportWaitsFiftyMilliseconds)
{
    void* library = ::dlopen(DriverTest::libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, library) << ::dlerror();
    auto init = entry<InitCall>(library, "InitBrillLamp");
    ASSERT_NE(nullptr, init);
    EXPECT_FALSE(init(9, 0));
    for (const char* name :
         {"RedOpenBrillLamp", "RedCloseBrillLamp", "GreenOpenBrillLamp", "GreenCloseBrillLamp", "BlueOpenBrillLamp",
          "BlueCloseBrillLamp", "YellowOpenBrillLamp", "YellowCloseBrillLamp"}) {
        auto call = entry<VoidCall>(library, name);
        ASSERT_NE(nullptr, call) << name;
        const auto start = std::chrono::steady_clock::now();
        call();
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50)) << name;
    }
    auto close = entry<VoidCall>(library, "CloseConnectBrillLamp");
    const auto start = std::chrono::steady_clock::now();
    close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50)) << "closing does not wait";
}

} // namespace
