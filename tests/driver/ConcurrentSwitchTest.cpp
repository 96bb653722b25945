// The service switches red, green and blue of lamp type 6 from three threads at once.

#include "tests/driver/DriverTestSupport.h"
#include "portaccess/simulated/LampSimState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <thread>

namespace {

using DriverTest::entry;
using DriverTest::InitCall;
using DriverTest::VoidCall;

TEST(ConcurrentSwitch, ThreeThreadsSwitchTheirOwnColours)
{
    DriverTest::TempDir dir;
    ::setenv("LAMPSIM_STATE", dir.file("chip.state").c_str(), 1);
    void* library = ::dlopen(DriverTest::libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, library) << ::dlerror();
    ASSERT_TRUE(entry<InitCall>(library, "InitBrillLamp")(6, 0));
    LampSim::StateFile chip(dir.file("chip.state"));

    const char* on[] = {"RedOpenBrillLamp", "GreenOpenBrillLamp", "BlueOpenBrillLamp"};
    const char* off[] = {"RedCloseBrillLamp", "GreenCloseBrillLamp", "BlueCloseBrillLamp"};
    for (int round = 0; round < 4; ++round) {
        const bool lit = round % 2 == 0;
        std::vector<std::thread> threads;
        for (int colour = 0; colour < 3; ++colour)
            threads.emplace_back(entry<VoidCall>(library, lit ? on[colour] : off[colour]));
        for (auto& thread : threads)
            thread.join();
        const std::uint8_t expected[] = {static_cast<std::uint8_t>(lit ? 0xF7 : 0xFF),
                                         static_cast<std::uint8_t>(lit ? 0xEF : 0xFF),
                                         static_cast<std::uint8_t>(lit ? 0x7F : 0xFF)};
        EXPECT_EQ(expected[0], chip.readByte(0xA09)) << round;
        EXPECT_EQ(expected[1], chip.readByte(0xA04)) << round;
        EXPECT_EQ(expected[2], chip.readByte(0xA02)) << round;
    }
    entry<VoidCall>(library, "CloseConnectBrillLamp")();
    EXPECT_TRUE(chip.locked());
    ::unsetenv("LAMPSIM_STATE");
}

} // namespace
