// The relay lamp types against a real Modbus RTU peer on the far end of the lamp's serial line:
// the board's coils must follow the lamp's colours, one write per colour call.

#include "tests/driver/LampExports.h"
#include "tests/driver/RelayBoard.h"

#include <gtest/gtest.h>

namespace {

class ModbusPeerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(board.start()); }
    void TearDown() override { lamp.CloseConnectBrillLamp(); }

    // Each call, then the board's report after it; none: the call writes nothing, as the next
    // report shows.
    void run(const std::vector<std::pair<DriverTest::LampExports::Action, const char*>>& steps)
    {
        for (std::size_t i = 0; i < steps.size(); ++i) {
            steps[i].first();
            if (steps[i].second) {
                ASSERT_EQ(std::vector<std::string>{steps[i].second}, board.reports(1)) << "step " << i;
            }
        }
    }

    DriverTest::RelayBoard board;
    DriverTest::LampExports lamp;
};

TEST_F(ModbusPeerTest, LampType3SwitchesRedGreenBlueRelays)
{
    ASSERT_TRUE(lamp.InitBrillLamp(3, board.port()));
    run({{lamp.RedOpenBrillLamp, "coils=100"},
         {lamp.GreenOpenBrillLamp, "coils=110"},
         {lamp.BlueOpenBrillLamp, "coils=111"},
         {lamp.YellowOpenBrillLamp, nullptr},
         {lamp.RedCloseBrillLamp, "coils=011"},
         {lamp.GreenCloseBrillLamp, "coils=001"}});
}

TEST_F(ModbusPeerTest, LampType5SwitchesRedYellowGreenRelays)
{
    ASSERT_TRUE(lamp.InitBrillLamp(5, board.port()));
    run({{lamp.RedOpenBrillLamp, "coils=100"},
         {lamp.YellowOpenBrillLamp, "coils=110"},
         {lamp.BlueOpenBrillLamp, nullptr},
         {lamp.GreenOpenBrillLamp, "coils=111"},
         {lamp.YellowCloseBrillLamp, "coils=101"}});
}

// Type 5 after type 3 on the same port and board: yellow on coil 1, green on coil 2, no blue.
TEST_F(ModbusPeerTest, RelayBoardFollowsLampTypes3And5)
{
    ASSERT_TRUE(lamp.InitBrillLamp(3, board.port()));
    run({{lamp.RedCloseBrillLamp, "coils=000"},
         {lamp.GreenCloseBrillLamp, "coils=000"},
         {lamp.BlueCloseBrillLamp, "coils=000"},
         {lamp.RedOpenBrillLamp, "coils=100"},
         {lamp.BlueOpenBrillLamp, "coils=101"},
         {lamp.GreenOpenBrillLamp, "coils=111"},
         {lamp.RedCloseBrillLamp, "coils=011"},
         {lamp.CloseConnectBrillLamp, nullptr}});

    ASSERT_TRUE(lamp.InitBrillLamp(5, board.port()));
    run({{lamp.GreenCloseBrillLamp, "coils=010"},
         {lamp.YellowCloseBrillLamp, "coils=000"},
         {lamp.BlueOpenBrillLamp, nullptr},
         {lamp.RedOpenBrillLamp, "coils=100"},
         {lamp.YellowOpenBrillLamp, "coils=110"},
         {lamp.GreenOpenBrillLamp, "coils=111"}});
}

} // namespace
