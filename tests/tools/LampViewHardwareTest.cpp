// lampview --hardware: the reading path through a port-access module, and the refusal without
// port permission. The simulated module has the hardware module's entry points, so pointed at
// it with --module the viewer's port accesses can be watched.

#include "portaccess/simulated/LampSimState.h"
#include "lampdriver/LampWiring.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <unistd.h>

namespace {

using TestSupport::ProgramResult;
using TestSupport::TempDir;

ProgramResult lampview(const std::vector<std::string>& args, const TestSupport::Environment& env = {})
{
    return TestSupport::runBuilt("lampview", args, env);
}

// lampview run as the unprivileged user "nobody" (when the test runs as root) or as the test's own user.
// The build tree may lie where nobody cannot go (a clone in root's home), so it runs from a copy laid
// out as in the build: the program with the hardware module in hardware/ beside it.
ProgramResult unprivilegedLampview(const std::vector<std::string>& args)
{
    TempDir dir;
    dir.copy(TestSupport::binDir() + "/lampview", "lampview");
    std::vector<std::string> arguments = args;
    if (!std::string(HARDWARE_MODULE).empty()) {
        std::filesystem::create_directory(dir.file("hardware"));
        dir.copy(HARDWARE_MODULE, "hardware/libWinRing0.so");
        for (std::string& argument : arguments)
            argument = argument == HARDWARE_MODULE ? dir.file("hardware/libWinRing0.so") : argument;
    }
    std::vector<std::string> argv;
    if (::geteuid() == 0)
        argv = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    argv.push_back(dir.file("lampview"));
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return TestSupport::runChild(argv);
}

TEST(LampViewHardware, ReadsOnlyTheOutputPortsOfTheLampType)
{
    TempDir dir;
    const std::string state = dir.file("chip.state");
    const TestSupport::Environment env = {{"LAMPSIM_STATE", state}};
    LampSim::StateFile chip(state);

    // Lamp type 6 lights on a cleared bit, type 1 on a set bit of a 32-bit register.
    chip.setByte(0xA09, static_cast<std::uint8_t>(0xFF & ~0x08));
    chip.setByte(0xA02, static_cast<std::uint8_t>(0xFF & ~0x80));
    chip.setDword(0x588, 0x00800000);
    struct Case {
        const char* type;
        const char* expected;
    } cases[] = {{"6", "red=on green=off blue=on\n"}, {"1", "red=off green=on blue=off\n"}};
    for (const Case& c : cases) {
        chip.clearLog();
        const bool wasLocked = chip.locked();
        const ProgramResult run =
            lampview({"--hardware", "--module", SIMULATED_MODULE, "--type", c.type, "--plain"}, env);
        EXPECT_EQ(0, run.status) << run.error;
        EXPECT_EQ(c.expected, run.output);

        const BrillLamp::LampWiring& wiring = *BrillLamp::ioPortWiring(std::stoi(c.type));
        const std::set<std::uint16_t> outputs = {wiring.red.port, wiring.green.port, wiring.blue.port};
        const std::vector<LampSim::Access> accesses = chip.accesses();
        EXPECT_FALSE(accesses.empty()) << "the lamp was not read through the module";
        for (const LampSim::Access& access : accesses) {
            EXPECT_EQ(LampSim::Access::Read, access.kind) << access.toString();
            EXPECT_EQ(wiring.width, access.width) << access.toString();
            EXPECT_TRUE(outputs.count(access.port)) << access.toString();
        }
        EXPECT_EQ(wasLocked, chip.locked());
    }
}

TEST(LampViewHardware, RefusesWithoutPortPermission)
{
    if (std::string(HARDWARE_MODULE).empty())
        GTEST_SKIP() << "no hardware module on this processor";
    const ProgramResult run = unprivilegedLampview({"--hardware", "--module", HARDWARE_MODULE, "--plain"});
    EXPECT_EQ(77, run.status) << run.error;
    EXPECT_EQ("", run.output);
    EXPECT_NE(std::string::npos, run.error.find("CAP_SYS_RAWIO")) << run.error;
    EXPECT_NE(std::string::npos, run.error.find("root")) << run.error;
}

TEST(LampViewHardware, FindsTheBuiltModuleAndReportsBadOnes)
{
    if (std::string(HARDWARE_MODULE).empty())
        GTEST_SKIP() << "no hardware module on this processor";
    // Without --module the build's hardware module is used, never the simulated one beside it.
    const ProgramResult found = unprivilegedLampview({"--hardware"});
    EXPECT_EQ(77, found.status) << found.error;

    TempDir dir;
    const ProgramResult missing = lampview({"--hardware", "--module", dir.file("libWinRing0.so"), "--plain"});
    EXPECT_NE(0, missing.status);
    EXPECT_NE(std::string::npos, missing.error.find("cannot load")) << missing.error;

    const ProgramResult both = lampview({"--hardware", "--state", dir.file("chip.state")});
    EXPECT_NE(0, both.status);
    EXPECT_NE(0, lampview({"--hardware", "--module", SIMULATED_MODULE, "--type", "4"}).status)
        << "a serial lamp has no output ports";
}

} // namespace
