#if defined(_WIN32)
// Serial lamp types through real COM ports that Wine maps to a pseudo-terminal pair.
#include "tests/driver/LampFrames.h"
#include "tests/windows/LampModule.h"
#include "tests/windows/SerialPeer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using DriverTest::Coil0Off;
using DriverTest::Coil0On;
using DriverTest::Coil1Off;
using DriverTest::Coil1On;
using DriverTest::Coil2Off;
using DriverTest::Coil2On;
using WinTest::BrillLamp;
using WinTest::SerialPeer;

int lampCom()
{
    return WinTest::environmentNumber("LAMPTEST_LAMP_COM");
}
int peerCom()
{
    return WinTest::environmentNumber("LAMPTEST_PEER_COM");
}

// Open COM port handles of this process, found by trying every small handle value.
DWORD comHandles()
{
    DWORD count = 0;
    for (std::uintptr_t value = 4; value < 0x4000; value += 4) {
        DCB dcb = {};
        dcb.DCBlength = sizeof dcb;
        if (GetCommState(reinterpret_cast<HANDLE>(value), &dcb))
            ++count;
    }
    return count;
}

} // namespace

TEST(Main, LampType3SendsRelayFrames)
{
    SerialPeer peer(peerCom());
    BrillLamp lamp;
    ASSERT_TRUE(lamp.InitBrillLamp(3, lampCom()));
    ASSERT_TRUE(peer.silent());
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(peer.received(Coil0On));
    lamp.RedCloseBrillLamp();
    ASSERT_TRUE(peer.received(Coil0Off));
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(peer.received(Coil1On));
    lamp.GreenCloseBrillLamp();
    ASSERT_TRUE(peer.received(Coil1Off));
    lamp.BlueOpenBrillLamp();
    ASSERT_TRUE(peer.received(Coil2On));
    lamp.BlueCloseBrillLamp();
    ASSERT_TRUE(peer.received(Coil2Off));
    lamp.YellowOpenBrillLamp();
    ASSERT_TRUE(peer.silent());
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(peer.silent());
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(peer.silent());
}

TEST(Main, LampType5SendsRelayFramesWithYellow)
{
    SerialPeer peer(peerCom());
    BrillLamp lamp;
    ASSERT_TRUE(lamp.InitBrillLamp(5, lampCom()));
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(peer.received(Coil2On));
    lamp.YellowOpenBrillLamp();
    ASSERT_TRUE(peer.received(Coil1On));
    lamp.BlueOpenBrillLamp();
    ASSERT_TRUE(peer.silent());
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(peer.received(Coil0On));
    lamp.YellowCloseBrillLamp();
    ASSERT_TRUE(peer.received(Coil1Off));
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(peer.silent());
}

TEST(Main, LampType4SendsStateByte)
{
    SerialPeer peer(peerCom());
    BrillLamp lamp;
    ASSERT_TRUE(lamp.InitBrillLamp(4, lampCom()));
    ASSERT_TRUE(peer.silent());
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(peer.received({0xF1}));
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(peer.received({0xF3}));
    lamp.BlueOpenBrillLamp();
    ASSERT_TRUE(peer.received({0xF7}));
    lamp.GreenCloseBrillLamp();
    ASSERT_TRUE(peer.received({0xF6}));
    lamp.YellowOpenBrillLamp();
    ASSERT_TRUE(peer.silent());
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(peer.received({0xF0}));

    ASSERT_TRUE(lamp.InitBrillLamp(4, lampCom()));
    ASSERT_TRUE(peer.silent());
    lamp.BlueOpenBrillLamp();
    ASSERT_TRUE(peer.received({0xF4}));
    lamp.BlueCloseBrillLamp();
    ASSERT_TRUE(peer.received({0xF0}));
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(peer.received({0xF0}));
}

TEST(Main, PortTenAndAboveUseDeviceNamespace)
{
    SerialPeer peer(WinTest::environmentNumber("LAMPTEST_HIGH_PEER_COM"));
    const int high = WinTest::environmentNumber("LAMPTEST_HIGH_COM");
    ASSERT_GE(high, 10);
    BrillLamp lamp;
    ASSERT_TRUE(lamp.InitBrillLamp(4, high));
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(peer.received({0xF2}));
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(peer.received({0xF0}));
}

TEST(Main, MissingPortFailsInitialisation)
{
    BrillLamp lamp;
    ASSERT_FALSE(lamp.InitBrillLamp(3, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(4, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(5, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(5, -3));
    lamp.RedOpenBrillLamp();
    lamp.CloseConnectBrillLamp();
}

TEST(Main, ClosingTwiceReleasesThePortOnce)
{
    SerialPeer peer(peerCom());
    BrillLamp lamp;
    ASSERT_TRUE(lamp.InitBrillLamp(3, lampCom()));
    lamp.CloseConnectBrillLamp();
    lamp.CloseConnectBrillLamp();
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(peer.silent());
    ASSERT_TRUE(lamp.InitBrillLamp(3, lampCom()));
    lamp.RedOpenBrillLamp();
    ASSERT_TRUE(peer.received(Coil0On));
    lamp.CloseConnectBrillLamp();
}

// Wine does not hold a COM port exclusively, so a handle left open shows only among the
// process's handles.
TEST(Main, ReinitialisingAnOpenSerialLampLeavesNoHandleBehind)
{
    SerialPeer peer(peerCom());
    BrillLamp lamp;
    const DWORD before = comHandles();
    ASSERT_TRUE(lamp.InitBrillLamp(5, lampCom()));
    ASSERT_EQ(comHandles(), before + 1);
    ASSERT_TRUE(lamp.InitBrillLamp(5, lampCom()));
    ASSERT_EQ(comHandles(), before + 1);
    lamp.GreenOpenBrillLamp();
    ASSERT_TRUE(peer.received(Coil2On));
    lamp.CloseConnectBrillLamp();
    ASSERT_EQ(comHandles(), before);
    lamp.CloseConnectBrillLamp();
    ASSERT_EQ(comHandles(), before);
}

// A pseudo-terminal keeps neither parity nor a byte size other than 8, so of the line settings
// only the speed and the stop bits show what the lamp configured.
TEST(Main, OpeningSetsSpeedAndStopBits)
{
    const std::string name = WinTest::comName(lampCom());
    HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, port);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.BaudRate = CBR_19200;
    dcb.StopBits = TWOSTOPBITS;
    ASSERT_TRUE(SetCommState(port, &dcb));
    CloseHandle(port);

    BrillLamp lamp;
    ASSERT_TRUE(lamp.InitBrillLamp(5, lampCom()));
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
