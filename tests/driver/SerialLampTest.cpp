// Serial lamp types: the exports called in this process, the bytes on the far end of the line.

#include "tests/driver/LampExports.h"
#include "tests/driver/SerialLine.h"

#include <gtest/gtest.h>

namespace {

using DriverTest::Coil0Off;
using DriverTest::Coil0On;
using DriverTest::Coil1Off;
using DriverTest::Coil1On;
using DriverTest::Coil2Off;
using DriverTest::Coil2On;
using DriverTest::SerialLine;

class SerialLampTest : public ::testing::Test {
protected:
    void TearDown() override { lamp.CloseConnectBrillLamp(); }

    // Each call, then the bytes that must arrive next on the line; none: the line stays silent.
    void run(const std::vector<std::pair<DriverTest::LampExports::Action, DriverTest::Bytes>>& steps)
    {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            steps[i].first();
            const DriverTest::Bytes& sent = steps[i].second;
            ASSERT_TRUE(sent.empty() ? line.silent() : line.received(sent)) << "step " << i;
        }
    }

    SerialLine line;
    DriverTest::LampExports lamp;
};

TEST_F(SerialLampTest, LampType3SendsOneFramePerColourCommand)
{
    ASSERT_TRUE(lamp.InitBrillLamp(3, line.port()));
    ASSERT_TRUE(line.silent()) << "nothing is sent on open";
    run({{lamp.RedOpenBrillLamp, Coil0On},
         {lamp.RedCloseBrillLamp, Coil0Off},
         {lamp.GreenOpenBrillLamp, Coil1On},
         {lamp.GreenCloseBrillLamp, Coil1Off},
         {lamp.GreenCloseBrillLamp, Coil1Off}, // again, though already off
         {lamp.BlueOpenBrillLamp, Coil2On},
         {lamp.BlueCloseBrillLamp, Coil2Off},
         {lamp.YellowOpenBrillLamp, {}},
         {lamp.CloseConnectBrillLamp, {}},
         {lamp.RedOpenBrillLamp, {}}});
}

TEST_F(SerialLampTest, LampType5HasYellowOnCoil1AndNoBlue)
{
    ASSERT_TRUE(lamp.InitBrillLamp(5, line.port()));
    run({{lamp.GreenOpenBrillLamp, Coil2On},
         {lamp.YellowOpenBrillLamp, Coil1On},
         {lamp.BlueOpenBrillLamp, {}},
         {lamp.BlueCloseBrillLamp, {}},
         {lamp.RedOpenBrillLamp, Coil0On},
         {lamp.YellowCloseBrillLamp, Coil1Off},
         {lamp.GreenCloseBrillLamp, Coil2Off},
         {lamp.CloseConnectBrillLamp, {}}});
}

TEST_F(SerialLampTest, LampType4SendsItsStateByte)
{
    ASSERT_TRUE(lamp.InitBrillLamp(4, line.port()));
    ASSERT_TRUE(line.silent());
    run({{lamp.GreenOpenBrillLamp, {0xF1}},
         {lamp.RedOpenBrillLamp, {0xF3}},
         {lamp.BlueOpenBrillLamp, {0xF7}},
         {lamp.GreenCloseBrillLamp, {0xF6}},
         {lamp.YellowOpenBrillLamp, {}},
         {lamp.CloseConnectBrillLamp, {0xF0}}});

    ASSERT_TRUE(lamp.InitBrillLamp(4, line.port()));
    ASSERT_TRUE(line.silent());
    run({{lamp.BlueOpenBrillLamp, {0xF4}},
         {lamp.BlueCloseBrillLamp, {0xF0}},
         {lamp.YellowOpenBrillLamp, {}},
         {lamp.CloseConnectBrillLamp, {0xF0}},
         {lamp.CloseConnectBrillLamp, {}}}); // the second close finds the port closed
}

TEST_F(SerialLampTest, PortTenAndAboveReachTheirDevice)
{
    SerialLine high(SerialLine::High);
    ASSERT_GE(high.port(), 10);
    ASSERT_TRUE(lamp.InitBrillLamp(4, high.port()));
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(high.received({0xF2}));
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(high.received({0xF0}));
}

TEST_F(SerialLampTest, MissingPortFailsInitialisation)
{
    ASSERT_FALSE(lamp.InitBrillLamp(3, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(4, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(5, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(5, -3));
    lamp.RedOpenBrillLamp();
    lamp.CloseConnectBrillLamp();
}

TEST_F(SerialLampTest, ClosingTwiceReleasesThePortOnce)
{
    ASSERT_TRUE(lamp.InitBrillLamp(3, line.port()));
    lamp.CloseConnectBrillLamp();
    lamp.CloseConnectBrillLamp();
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(line.silent());
    ASSERT_TRUE(lamp.InitBrillLamp(3, line.port()));
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(line.received(Coil0On));
}

TEST_F(SerialLampTest, InitialisingAnOpenTypeAgainReplacesItsHandle)
{
    const int before = line.openHandles();
    ASSERT_TRUE(lamp.InitBrillLamp(5, line.port()));
    ASSERT_EQ(line.openHandles(), before + 1);
    ASSERT_TRUE(lamp.InitBrillLamp(5, line.port()));
    ASSERT_EQ(line.openHandles(), before + 1);
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(line.received(Coil2On));
    ASSERT_TRUE(line.silent()) << "one frame, from one handle";
    lamp.CloseConnectBrillLamp();
    ASSERT_EQ(line.openHandles(), before);
    lamp.CloseConnectBrillLamp();
    ASSERT_EQ(line.openHandles(), before);
}

} // namespace
