#if defined(_WIN32)
// Lamp types 3 and 5 against a real Modbus RTU server on the far end of the COM port: the
// server's coil table must follow the lamp's colours.
#include "tests/windows/LampModule.h"
#include "tests/windows/WineTest.h"

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

// The server answers in its own time; wait for the table to show the expected coils.
void expectCoils(const std::string& expected, const char* file, int line)
{
    std::string seen;
    for (int i = 0; i < 60; ++i) {
        seen = coils();
        if (seen == expected)
            return;
        Sleep(50);
    }
    WinTest::fail("coils are \"" + seen + "\", expected \"" + expected + "\"", file, line);
}

#define EXPECT_COILS(text) expectCoils(text, __FILE__, __LINE__)

} // namespace

TEST(Main, RelayBoardFollowsLampTypes3And5)
{
    WT_CHECK(!WinTest::environment("LAMPTEST_COILS").empty());
    const int com = WinTest::environmentNumber("LAMPTEST_MODBUS_COM");
    WinTest::BrillLamp lamp;

    WT_CHECK(lamp.InitBrillLamp(3, com));
    lamp.RedCloseBrillLamp();
    lamp.GreenCloseBrillLamp();
    lamp.BlueCloseBrillLamp();
    EXPECT_COILS("000");
    lamp.RedOpenBrillLamp();
    EXPECT_COILS("100");
    lamp.BlueOpenBrillLamp();
    EXPECT_COILS("101");
    lamp.GreenOpenBrillLamp();
    EXPECT_COILS("111");
    lamp.RedCloseBrillLamp();
    EXPECT_COILS("011");
    lamp.CloseConnectBrillLamp();

    // Lamp type 5: yellow on coil 1, green on coil 2, no blue.
    WT_CHECK(lamp.InitBrillLamp(5, com));
    lamp.GreenCloseBrillLamp();
    EXPECT_COILS("010");
    lamp.YellowCloseBrillLamp();
    EXPECT_COILS("000");
    lamp.BlueOpenBrillLamp();
    lamp.RedOpenBrillLamp();
    EXPECT_COILS("100");
    lamp.YellowOpenBrillLamp();
    EXPECT_COILS("110");
    lamp.GreenOpenBrillLamp();
    EXPECT_COILS("111");
    lamp.CloseConnectBrillLamp();
}
#endif
