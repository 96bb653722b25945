#include "tests/service/LampFixture.h"
#include "tests/support/Wait.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace ServiceTests {
namespace {

using Strings = std::vector<std::string>;
const Strings helpLines = lines(std::string(Contract::keyTestHelp));

// The lamp's events, those from the index on sorted: the closing switchAllOff turns the colours
// off in any order.
Strings withSortedEnd(Strings events, std::size_t from)
{
    std::sort(events.begin() + static_cast<std::ptrdiff_t>(std::min(from, events.size())), events.end());
    return events;
}

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
    const Strings switchedOn{"red on", "green on", "blue on"};
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
    // Red is off already: the closing switchAllOff changes green and blue.
    EXPECT_EQ((Strings{"red off", "blue off", "green off"}), withSortedEnd(lampEvents(all), 1));
    EXPECT_EQ("red=off green=off blue=off", state());
    EXPECT_TRUE(endsWithLock(all));

    // The help, then switchAllOff at the start and at the end, each with its START and STOP.
    Strings printed = helpLines;
    printed.insert(printed.end(), {"START", "STOP", "START", "STOP"});
    EXPECT_EQ(printed, lines(child.output()));
}

TEST_F(KeyTestModeTest, EndOfInputEndsTheTestAllOff)
{
    const ProgramResult result = runProgram(programPath(), serviceOptions({"test"}), "G B");
    EXPECT_EQ(0, result.status) << result.output;
    EXPECT_EQ((Strings{"green on", "blue on", "blue off", "green off"}), withSortedEnd(events(), 2));
    EXPECT_EQ("red=off green=off blue=off", state());
    EXPECT_TRUE(endsWithLock(accesses()));
}

TEST_F(KeyTestModeTest, CapitalEEndsTooAndLaterKeysAreNotTaken)
{
    const ProgramResult result = runProgram(programPath(), serviceOptions({"test"}), "B E R");
    EXPECT_EQ(0, result.status) << result.output;
    EXPECT_EQ((Strings{"blue on", "blue off"}), events());
}

} // namespace
} // namespace ServiceTests
