#if defined(_WIN32)
// Serial lamp types through real COM ports that Wine maps to a pseudo-terminal pair.
#include "tests/windows/LampModule.h"
#include "tests/windows/SerialPeer.h"
#include "tests/windows/WineTest.h"

#include <cstdint>

namespace {

using WinTest::BrillLamp;
using WinTest::bytesText;
using WinTest::SerialPeer;
using Bytes = std::vector<unsigned char>;

int lampCom()
{
    return WinTest::environmentNumber("LAMPTEST_LAMP_COM");
}
int peerCom()
{
    return WinTest::environmentNumber("LAMPTEST_PEER_COM");
}

void expectBytes(SerialPeer& peer, const Bytes& expected)
{
    const Bytes got = peer.read(expected.size());
    if (got != expected)
        WinTest::fail("peer received " + bytesText(got) + ", expected " + bytesText(expected), __FILE__, __LINE__);
}

const Bytes coil0On{0xFE, 0x05, 0x00, 0x00, 0xFF, 0x00, 0x98, 0x35};
const Bytes coil0Off{0xFE, 0x05, 0x00, 0x00, 0x00, 0x00, 0xD9, 0xC5};
const Bytes coil1On{0xFE, 0x05, 0x00, 0x01, 0xFF, 0x00, 0xC9, 0xF5};
const Bytes coil1Off{0xFE, 0x05, 0x00, 0x01, 0x00, 0x00, 0x88, 0x05};
const Bytes coil2On{0xFE, 0x05, 0x00, 0x02, 0xFF, 0x00, 0x39, 0xF5};
const Bytes coil2Off{0xFE, 0x05, 0x00, 0x02, 0x00, 0x00, 0x78, 0x05};

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
    WT_CHECK(lamp.InitBrillLamp(3, lampCom()));
    peer.expectSilence();
    lamp.RedOpenBrillLamp();
    expectBytes(peer, coil0On);
    lamp.RedCloseBrillLamp();
    expectBytes(peer, coil0Off);
    lamp.GreenOpenBrillLamp();
    expectBytes(peer, coil1On);
    lamp.GreenCloseBrillLamp();
    expectBytes(peer, coil1Off);
    lamp.BlueOpenBrillLamp();
    expectBytes(peer, coil2On);
    lamp.BlueCloseBrillLamp();
    expectBytes(peer, coil2Off);
    lamp.YellowOpenBrillLamp();
    peer.expectSilence();
    lamp.CloseConnectBrillLamp();
    peer.expectSilence();
    lamp.RedOpenBrillLamp();
    peer.expectSilence();
}

TEST(Main, LampType5SendsRelayFramesWithYellow)
{
    SerialPeer peer(peerCom());
    BrillLamp lamp;
    WT_CHECK(lamp.InitBrillLamp(5, lampCom()));
    lamp.GreenOpenBrillLamp();
    expectBytes(peer, coil2On);
    lamp.YellowOpenBrillLamp();
    expectBytes(peer, coil1On);
    lamp.BlueOpenBrillLamp();
    peer.expectSilence();
    lamp.RedOpenBrillLamp();
    expectBytes(peer, coil0On);
    lamp.YellowCloseBrillLamp();
    expectBytes(peer, coil1Off);
    lamp.CloseConnectBrillLamp();
    peer.expectSilence();
}

TEST(Main, LampType4SendsStateByte)
{
    SerialPeer peer(peerCom());
    BrillLamp lamp;
    WT_CHECK(lamp.InitBrillLamp(4, lampCom()));
    peer.expectSilence();
    lamp.GreenOpenBrillLamp();
    expectBytes(peer, {0xF1});
    lamp.RedOpenBrillLamp();
    expectBytes(peer, {0xF3});
    lamp.BlueOpenBrillLamp();
    expectBytes(peer, {0xF7});
    lamp.GreenCloseBrillLamp();
    expectBytes(peer, {0xF6});
    lamp.YellowOpenBrillLamp();
    peer.expectSilence();
    lamp.CloseConnectBrillLamp();
    expectBytes(peer, {0xF0});

    WT_CHECK(lamp.InitBrillLamp(4, lampCom()));
    peer.expectSilence();
    lamp.BlueOpenBrillLamp();
    expectBytes(peer, {0xF4});
    lamp.BlueCloseBrillLamp();
    expectBytes(peer, {0xF0});
    lamp.CloseConnectBrillLamp();
    expectBytes(peer, {0xF0});
}

