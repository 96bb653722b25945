#if defined(_WIN32)
// I/O-port lamp types through the simulated chip's WinRing0.dll, loaded by BrillLamp.dll by
// its bare name from the program's folder: what only Windows runs here (the rest is the driver
// suite's IoPortLampTest).
#include "tests/windows/LampModule.h"

#include <gtest/gtest.h>

namespace {

using WinTest::BrillLamp;
using WinTest::Chip;

DWORD WINAPI switchOn(void* action)
{
    reinterpret_cast<BrillLamp::Action>(action)();
    return 0;
}

} // namespace

TEST(Main, ThreeColoursSwitchTogetherFromThreeThreads)
{
    Chip chip;
    BrillLamp lamp;
    ASSERT_TRUE(lamp.InitBrillLamp(6, 0));
    const BrillLamp::Action actions[] = {lamp.RedOpenBrillLamp, lamp.GreenOpenBrillLamp, lamp.BlueOpenBrillLamp};
    HANDLE threads[3];
    const DWORD start = GetTickCount();
    for (int i = 0; i < 3; ++i)
        threads[i] = CreateThread(nullptr, 0, switchOn, reinterpret_cast<void*>(actions[i]), 0, nullptr);
    ASSERT_EQ(WaitForMultipleObjects(3, threads, TRUE, 5000), WAIT_OBJECT_0);
    const DWORD took = GetTickCount() - start;
    for (HANDLE thread : threads)
        CloseHandle(thread);
    ASSERT_EQ(chip.readByte(0xA09) & 0x08, 0);
    ASSERT_EQ(chip.readByte(0xA04) & 0x10, 0);
    ASSERT_EQ(chip.readByte(0xA02) & 0x80, 0);
    // Each colour call waits 50 ms first (the tick count is coarse: allow its step).
    ASSERT_GE(took, 40u);
}

TEST(Lacking, ModuleLackingOneNameIsRefused)
{
    Chip chip;
    BrillLamp lamp;
    const HMODULE module = LoadLibraryW(L"WinRing0.dll");
    ASSERT_NE(nullptr, module);
    ASSERT_EQ(nullptr, GetProcAddress(module, "HltPx"));
    ASSERT_NE(nullptr, GetProcAddress(module, "InitializeOls"));
    ASSERT_FALSE(lamp.InitBrillLamp(6, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(0, 0));
    ASSERT_EQ("", chip.log(0));
}

TEST(InitFails, FailingInitializeOlsFailsInitialisation)
{
    Chip chip;
    BrillLamp lamp;
    ASSERT_FALSE(lamp.InitBrillLamp(6, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(2, 0));
    ASSERT_EQ("", chip.log(0));
}

TEST(NoModule, NoModuleFailsInitialisation)
{
    Chip chip;
    BrillLamp lamp;
    ASSERT_EQ(nullptr, LoadLibraryW(L"WinRing0.dll"));
    ASSERT_FALSE(lamp.InitBrillLamp(6, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(7, 0));
    lamp.RedOpenBrillLamp();
    lamp.GreenCloseBrillLamp();
    lamp.CloseConnectBrillLamp();
    ASSERT_EQ("", chip.log(0));
}
#endif
