#if defined(_WIN32)
// I/O-port lamp types through the simulated chip's WinRing0.dll, loaded by BrillLamp.dll by
// its bare name from the program's folder.
#include "tests/windows/LampModule.h"

#include <gtest/gtest.h>

namespace {

using WinTest::BrillLamp;
using WinTest::Chip;

const char* const unlockAndSelect = "W1 2E=87 W1 2E=1 W1 2E=55 W1 2E=55 W1 2E=7 W1 2F=7";

DWORD WINAPI switchOn(void* action)
{
    reinterpret_cast<BrillLamp::Action>(action)();
    return 0;
}

} // namespace

TEST(Main, LampType6ProgramsChipAndSwitchesColours)
{
    Chip chip;
    BrillLamp lamp;
    chip.setByte(0xA09, 0x00);
    ASSERT_TRUE(lamp.InitBrillLamp(6, 0));
    const std::string init = chip.log();
    ASSERT_EQ(0u, init.rfind(unlockAndSelect, 0)) << init;
    ASSERT_FALSE(chip.locked());
    // Initialisation ends with every colour off.
    ASSERT_EQ(chip.readByte(0xA09) & 0x08, 0x08);
    ASSERT_EQ(chip.readByte(0xA04) & 0x10, 0x10);
    ASSERT_EQ(chip.readByte(0xA02) & 0x80, 0x80);

    chip.setByte(0xA09, 0xFF);
    std::size_t mark = chip.accessCount();
    lamp.RedOpenBrillLamp();
    ASSERT_EQ("R1 A09=FF W1 A09=F7", chip.log(mark));
    mark = chip.accessCount();
    lamp.RedCloseBrillLamp();
    ASSERT_EQ("R1 A09=F7 W1 A09=FF", chip.log(mark));

    mark = chip.accessCount();
    lamp.CloseConnectBrillLamp();
    ASSERT_EQ("W1 2E=2 W1 2F=2", chip.log(mark));
    ASSERT_TRUE(chip.locked());
    lamp.RedOpenBrillLamp();
    ASSERT_EQ(chip.readByte(0xA09), 0xF7);
}

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

TEST(Main, LampType1UsesDwordRegister)
{
    Chip chip;
    BrillLamp lamp;
    ASSERT_TRUE(lamp.InitBrillLamp(1, 0));
    chip.setDword(0x588, 0);
    std::size_t mark = chip.accessCount();
    lamp.GreenOpenBrillLamp();
    ASSERT_EQ("R4 588=0 W4 588=800000", chip.log(mark));
    mark = chip.accessCount();
    lamp.GreenCloseBrillLamp();
    ASSERT_EQ("R4 588=800000 W4 588=0", chip.log(mark));
}

TEST(Main, NoColourCallBeforeInitialisationOrOutOfRange)
{
    Chip chip;
    BrillLamp lamp;
    lamp.RedOpenBrillLamp();
    lamp.GreenOpenBrillLamp();
    ASSERT_EQ("", chip.log(0));

    ASSERT_FALSE(lamp.InitBrillLamp(9, 0));
    ASSERT_FALSE(lamp.InitBrillLamp(-1, 0));
    const DWORD start = GetTickCount();
    lamp.RedOpenBrillLamp();
    lamp.BlueCloseBrillLamp();
    lamp.YellowOpenBrillLamp();
    const DWORD took = GetTickCount() - start;
    lamp.CloseConnectBrillLamp();
    ASSERT_EQ("", chip.log(0));
    ASSERT_GE(took, 140u);
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
