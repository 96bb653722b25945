// lampview reads what another process switched through the driver's exports.

#include "tests/driver/DriverTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

TestSupport::ProgramResult lampview(const std::vector<std::string>& args, const TestSupport::Environment& env = {})
{
    return TestSupport::runBuilt("lampview", args, env);
}

TEST(LampView, PlainLineFollowsTheColourCalls)
{
    TestSupport::TempDir dir;
    const std::string state = dir.file("chip.state");
    const TestSupport::Environment env = {{"LAMPSIM_STATE", state}};
    DriverTest::lampCall({"init", "6", "0", "red-on", "blue-on"}, env);
    EXPECT_EQ("red=on green=off blue=on\n", lampview({"--plain"}, env).output);
    DriverTest::lampCall({"red-off", "init", "6", "0", "green-on"}, env);
    EXPECT_EQ("red=off green=on blue=off\n", lampview({"--plain", "--state", state}).output);

    DriverTest::lampCall({"init", "1", "0", "blue-on"}, env);
    EXPECT_EQ("red=off green=off blue=on\n", lampview({"--plain", "--type", "1"}, env).output)
        << "lamp type 1 lights on a set bit";
    const TestSupport::ProgramResult drawn = lampview({"--type", "1"}, env);
    EXPECT_EQ(0, drawn.status);
    EXPECT_NE(std::string::npos, drawn.output.find("blue  on"));
    EXPECT_NE(std::string::npos, drawn.output.find("red  off"));
}

TEST(LampView, WatchRedrawsOnChangeUntilInterrupted)
{
    TestSupport::TempDir dir;
    const TestSupport::Environment env = {{"LAMPSIM_STATE", dir.file("chip.state")}};
    TestSupport::ChildProcess view({TestSupport::binDir() + "/lampview", "--watch"}, env);
    auto waitFor = [&](const std::string& text) {
        for (std::string line; (line = view.readLine()).find('<') != 0;)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(waitFor("green  off"));
    DriverTest::lampCall({"init", "6", "0", "green-on"}, env);
    EXPECT_TRUE(waitFor("green  on")) << "no redraw after the change";
    view.signal(SIGINT);
    view.closeInput();
    EXPECT_EQ(0, view.wait());
}

TEST(LampView, RefusesLampTypesWithoutChipOutputs)
{
    TestSupport::TempDir dir;
    for (const char* type : {"3", "4", "5", "8", "x"}) {
        const TestSupport::ProgramResult run = lampview({"--plain", "--type", type, "--state", dir.file("chip.state")});
        EXPECT_NE(0, run.status) << type;
        EXPECT_EQ("", run.output) << type;
    }
    EXPECT_EQ(0, lampview({"--help"}).status);
    EXPECT_NE(0, lampview({"--bogus"}).status);
}

} // namespace
