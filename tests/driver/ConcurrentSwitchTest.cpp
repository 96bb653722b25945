// The service switches red, green and blue from three threads at once. On most I/O-port lamp
// types some colours share a register; with the chip's reads slowed, unguarded read-modify-writes
// of one register would overlap and undo each other.

#include "tests/driver/DriverTestSupport.h"
#include "tests/driver/LampExports.h"
#include "lampdriver/LampWiring.h"
#include "portaccess/simulated/LampSimState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace {

bool lit(const LampSim::StateFile& chip, const BrillLamp::LampWiring& wiring, const BrillLamp::LampOutput& output)
{
    const std::uint32_t value = wiring.width == 4 ? chip.readDword(output.port) : chip.readByte(output.port);
    return BrillLamp::outputLit(wiring, output, value);
}

TEST(ConcurrentSwitch, ThreeThreadsSwitchTheirOwnColoursOnEveryIoPortType)
{
    TestSupport::TempDir dir;
    ::setenv("LAMPSIM_STATE", dir.file("chip.state").c_str(), 1);
    ::setenv("LAMPSIM_READ_DELAY_MS", "5", 1);
    const DriverTest::LampExports lamp;
    LampSim::StateFile chip(dir.file("chip.state"));

    const DriverTest::LampExports::Action on[] = {lamp.RedOpenBrillLamp, lamp.GreenOpenBrillLamp,
                                                  lamp.BlueOpenBrillLamp};
    const DriverTest::LampExports::Action off[] = {lamp.RedCloseBrillLamp, lamp.GreenCloseBrillLamp,
                                                   lamp.BlueCloseBrillLamp};
    for (const BrillLamp::LampWiring& wiring : BrillLamp::IoPortLamps) {
        chip.reset();
        ASSERT_TRUE(lamp.InitBrillLamp(wiring.lampType, 0)) << wiring.lampType;
        // Mixed patterns too: a lost update then shows as one colour in the wrong state.
        const bool patterns[][3] = {{true, true, true},   {false, false, false}, {true, false, true},
                                    {false, true, false}, {true, true, false},   {false, false, true}};
        for (const auto& pattern : patterns) {
            std::vector<std::thread> threads;
            for (int colour = 0; colour < 3; ++colour)
                threads.emplace_back(pattern[colour] ? on[colour] : off[colour]);
            for (auto& thread : threads)
                thread.join();
            const std::string where = "type " + std::to_string(wiring.lampType) + " pattern " +
                std::to_string(pattern[0]) + std::to_string(pattern[1]) + std::to_string(pattern[2]);
            EXPECT_EQ(pattern[0], lit(chip, wiring, wiring.red)) << where;
            EXPECT_EQ(pattern[1], lit(chip, wiring, wiring.green)) << where;
            EXPECT_EQ(pattern[2], lit(chip, wiring, wiring.blue)) << where;
        }
        lamp.CloseConnectBrillLamp();
        EXPECT_TRUE(chip.locked()) << wiring.lampType;
    }
    ::unsetenv("LAMPSIM_READ_DELAY_MS");
    ::unsetenv("LAMPSIM_STATE");
}

} // namespace
