#if !defined(_WIN32)
#include "tests/driver/DriverTestSupport.h"
#include "tests/driver/RelayBoard.h"
#include "tests/support/Wait.h"

#include <cstdlib>

namespace DriverTest {

struct RelayBoard::Parts {
    TestSupport::TempDir ports;
    std::unique_ptr<TestSupport::ChildProcess> socat;
    std::unique_ptr<TestSupport::ChildProcess> board;
};

RelayBoard::RelayBoard() : parts(std::make_unique<Parts>()) {}

RelayBoard::~RelayBoard()
{
    ::unsetenv("BRILLLAMP_PORTS");
}

::testing::AssertionResult RelayBoard::start()
{
    using TestSupport::ChildProcess;
    const std::string lampEnd = parts->ports.file("com3");
    const std::string boardEnd = parts->ports.file("board");
    parts->socat = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/socat", "PTY,raw,echo=0,link=" + lampEnd, "PTY,raw,echo=0,link=" + boardEnd},
        TestSupport::Environment{});
    const auto linked = [&] { return TestSupport::fileExists(lampEnd) && TestSupport::fileExists(boardEnd); };
    if (!TestSupport::waitUntil(linked, std::chrono::seconds(2), std::chrono::milliseconds(10)))
        return ::testing::AssertionFailure() << "socat made no pseudo-terminal pair";
    parts->board = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", TEST_SUPPORT_MODBUS_PEER, boardEnd}, TestSupport::Environment{});
    const std::string first = parts->board->readLine(20000);
    if (first != "ready")
        return ::testing::AssertionFailure() << "the board said \"" << first << "\", not ready";
    ::setenv("BRILLLAMP_PORTS", parts->ports.path().c_str(), 1);
    return ::testing::AssertionSuccess();
}

int RelayBoard::port() const
{
    return 3;
}

std::vector<std::string> RelayBoard::reports(std::size_t count)
{
    std::vector<std::string> lines;
    while (lines.size() < count)
        lines.push_back(parts->board->readLine(5000));
    return lines;
}

} // namespace DriverTest
#endif
