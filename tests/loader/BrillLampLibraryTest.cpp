#include "utils/loader/BrillLampLibrary.h"
#include "utils/loader/NotLoadedException.h"

#include "tests/loader/LoaderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#if defined(LOADER_TEST_SIMULATED_CHIP)
#include "portaccess/simulated/LampSimState.h"
#endif

using namespace LoaderTest;
using Norvik::Utils::BrillLampLibrary;
using Strings = std::vector<std::string>;

namespace {

LogCapture capture;

// The binding is one object per process: every scenario runs in a child process of its own, where
// the body's result is the exit status (0 when its own checks passed) and the static destructors
// destroy the binding; the parent checks what the lamp library recorded.
Strings recorded(const std::string& name, const std::function<int()>& body)
{
    const std::string file = scratchDirectory() + "/" + name + ".calls";
    setenv("LOADER_LAMP_RECORD", file.c_str(), 1);
    capture.newLines();
    EXPECT_EXIT(std::exit(body()), testing::ExitedWithCode(0), "") << name;
    unsetenv("LOADER_LAMP_RECORD");
    return TestSupport::lines(TestSupport::readFile(file));
}

void switchEverything(BrillLampLibrary& lamp)
{
    lamp.redOpenBrillLamp();
    lamp.redCloseBrillLamp();
    lamp.greenOpenBrillLamp();
    lamp.greenCloseBrillLamp();
    lamp.blueOpenBrillLamp();
    lamp.blueCloseBrillLamp();
    lamp.closeConnectBrillLamp();
}

const Strings everySwitch = {"RedOpenBrillLamp",  "RedCloseBrillLamp",  "GreenOpenBrillLamp",   "GreenCloseBrillLamp",
                             "BlueOpenBrillLamp", "BlueCloseBrillLamp", "CloseConnectBrillLamp"};

Strings initThenSwitches()
{
    Strings calls = {"InitBrillLamp 6 0"};
    calls.insert(calls.end(), everySwitch.begin(), everySwitch.end());
    return calls;
}

// Loads a variant of the test tree, initialises it and switches every colour; the result is
// 1 when loading failed, 2 when initialisation did not answer expectInit.
std::function<int()> driveVariant(const std::string& variant, bool expectInit)
{
    return [=] {
        BrillLampLibrary& lamp = BrillLampLibrary::instance();
        lamp.load(wide(libraryDirectory(variant)));
        if (!lamp.isLoaded() || lamp.getDirectory() != wide(libraryDirectory(variant)))
            return 1;
        const bool ready = lamp.initBrillLamp(6, 0);
        switchEverything(lamp);
        return ready == expectInit ? 0 : 2;
    };
}

} // namespace

TEST(BrillLampLibrary, NothingIsCalledWhileNotLoaded)
{
    EXPECT_TRUE(recorded("unloaded", [] {
                    BrillLampLibrary& lamp = BrillLampLibrary::instance();
                    if (&lamp != &BrillLampLibrary::instance() || lamp.isLoaded() || lamp.initBrillLamp(6, 0))
                        return 1;
                    try {
                        lamp.loadFile(wide(lampIn("unresolved")));
                        return 2;
                    } catch (const Norvik::Utils::NotLoadedException&) {
                    }
                    switchEverything(lamp);
                    return lamp.isLoaded() || lamp.initBrillLamp(6, 0) ? 3 : 0;
                }).empty());
    EXPECT_EQ(withPrefix(capture.newLines(), "INFO поиск библиотеки "), Strings{lampIn("unresolved")});
}

TEST(BrillLampLibrary, ForwardsArgumentsAndResultsAndCallsNothingAtExit)
{
    Strings expected = initThenSwitches();
    expected.push_back("InitBrillLamp 9 3");
    EXPECT_EQ(recorded("full",
                       [] {
                           const int result = driveVariant("full", true)();
                           return result != 0 ? result : BrillLampLibrary::instance().initBrillLamp(9, 3) ? 3 : 0;
                       }),
              expected);
    EXPECT_EQ(capture.newLines(),
              (Strings{"INFO поиск библиотеки " + lampIn("full"), "INFO успешно подключено - libBrillLamp.so"}));
}

TEST(BrillLampLibrary, MissingExportsStayUnboundAndTheOthersWork)
{
    EXPECT_EQ(recorded("no-yellow-close", driveVariant("no-yellow-close", true)), initThenSwitches());
    Strings withoutRedOpen = initThenSwitches();
    withoutRedOpen.erase(withoutRedOpen.begin() + 1);
    EXPECT_EQ(recorded("no-red-open", driveVariant("no-red-open", true)), withoutRedOpen);
    EXPECT_EQ(recorded("no-init", driveVariant("no-init", false)), everySwitch);
}

TEST(BrillLampLibrary, UnloadLeavesNothingCallable)
{
    EXPECT_EQ(recorded("unload",
                       [] {
                           BrillLampLibrary& lamp = BrillLampLibrary::instance();
                           lamp.load(wide(libraryDirectory("full")));
                           lamp.redOpenBrillLamp();
                           lamp.unload();
                           switchEverything(lamp);
                           return lamp.isLoaded() || lamp.initBrillLamp(6, 0) ? 1 : 0;
                       }),
              Strings{"RedOpenBrillLamp"});
}

#if defined(LOADER_TEST_SIMULATED_CHIP)
// The real driver, found by its bare name beside the program, on the simulated chip.
TEST(BrillLampLibrary, RealDriverByBareNameSwitchesTheSimulatedLamp)
{
    const std::string state = scratchDirectory() + "/chip.state";
    setenv("LAMPSIM_STATE", state.c_str(), 1);
    const auto lit = [&](std::uint16_t port, std::uint8_t bit) {
        return (LampSim::StateFile(state).readByte(port) & bit) == 0;
    };
    const auto redLit = [&] { return lit(0xA09, 0x08); };
    const auto greenLit = [&] { return lit(0xA04, 0x10); };
    const auto drive = [&] {
        BrillLampLibrary& lamp = BrillLampLibrary::instance();
        lamp.load(L"");
        if (!lamp.isLoaded() || lamp.getDirectory() != L"" || lamp.getFileName() != L"libBrillLamp.so")
            return 1;
        if (!lamp.initBrillLamp(6, 0) || redLit() || greenLit())
            return 2;
        lamp.redOpenBrillLamp();
        if (!redLit() || greenLit())
            return 3;
        lamp.redCloseBrillLamp();
        lamp.closeConnectBrillLamp();
        return !redLit() && LampSim::StateFile(state).locked() ? 0 : 4;
    };
    EXPECT_EXIT(std::exit(drive()), testing::ExitedWithCode(0), "");
    unsetenv("LAMPSIM_STATE");
}
#endif
