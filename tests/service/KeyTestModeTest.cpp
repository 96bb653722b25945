#include "tests/service/LampFixture.h"
#include "tests/support/Wait.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace ServiceTests {
namespace {

const std::vector<std::string> helpLines = lines(std::string(Contract::keyTestHelp));

class KeyTestModeTest : public LampFixture {
protected:
    bool waitForState(const std::string& expected, int timeoutMs) const
    {
        return TestSupport::waitUntil(
            [&] { return LampSim::StateFile(statePath()).accessCount() > 0 && state() == expected; },
            std::chrono::milliseconds(timeoutMs), std::chrono::milliseconds(10));
    }
};

TEST_F(KeyTestModeTest, KeysOnOneLineSwitchInOrderAndUnknownKeysAreIgnored)
{
    ChildProcess child(programPath(), serviceOptions({"test"}));
    child.write("R G B\nx\n");
    ASSERT_TRUE(waitForState("red=on green=on blue=on", 10000)) << child.output();
    const std::vector<std::string> switchedOn{"red on", "green on", "blue on"};
    EXPECT_EQ(switchedOn, events());

    // x ended nothing: the test still waits for a key. It opens no port.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(child.running());
    EXPECT_FALSE(TcpClient(servicePort).connected());
    // The program waits for input now, so the log can be cleared under it.
    LampSim::StateFile(statePath()).clearLog();

    child.write("r\ne\nG\n");
    EXPECT_EQ(0, child.wait(10000)) << child.output();
    const std::vector<LampSim::Access> all = accesses();
    const std::vector<std::string> ending = lampEvents(all);
    ASSERT_FALSE(ending.empty());
    EXPECT_EQ("red off", ending.front());
    // Red is off already: the closing switchAllOff changes green and blue, in any order.
    std::vector<std::string> rest(ending.begin() + 1, ending.end());
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ((std::vector<std::string>{"blue off", "green off"}), rest);
    EXPECT_EQ("red=off green=off blue=off", state());
    EXPECT_TRUE(endsWithLock(all));

    std::vector<std::string> printed = lines(child.output());
    ASSERT_GE(printed.size(), helpLines.size());
    const auto helpEnd = printed.begin() + static_cast<std::ptrdiff_t>(helpLines.size());
    EXPECT_EQ(helpLines, std::vector<std::string>(printed.begin(), helpEnd));
    // switchAllOff at the start and at the end, each with its START and STOP.
    EXPECT_EQ((std::vector<std::string>{"START", "STOP", "START", "STOP"}),
              std::vector<std::string>(helpEnd, printed.end()));
}

TEST_F(KeyTestModeTest, EndOfInputEndsTheTestAllOff)
{
    const ProgramResult result = runProgram(programPath(), serviceOptions({"test"}), "G B");
    EXPECT_EQ(0, result.status) << result.output;
    const std::vector<std::string> happened = events();
    ASSERT_EQ(4u, happened.size()) << ::testing::PrintToString(happened);
    EXPECT_EQ((std::vector<std::string>{"green on", "blue on"}),
              std::vector<std::string>(happened.begin(), happened.begin() + 2));
    std::vector<std::string> ending(happened.begin() + 2, happened.end());
    std::sort(ending.begin(), ending.end());
    EXPECT_EQ((std::vector<std::string>{"blue off", "green off"}), ending);
    EXPECT_EQ("red=off green=off blue=off", state());
    EXPECT_TRUE(endsWithLock(accesses()));
}

TEST_F(KeyTestModeTest, CapitalEEndsTooAndLaterKeysAreNotTaken)
{
    const ProgramResult result = runProgram(programPath(), serviceOptions({"test"}), "B E R");
    EXPECT_EQ(0, result.status) << result.output;
    EXPECT_EQ((std::vector<std::string>{"blue on", "blue off"}), events());
}

} // namespace
} // namespace ServiceTests
