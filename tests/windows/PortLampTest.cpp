#if defined(_WIN32)
// I/O-port lamp types through the simulated chip's WinRing0.dll, loaded by BrillLamp.dll by
// its bare name from the program's folder.
#include "tests/windows/LampModule.h"
#include "tests/windows/WineTest.h"

namespace {

using WinTest::BrillLamp;
using WinTest::Chip;

const char* const unlockAndSelect = "W1 2E=87 W1 2E=1 W1 2E=55 W1 2E=55 W1 2E=7 W1 2F=7";

void expectLog(const Chip& chip, std::size_t from, const std::string& expected, const char* file, int line)
{
    const std::string seen = chip.log(from);
    if (seen != expected)
        WinTest::fail("chip saw \"" + seen + "\", expected \"" + expected + "\"", file, line);
}

#define EXPECT_LOG(chip, from, text) expectLog(chip, from, text, __FILE__, __LINE__)

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
    WT_CHECK(lamp.InitBrillLamp(6, 0));
    const std::string init = chip.log();
    WT_CHECK(init.rfind(unlockAndSelect, 0) == 0);
    WT_CHECK(!chip.locked());
    // Initialisation ends with every colour off.
    WT_EQ(chip.readByte(0xA09) & 0x08, 0x08);
    WT_EQ(chip.readByte(0xA04) & 0x10, 0x10);
    WT_EQ(chip.readByte(0xA02) & 0x80, 0x80);

    chip.setByte(0xA09, 0xFF);
    std::size_t mark = chip.accessCount();
    lamp.RedOpenBrillLamp();
    EXPECT_LOG(chip, mark, "R1 A09=FF W1 A09=F7");
    mark = chip.accessCount();
    lamp.RedCloseBrillLamp();
    EXPECT_LOG(chip, mark, "R1 A09=F7 W1 A09=FF");

    mark = chip.accessCount();
    lamp.CloseConnectBrillLamp();
    EXPECT_LOG(chip, mark, "W1 2E=2 W1 2F=2");
    WT_CHECK(chip.locked());
    lamp.RedOpenBrillLamp();
    WT_EQ(chip.readByte(0xA09), 0xF7);
}

TEST(Main, ThreeColoursSwitchTogetherFromThreeThreads)
{
    Chip chip;
    BrillLamp lamp;
    WT_CHECK(lamp.InitBrillLamp(6, 0));
    const BrillLamp::Action actions[] = {lamp.RedOpenBrillLamp, lamp.GreenOpenBrillLamp, lamp.BlueOpenBrillLamp};
    HANDLE threads[3];
    const DWORD start = GetTickCount();
    for (int i = 0; i < 3; ++i)
        threads[i] = CreateThread(nullptr, 0, switchOn, reinterpret_cast<void*>(actions[i]), 0, nullptr);
    WT_EQ(WaitForMultipleObjects(3, threads, TRUE, 5000), WAIT_OBJECT_0);
    const DWORD took = GetTickCount() - start;
    for (HANDLE thread : threads)
        CloseHandle(thread);
    WT_EQ(chip.readByte(0xA09) & 0x08, 0);
    WT_EQ(chip.readByte(0xA04) & 0x10, 0);
    WT_EQ(chip.readByte(0xA02) & 0x80, 0);
    // Each colour call waits 50 ms first (the tick count is coarse: allow its step).
    WT_CHECK(took >= 40);
}

TEST(Main, LampType1UsesDwordRegister)
{
    Chip chip;
    BrillLamp lamp;
    WT_CHECK(lamp.InitBrillLamp(1, 0));
    chip.setDword(0x588, 0);
    std::size_t mark = chip.accessCount();
    lamp.GreenOpenBrillLamp();
    EXPECT_LOG(chip, mark, "R4 588=0 W4 588=800000");
    mark = chip.accessCount();
    lamp.GreenCloseBrillLamp();
    EXPECT_LOG(chip, mark, "R4 588=800000 W4 588=0");
}

TEST(Main, NoColourCallBeforeInitialisationOrOutOfRange)
{
    Chip chip;
    BrillLamp lamp;
    lamp.RedOpenBrillLamp();
    lamp.GreenOpenBrillLamp();
    EXPECT_LOG(chip, 0, "");

    WT_CHECK(!lamp.InitBrillLamp(9, 0));
    WT_CHECK(!lamp.InitBrillLamp(-1, 0));
    const DWORD start = GetTickCount();
    lamp.RedOpenBrillLamp();
    lamp.BlueCloseBrillLamp();
    lamp.YellowOpenBrillLamp();
    const DWORD took = GetTickCount() - start;
    lamp.CloseConnectBrillLamp();
    EXPECT_LOG(chip, 0, "");
    WT_CHECK(took >= 140);
}

TEST(Lacking, ModuleLackingOneNameIsRefused)
{
    Chip chip;
    BrillLamp lamp;
    const HMODULE module = LoadLibraryW(L"WinRing0.dll");
    WT_CHECK(module != nullptr);
    WT_CHECK(GetProcAddress(module, "HltPx") == nullptr);
    WT_CHECK(GetProcAddress(module, "InitializeOls") != nullptr);
    WT_CHECK(!lamp.InitBrillLamp(6, 0));
    WT_CHECK(!lamp.InitBrillLamp(0, 0));
    EXPECT_LOG(chip, 0, "");
}

TEST(InitFails, FailingInitializeOlsFailsInitialisation)
{
    Chip chip;
    BrillLamp lamp;
    WT_CHECK(!lamp.InitBrillLamp(6, 0));
    WT_CHECK(!lamp.InitBrillLamp(2, 0));
    EXPECT_LOG(chip, 0, "");
}

TEST(NoModule, NoModuleFailsInitialisation)
{
    Chip chip;
    BrillLamp lamp;
    WT_CHECK(LoadLibraryW(L"WinRing0.dll") == nullptr);
    WT_CHECK(!lamp.InitBrillLamp(6, 0));
    WT_CHECK(!lamp.InitBrillLamp(7, 0));
    lamp.RedOpenBrillLamp();
    lamp.GreenCloseBrillLamp();
    lamp.CloseConnectBrillLamp();
    EXPECT_LOG(chip, 0, "");
}
#endif
