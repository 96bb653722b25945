#if defined(_WIN32)
// Lamp types 3 and 5 against a real Modbus RTU server on the far end of the COM port: the
// server's coil table must follow the lamp's colours.
#include "tests/windows/LampModule.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

// The coils the relay board stand-in reported last: its output goes to this file, a line
// "coils=101" after every write.
std::string coils()
{
    std::ifstream in(WinTest::environment("LAMPTEST_COILS"));
    std::string line, last;
    while (std::getline(in, line))
        if (!in.eof() && line.rfind("coils=", 0) == 0)
            last = line.substr(6);
    return last;
}

// The server answers in its own time: the coils once they show the expected ones, or after three
// seconds.
std::string coilsAwaiting(const std::string& expected)
{
    std::string seen;
    for (int i = 0; i < 60 && seen != expected; ++i) {
        if (i > 0)
            Sleep(50);
        seen = coils();
    }
    return seen;
}

} // namespace

TEST(Main, RelayBoardFollowsLampTypes3And5)
{
    ASSERT_FALSE(WinTest::environment("LAMPTEST_COILS").empty());
    const int com = WinTest::environmentNumber("LAMPTEST_MODBUS_COM");
    WinTest::BrillLamp lamp;

    ASSERT_TRUE(lamp.InitBrillLamp(3, com));
    lamp.RedCloseBrillLamp();
    lamp.GreenCloseBrillLamp();
    lamp.BlueCloseBrillLamp();
    ASSERT_EQ("000", coilsAwaiting("000"));
    lamp.RedOpenBrillLamp();
    ASSERT_EQ("100", coilsAwaiting("100"));
    lamp.BlueOpenBrillLamp();
    ASSERT_EQ("101", coilsAwaiting("101"));
    lamp.GreenOpenBrillLamp();
    ASSERT_EQ("111", coilsAwaiting("111"));
    lamp.RedCloseBrillLamp();
    ASSERT_EQ("011", coilsAwaiting("011"));
    lamp.CloseConnectBrillLamp();

    // Lamp type 5: yellow on coil 1, green on coil 2, no blue.
    ASSERT_TRUE(lamp.InitBrillLamp(5, com));
    lamp.GreenCloseBrillLamp();
    ASSERT_EQ("010", coilsAwaiting("010"));
    lamp.YellowCloseBrillLamp();
    ASSERT_EQ("000", coilsAwaiting("000"));
    lamp.BlueOpenBrillLamp();
    lamp.RedOpenBrillLamp();
    ASSERT_EQ("100", coilsAwaiting("100"));
    lamp.YellowOpenBrillLamp();
    ASSERT_EQ("110", coilsAwaiting("110"));
    lamp.GreenOpenBrillLamp();
    ASSERT_EQ("111", coilsAwaiting("111"));
    lamp.CloseConnectBrillLamp();
}
#endif
