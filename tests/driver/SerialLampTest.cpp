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

    SerialLine line;
    DriverTest::LampExports lamp;
};

TEST_F(SerialLampTest, LampType3SendsOneFramePerColourCommand)
{
    ASSERT_TRUE(lamp.InitBrillLamp(3, line.port()));
    ASSERT_TRUE(line.silent()) << "nothing is sent on open";
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(line.received(Coil0On));
    lamp.RedCloseBrillLamp();
    ASSERT_TRUE(line.received(Coil0Off));
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(line.received(Coil1On));
    lamp.GreenCloseBrillLamp();
    ASSERT_TRUE(line.received(Coil1Off));
    lamp.GreenCloseBrillLamp();
    ASSERT_TRUE(line.received(Coil1Off)) << "again, though already off";
    lamp.BlueOpenBrillLamp();
    ASSERT_TRUE(line.received(Coil2On));
    lamp.BlueCloseBrillLamp();
    ASSERT_TRUE(line.received(Coil2Off));
    lamp.YellowOpenBrillLamp();
    ASSERT_TRUE(line.silent());
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(line.silent());
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(line.silent());
}

TEST_F(SerialLampTest, LampType5HasYellowOnCoil1AndNoBlue)
{
    ASSERT_TRUE(lamp.InitBrillLamp(5, line.port()));
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(line.received(Coil2On));
    lamp.YellowOpenBrillLamp();
    ASSERT_TRUE(line.received(Coil1On));
    lamp.BlueOpenBrillLamp();
    lamp.BlueCloseBrillLamp();
    ASSERT_TRUE(line.silent());
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(line.received(Coil0On));
    lamp.YellowCloseBrillLamp();
    ASSERT_TRUE(line.received(Coil1Off));
    lamp.GreenCloseBrillLamp();
    ASSERT_TRUE(line.received(Coil2Off));
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(line.silent());
}

TEST_F(SerialLampTest, LampType4SendsItsStateByte)
{
    ASSERT_TRUE(lamp.InitBrillLamp(4, line.port()));
    ASSERT_TRUE(line.silent());
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(line.received({0xF1}));
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(line.received({0xF3}));
    lamp.BlueOpenBrillLamp();
    ASSERT_TRUE(line.received({0xF7}));
    lamp.GreenCloseBrillLamp();
    ASSERT_TRUE(line.received({0xF6}));
    lamp.YellowOpenBrillLamp();
    ASSERT_TRUE(line.silent());
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(line.received({0xF0}));

    ASSERT_TRUE(lamp.InitBrillLamp(4, line.port()));
    ASSERT_TRUE(line.silent());
    lamp.BlueOpenBrillLamp();
    ASSERT_TRUE(line.received({0xF4}));
    lamp.BlueCloseBrillLamp();
    ASSERT_TRUE(line.received({0xF0}));
    lamp.YellowOpenBrillLamp();
    ASSERT_TRUE(line.silent());
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(line.received({0xF0}));
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(line.silent()) << "the second close finds the port closed";
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
