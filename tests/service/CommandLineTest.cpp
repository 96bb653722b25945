#include "tests/support/ChildProcess.h"
#include "tests/service/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace ServiceTests {
namespace {

const std::string adminLine = "This application must be running with administrator rights!\n";

class CommandLineTest : public ::testing::Test {
protected:
    // Every run gets a unit directory and a systemctl of its own, so a wrong mode shows.
    ChildOptions options(std::vector<std::string> arguments, const char* systemctl = "/bin/false")
    {
        ChildOptions result;
        result.arguments = std::move(arguments);
        result.environment = {{"LIGHTSERVICE_UNIT_DIR", units.path()},
                              {"LIGHTSERVICE_SYSTEMCTL", systemctl},
                              {"LAMPSIM_STATE", scratch.file("lamp.state")},
                              {"XDG_DATA_HOME", scratch.path()}};
        return result;
    }

    bool unitsEmpty() const { return std::filesystem::is_empty(units.path()); }

    TempDir units;
    TempDir scratch;
};

TEST_F(CommandLineTest, WordsOutsideTheTableAndOtherCaseDoNothing)
{
    // A word with a byte more, even one no text decoding accepts, or a byte-order mark before it is another word.
    for (const char* word : {"Install", "INSTALL", "Remove", "Run", "Test", "hello", "", "install ", "install\xFF",
                             "\xEF\xBB\xBFinstall", "test\x80", "run\xC3", "remove\xFF"}) {
        SCOPED_TRACE(word);
        const ProgramResult result = runProgram(programPath(), options({word}));
        EXPECT_EQ(0, result.status);
        EXPECT_EQ("", result.output);
        EXPECT_TRUE(unitsEmpty());
        EXPECT_FALSE(fileExists(scratch.file("lamp.state"))) << "a mode touched the lamp";
    }
}

TEST_F(CommandLineTest, OnlyTheLastWordCounts)
{
    // install is ignored before an unknown last word.
    ProgramResult result = runProgram(programPath(), options({"install", "Install"}));
    EXPECT_EQ("", result.output);
    EXPECT_TRUE(unitsEmpty());

    // remove before install: the install is what runs.
    result = runProgram(programPath(), options({"remove", "install"}, "/bin/true"));
    EXPECT_EQ(installedLine, result.output);

    result = runProgram(programPath(), options({"install", "remove"}, "/bin/true"));
    EXPECT_EQ(0, result.status);
    EXPECT_EQ(removedLine, result.output);
    EXPECT_TRUE(unitsEmpty());
}

TEST_F(CommandLineTest, WithoutWordOutsideTheServiceManagerEndsWithMinusOneSilently)
{
    const ProgramResult result = runProgram(programPath(), options({}));
    EXPECT_EQ(255, result.status);
    EXPECT_EQ("", result.output);
}

TEST_F(CommandLineTest, AnUnprivilegedUserIsRefusedForEveryMode)
{
    // The build tree may lie where that user cannot go (a clone in root's home): a copy it can reach.
    scratch.copy(programPath(), "lightservice");
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{}, {"install"}, {"remove"}, {"start"}, {"run"}, {"test"}, {"x"}}) {
        SCOPED_TRACE(arguments.empty() ? "(no word)" : arguments.back());
        ChildOptions unprivileged = options(arguments);
        unprivileged.unprivileged = true;
        unprivileged.environment.push_back({"NOTIFY_SOCKET", scratch.file("notify")});
        const ProgramResult result = runProgram(scratch.file("lightservice"), unprivileged, "R\ne\n");
        EXPECT_EQ(0, result.status);
        EXPECT_EQ(adminLine, result.output);
        EXPECT_TRUE(unitsEmpty());
        EXPECT_FALSE(fileExists(scratch.file("lamp.state"))) << "a mode touched the lamp";
    }
}

} // namespace
} // namespace ServiceTests
