// The relay lamp types against a real Modbus RTU peer across a null-modem pair of ptys.

#include "tests/driver/DriverTestSupport.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class ModbusPeerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        socat = std::make_unique<DriverTest::ChildProcess>(
            std::vector<std::string>{"/usr/bin/socat", "PTY,raw,echo=0,link=" + ports.file("com3"),
                                     "PTY,raw,echo=0,link=" + ports.file("board")},
            DriverTest::Environment{});
        ASSERT_TRUE(TestSupport::waitUntil(
            [&] { return TestSupport::fileExists(ports.file("com3")) && TestSupport::fileExists(ports.file("board")); },
            std::chrono::seconds(2), std::chrono::milliseconds(10)));
        board = std::make_unique<DriverTest::ChildProcess>(
            std::vector<std::string>{"/usr/bin/python3", TEST_SUPPORT_MODBUS_PEER, ports.file("board")},
            DriverTest::Environment{});
        ASSERT_EQ("ready", board->readLine(20000));
    }

    std::vector<std::string> coilReports(std::size_t count)
    {
        std::vector<std::string> lines;
        while (lines.size() < count)
            lines.push_back(board->readLine(5000));
        return lines;
    }

    void call(const std::vector<std::string>& commands)
    {
        DriverTest::lampCall(DriverTest::libraryPath(), commands, {{"BRILLLAMP_PORTS", ports.path()}});
    }

    DriverTest::TempDir ports;
    std::unique_ptr<DriverTest::ChildProcess> socat;
    std::unique_ptr<DriverTest::ChildProcess> board;
};

TEST_F(ModbusPeerTest, LampType3SwitchesRedGreenBlueRelays)
{
    call({"init", "3", "3", "red-on", "green-on", "blue-on", "yellow-on", "red-off", "green-off"});
    const std::vector<std::string> expected = {"coils=100", "coils=110", "coils=111", "coils=011", "coils=001"};
    EXPECT_EQ(expected, coilReports(expected.size()));
}

TEST_F(ModbusPeerTest, LampType5SwitchesRedYellowGreenRelays)
{
    call({"init", "5", "3", "red-on", "yellow-on", "blue-on", "green-on", "yellow-off"});
    const std::vector<std::string> expected = {"coils=100", "coils=110", "coils=111", "coils=101"};
    EXPECT_EQ(expected, coilReports(expected.size()));
}

} // namespace
