#if defined(_WIN32)
#include "tests/driver/LampExports.h"
#include "tests/driver/SerialLine.h"

#include <windows.h>

#include <gtest/gtest.h>

// A pseudo-terminal keeps neither parity nor a byte size other than 8, so of the line settings
// only the speed and the stop bits show what the lamp configured.
TEST(WindowsSerialLampTest, OpeningSetsSpeedAndStopBits)
{
    DriverTest::SerialLine line;
    const std::string name = "\\\\.\\COM" + std::to_string(line.port());
    HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, port);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.BaudRate = CBR_19200;
    dcb.StopBits = TWOSTOPBITS;
    ASSERT_TRUE(SetCommState(port, &dcb));
    CloseHandle(port);

    DriverTest::LampExports lamp;
    ASSERT_TRUE(lamp.InitBrillLamp(5, line.port()));
    lamp.CloseConnectBrillLamp();

    port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, port);
    DCB after = {};
    after.DCBlength = sizeof after;
    const BOOL read = GetCommState(port, &after);
    CloseHandle(port);
    ASSERT_TRUE(read);
    ASSERT_EQ(after.BaudRate, CBR_9600);
    ASSERT_EQ(after.ByteSize, 8);
    ASSERT_EQ(after.StopBits, ONESTOPBIT);
    ASSERT_EQ(0u, static_cast<unsigned>(after.fParity));
}
#endif
