#include "tests/support/ChildProcess.h"
#include "tests/service/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>

namespace ServiceTests {
namespace {

const std::string unitName = "norvik-tessaro-light-velk77.service";

// A systemctl that records its arguments and answers with the status in its status file.
class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(scratch.file("systemctl"),
                  "#!/bin/sh\n"
                  "echo \"$*\" >> \"$STANDIN_LOG\"\n"
                  "exit $(cat \"$STANDIN_STATUS\" 2>/dev/null || echo 0)\n",
                  0755);
    }

    ProgramResult run(const std::string& word, const std::string& program = programPath())
    {
        ChildOptions options;
        options.arguments = {word};
        options.environment = {{"LIGHTSERVICE_UNIT_DIR", unitDirectory},
                               {"LIGHTSERVICE_SYSTEMCTL", scratch.file("systemctl")},
                               {"STANDIN_LOG", scratch.file("calls")},
                               {"STANDIN_STATUS", scratch.file("status")}};
        return runProgram(program, options);
    }

    void systemctlAnswers(int status) { writeFile(scratch.file("status"), std::to_string(status) + "\n"); }
    std::string calls() const { return readFile(scratch.file("calls")); }
    std::string unitPath() const { return unitDirectory + "/" + unitName; }

    // The unit passes systemd's own check, which also finds the program named by ExecStart.
    void verifyUnit()
    {
        const std::string command =
            "systemd-analyze verify '" + unitPath() + "' >" + scratch.file("verify.out") + " 2>&1";
        const int status = std::system(command.c_str());
        const std::string report = readFile(scratch.file("verify.out"));
        if (status != 0 && report.find(unitName) == std::string::npos)
            GTEST_SKIP() << "systemd-analyze cannot run here: " << report;
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
        EXPECT_EQ("", report);
    }

    // A copy of the program in a directory of this name; install needs nothing beside it.
    std::string copyProgramTo(const std::string& name) const
    {
        const std::string directory = scratch.file(name);
        mkdir(directory.c_str(), 0755);
        const std::string program = directory + "/lightservice";
        std::filesystem::copy_file(programPath(), program);
        chmod(program.c_str(), 0755);
        return program;
    }

    TempDir units;
    TempDir scratch;
    std::string unitDirectory = units.path();
};

TEST_F(InstallerTest, InstallStartRemoveRoundTrip)
{
    ProgramResult result = run("install");
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(installedLine, result.output);
    EXPECT_EQ("enable " + unitName + "\n", calls());
    const std::string unit = readFile(unitPath());
    EXPECT_NE(std::string::npos, unit.find("\nExecStart=\"" + programPath() + "\"\n")) << unit;
    EXPECT_NE(std::string::npos, unit.find("\nType=notify\n"));
    EXPECT_NE(std::string::npos, unit.find("\nDescription=NORVIK Tessaro Light Velk77: Служба NORVIK Tessaro"));

    result = run("install");
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("Error: ERROR_SERVICE_EXISTS\n", result.output);
    EXPECT_EQ(unit, readFile(unitPath()));
    EXPECT_EQ("enable " + unitName + "\n", calls());

    result = run("start");
    EXPECT_EQ("", result.output);
    EXPECT_EQ("enable " + unitName + "\nstart " + unitName + "\n", calls());

    result = run("remove");
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(removedLine, result.output);
    EXPECT_FALSE(fileExists(unitPath()));
    EXPECT_NE(std::string::npos, calls().find("disable " + unitName + "\n"));

    const std::string callsBefore = calls();
    result = run("remove");
    EXPECT_EQ("Error: Can't remove service\n", result.output);
    result = run("start");
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("Error: Can't start service\n", result.output);
    EXPECT_EQ(callsBefore, calls()) << "systemctl was asked about a service that is not installed";
}

// A package puts the program in <prefix>/bin and its unit in <prefix>/lib/systemd/system; dpkg owns that file.
TEST_F(InstallerTest, ThePackagedUnitIsStartedAndTakenOutOfUseButKept)
{
    const std::string program = copyProgramTo("bin");
    std::filesystem::create_directories(scratch.file("lib/systemd/system"));
    const std::string packaged = scratch.file("lib/systemd/system/" + unitName);
    writeFile(packaged, "[Service]\n");

    ProgramResult result = run("start", program);
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("", result.output);
    EXPECT_EQ("start " + unitName + "\n", calls());

    result = run("remove", program);
    EXPECT_EQ(removedLine, result.output);
    EXPECT_EQ("start " + unitName + "\ndisable " + unitName + "\nstop " + unitName + "\n", calls());
    EXPECT_EQ("[Service]\n", readFile(packaged));

    systemctlAnswers(1);
    EXPECT_EQ("Error: Can't remove service\n", run("remove", program).output);
    EXPECT_EQ("Error: Can't start service\n", run("start", program).output);
}

TEST_F(InstallerTest, FailuresOfSystemctlAreReported)
{
    systemctlAnswers(1);
    ProgramResult result = run("install");
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("Error: Undefined\n", result.output);
    EXPECT_FALSE(fileExists(unitPath())) << "a unit that could not be enabled was left behind";

    systemctlAnswers(0);
    EXPECT_EQ(installedLine, run("install").output);
    systemctlAnswers(5);
    result = run("start");
    EXPECT_EQ(0, result.status);
    EXPECT_EQ("Error: Can't start service\n", result.output);

    // A failed disable does not keep the unit: the service goes on running until it is stopped.
    EXPECT_EQ(removedLine, run("remove").output);
    EXPECT_FALSE(fileExists(unitPath()));
}

TEST_F(InstallerTest, AMissingUnitDirectoryIsAnUnreachableManager)
{
    unitDirectory = units.file("missing");
    EXPECT_EQ("Error: Can't open Service Control Manager\n", run("install").output);
    EXPECT_EQ("Error: Can't open Service Control Manager\n", run("remove").output);
    EXPECT_EQ("Error: Can't start service\n", run("start").output);
    EXPECT_EQ("", calls());

    writeFile(unitDirectory, "a file, not a directory");
    EXPECT_EQ("Error: Can't open Service Control Manager\n", run("install").output);
}

TEST_F(InstallerTest, GeneratedUnitPassesSystemdVerification)
{
    ASSERT_EQ(installedLine, run("install").output);
    verifyUnit();
}

TEST_F(InstallerTest, ProgramPathWithBlanksPercentAndDollarSurvivesInTheUnit)
{
    const std::string program = copyProgramTo("kiosk apps %i $HOME");
    ASSERT_EQ(installedLine, run("install", program).output);
    verifyUnit();
}

TEST_F(InstallerTest, ProgramPathThatSystemdRefusesIsNotInstalled)
{
    for (const char* directory : {"with \"quote\"", "back\\slash"}) {
        SCOPED_TRACE(directory);
        EXPECT_EQ("Error: ERROR_INVALID_NAME\n", run("install", copyProgramTo(directory)).output);
        EXPECT_FALSE(fileExists(unitPath()));
    }
    EXPECT_EQ("", calls());
}

} // namespace
} // namespace ServiceTests
