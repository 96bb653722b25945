// The relay lamp types against a real Modbus RTU peer on the far end of the lamp's serial line:
// the board's coils must follow the lamp's colours, one write per colour call.

#include "tests/driver/LampExports.h"
#include "tests/driver/RelayBoard.h"

#include <gtest/gtest.h>

namespace {

using Reports = std::vector<std::string>;

class ModbusPeerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(board.start()); }
    void TearDown() override { lamp.CloseConnectBrillLamp(); }

    DriverTest::RelayBoard board;
    DriverTest::LampExports lamp;
};

TEST_F(ModbusPeerTest, LampType3SwitchesRedGreenBlueRelays)
{
    ASSERT_TRUE(lamp.InitBrillLamp(3, board.port()));
    lamp.RedOpenBrillLamp();
    lamp.GreenOpenBrillLamp();
    lamp.BlueOpenBrillLamp();
    lamp.YellowOpenBrillLamp();
    lamp.RedCloseBrillLamp();
    lamp.GreenCloseBrillLamp();
    const Reports expected = {"coils=100", "coils=110", "coils=111", "coils=011", "coils=001"};
    EXPECT_EQ(expected, board.reports(expected.size()));
}

TEST_F(ModbusPeerTest, LampType5SwitchesRedYellowGreenRelays)
{
    ASSERT_TRUE(lamp.InitBrillLamp(5, board.port()));
    lamp.RedOpenBrillLamp();
    lamp.YellowOpenBrillLamp();
    lamp.BlueOpenBrillLamp();
    lamp.GreenOpenBrillLamp();
    lamp.YellowCloseBrillLamp();
    const Reports expected = {"coils=100", "coils=110", "coils=111", "coils=101"};
    EXPECT_EQ(expected, board.reports(expected.size()));
}

// Type 5 after type 3 on the same port and board: yellow on coil 1, green on coil 2, no blue.
TEST_F(ModbusPeerTest, RelayBoardFollowsLampTypes3And5)
{
    ASSERT_TRUE(lamp.InitBrillLamp(3, board.port()));
    lamp.RedCloseBrillLamp();
    lamp.GreenCloseBrillLamp();
    lamp.BlueCloseBrillLamp();
    ASSERT_EQ((Reports{"coils=000", "coils=000", "coils=000"}), board.reports(3));
    lamp.RedOpenBrillLamp();
    ASSERT_EQ(Reports{"coils=100"}, board.reports(1));
    lamp.BlueOpenBrillLamp();
    ASSERT_EQ(Reports{"coils=101"}, board.reports(1));
    lamp.GreenOpenBrillLamp();
    ASSERT_EQ(Reports{"coils=111"}, board.reports(1));
    lamp.RedCloseBrillLamp();
    ASSERT_EQ(Reports{"coils=011"}, board.reports(1));
    lamp.CloseConnectBrillLamp();

    ASSERT_TRUE(lamp.InitBrillLamp(5, board.port()));
    lamp.GreenCloseBrillLamp();
    ASSERT_EQ(Reports{"coils=010"}, board.reports(1));
    lamp.YellowCloseBrillLamp();
    ASSERT_EQ(Reports{"coils=000"}, board.reports(1));
    lamp.BlueOpenBrillLamp();
    lamp.RedOpenBrillLamp();
    ASSERT_EQ(Reports{"coils=100"}, board.reports(1));
    lamp.YellowOpenBrillLamp();
    ASSERT_EQ(Reports{"coils=110"}, board.reports(1));
    lamp.GreenOpenBrillLamp();
    ASSERT_EQ(Reports{"coils=111"}, board.reports(1));
}

} // namespace
