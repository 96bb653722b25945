#include "tests/service/LampFixture.h"

#include <chrono>
#include <csignal>
#include <thread>

namespace ServiceTests {
namespace {

class ConsoleRunTest : public LampFixture {};

TEST_F(ConsoleRunTest, ServesUntilInterruptedThenClosesTheLamp)
{
    ChildProcess child(programPath(), serviceOptions({"run"}));
    ASSERT_TRUE(waitForListener(servicePort, 15000)) << child.output();
    EXPECT_TRUE(child.waitForOutput(startedLine, 10000));
    EXPECT_EQ(0u, child.output().find(startedLine)) << child.output();
    EXPECT_EQ(successAnswer, answerWithin(servicePort, "{\"green\":1}"));
    EXPECT_EQ("red=off green=on blue=off", state());
    // The server's own lines show in the console (connection lines may come between them).
    EXPECT_TRUE(child.waitForOutput("\nSTOP\n", 10000)) << child.output();
    EXPECT_LT(child.output().find("\nClient data {\"green\":1}\n"), child.output().find("\nSTART\n"));
    EXPECT_LT(child.output().find("\nSTART\n"), child.output().find("\nSTOP\n"));

    expectCleanStop(child, SIGINT, "\nFINISH\n");
    EXPECT_FALSE(TcpClient(servicePort).connected());
}

TEST_F(ConsoleRunTest, IdleRunDoesNotSpinAndEndsOnSigterm)
{
    ChildProcess child(programPath(), serviceOptions({"run"}));
    ASSERT_TRUE(waitForListener(servicePort, 15000)) << child.output();
    EXPECT_LT(idleTicks(child.pid()), 20) << "ticks used while idle";

    expectCleanStop(child, SIGTERM, "\nFINISH\n");
}

TEST_F(ConsoleRunTest, RefusesADataFolderTheLogConfigurationCannotName)
{
    // '#' starts a comment in the log configuration: the log would go to "kiosk" instead.
    ChildOptions refused = serviceOptions({"run"});
    refused.environment.push_back({"XDG_DATA_HOME", home.file("kiosk#2")});
    const ProgramResult result = runProgram(programPath(), refused);
    EXPECT_EQ(1, result.status);
    EXPECT_EQ("Error: Can't name the log folder in the log configuration, its path holds '#' or a line "
              "break: " +
                  home.file("kiosk#2") + "/NORVIK/tessarodriver/logs/\n",
              result.output);
    EXPECT_FALSE(fileExists(home.file("kiosk")));
    EXPECT_FALSE(fileExists(home.file("kiosk#2/NORVIK/tessarodriver/tessarodriver_log.properties")));
    EXPECT_FALSE(fileExists(statePath())) << "the lamp was opened";
}

TEST_F(ConsoleRunTest, ADataFolderThatIsNotUtf8KeepsItsBytes)
{
    ChildOptions latin1 = serviceOptions({"run"});
    const std::string folder = home.file("caf\xE9");
    latin1.environment.push_back({"XDG_DATA_HOME", folder});
    ChildProcess child(programPath(), latin1);
    ASSERT_TRUE(waitForListener(servicePort, 15000)) << child.output();
    const std::string data = folder + "/NORVIK/tessarodriver";
    EXPECT_TRUE(fileExists(data + "/logs/tdriver.log"));
    const std::string configuration = readFile(data + "/tessarodriver_log.properties");
    EXPECT_NE(std::string::npos, configuration.find("fileName=" + data + "/logs/tdriver.log\n")) << configuration;
    EXPECT_FALSE(fileExists(home.file("caf")));
    expectCleanStop(child, SIGTERM);
}

TEST_F(ConsoleRunTest, AClosedTerminalStopsTheRunCleanly)
{
    ChildProcess child(programPath(), serviceOptions({"run"}));
    ASSERT_TRUE(waitForListener(servicePort, 15000)) << child.output();
    child.closeOutput();
    EXPECT_EQ(successAnswer, answerWithin(servicePort, "{\"blue\":1}"));
    EXPECT_EQ("red=off green=off blue=on", state());
    // Closing the terminal: the console goes away, then SIGHUP comes.
    expectCleanStop(child, SIGHUP);
}

// Standard output a pipe nobody reads: requests are answered and the stop is clean all the same;
// the lines that could not go out are counted once the console is read again.
TEST_F(ConsoleRunTest, AConsoleNobodyReadsHoldsUpNeitherRequestsNorTheStop)
{
    ChildProcess child(programPath(), serviceOptions({"run"}));
    ASSERT_TRUE(waitForListener(servicePort, 15000));
    {
        // Not JSON: answered without the lamp, each with a "Client data" line of about 1 KB, far
        // more than the pipe and the backlog hold.
        TcpClient flood(servicePort);
        const std::string bad = "{" + std::string(1000, 'x') + "}";
        const std::string refused = Contract::failureAnswer(Contract::cannotParse);
        for (int sent = 0; sent < 800; ++sent) {
            ASSERT_EQ(refused, flood.ask(bad)) << "request " << sent;
        }
    }
    EXPECT_EQ(successAnswer, answerWithin(servicePort, "{\"red\":1}"));
    EXPECT_EQ("red=on green=off blue=off", state());
    EXPECT_TRUE(child.waitForOutput(" console lines dropped: the console was not read\n", 10000));
    expectCleanStop(child, SIGTERM);
}

TEST_F(ConsoleRunTest, StopSignalsDuringTheShutdownAreAbsorbed)
{
    ChildProcess child(programPath(), serviceOptions({"run"}));
    ASSERT_TRUE(waitForListener(servicePort, 15000)) << child.output();
    child.signal(SIGTERM);
    // Signals keep coming until the process has ended, whatever part of its clean-up it is in.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int sent = 0; child.running() && std::chrono::steady_clock::now() < deadline; ++sent) {
        child.signal(sent % 3 == 0 ? SIGTERM : sent % 3 == 1 ? SIGINT : SIGHUP);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_EQ(0, child.wait(1000)) << child.output();
    EXPECT_NE(std::string::npos, child.output().find("\nFINISH\n")) << child.output();
    EXPECT_TRUE(endsWithLock(accesses()));
}

} // namespace
} // namespace ServiceTests