TEST(Main, PortTenAndAboveUseDeviceNamespace)
{
    SerialPeer peer(WinTest::environmentNumber("LAMPTEST_HIGH_PEER_COM"));
    const int high = WinTest::environmentNumber("LAMPTEST_HIGH_COM");
    WT_CHECK(high >= 10);
    BrillLamp lamp;
    WT_CHECK(lamp.InitBrillLamp(4, high));
    lamp.RedOpenBrillLamp();
    expectBytes(peer, {0xF2});
    lamp.CloseConnectBrillLamp();
    expectBytes(peer, {0xF0});
}

TEST(Main, MissingPortFailsInitialisation)
{
    BrillLamp lamp;
    WT_CHECK(!lamp.InitBrillLamp(3, 0));
    WT_CHECK(!lamp.InitBrillLamp(4, 0));
    WT_CHECK(!lamp.InitBrillLamp(5, 0));
    WT_CHECK(!lamp.InitBrillLamp(5, -3));
    lamp.RedOpenBrillLamp();
    lamp.CloseConnectBrillLamp();
}

TEST(Main, ClosingTwiceReleasesThePortOnce)
{
    SerialPeer peer(peerCom());
    BrillLamp lamp;
    WT_CHECK(lamp.InitBrillLamp(3, lampCom()));
    lamp.CloseConnectBrillLamp();
    lamp.CloseConnectBrillLamp();
    lamp.RedOpenBrillLamp();
    peer.expectSilence();
    WT_CHECK(lamp.InitBrillLamp(3, lampCom()));
    lamp.RedOpenBrillLamp();
    expectBytes(peer, coil0On);
    lamp.CloseConnectBrillLamp();
}

// Wine does not hold a COM port exclusively, so a handle left open shows only among the
// process's handles.
TEST(Main, ReinitialisingAnOpenSerialLampLeavesNoHandleBehind)
{
    SerialPeer peer(peerCom());
    BrillLamp lamp;
    const DWORD before = comHandles();
    WT_CHECK(lamp.InitBrillLamp(5, lampCom()));
    WT_EQ(comHandles(), before + 1);
    WT_CHECK(lamp.InitBrillLamp(5, lampCom()));
    WT_EQ(comHandles(), before + 1);
    lamp.GreenOpenBrillLamp();
    expectBytes(peer, coil2On);
    lamp.CloseConnectBrillLamp();
    WT_EQ(comHandles(), before);
    lamp.CloseConnectBrillLamp();
    WT_EQ(comHandles(), before);
}

// A pseudo-terminal keeps neither parity nor a byte size other than 8, so of the line settings
// only the speed and the stop bits show what the lamp configured.
TEST(Main, OpeningSetsSpeedAndStopBits)
{
    const std::string name = WinTest::comName(lampCom());
    HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    WT_CHECK(port != INVALID_HANDLE_VALUE);
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    WT_CHECK(GetCommState(port, &dcb));
    dcb.BaudRate = CBR_19200;
    dcb.StopBits = TWOSTOPBITS;
    WT_CHECK(SetCommState(port, &dcb));
    CloseHandle(port);

    BrillLamp lamp;
    WT_CHECK(lamp.InitBrillLamp(5, lampCom()));
    lamp.CloseConnectBrillLamp();

    port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    WT_CHECK(port != INVALID_HANDLE_VALUE);
    DCB after = {};
    after.DCBlength = sizeof after;
    const BOOL read = GetCommState(port, &after);
    CloseHandle(port);
    WT_CHECK(read);
    WT_EQ(after.BaudRate, CBR_9600);
    WT_EQ(after.ByteSize, 8);
    WT_EQ(after.StopBits, ONESTOPBIT);
    WT_EQ(after.fParity, 0);
}
#endif
