#if !defined(_WIN32)
#include "tests/driver/DriverTestSupport.h"
#include "tests/driver/RelayBoard.h"
#include "tests/support/Wait.h"

#include <cstdlib>

namespace DriverTest {

struct RelayBoard::Parts {
    TempDir ports;
    std::unique_ptr<ChildProcess> socat;
    std::unique_ptr<ChildProcess> board;
};

RelayBoard::RelayBoard() : parts(std::make_unique<Parts>()) {}

RelayBoard::~RelayBoard()
{
    ::unsetenv("BRILLLAMP_PORTS");
}

::testing::AssertionResult RelayBoard::start()
{
    Parts& p = *parts;
    p.socat = std::make_unique<ChildProcess>(std::vector<std::string>{"/usr/bin/socat",
                                                                      "PTY,raw,echo=0,link=" + p.ports.file("com3"),
                                                                      "PTY,raw,echo=0,link=" + p.ports.file("board")},
                                             Environment{});
    if (!TestSupport::waitUntil(
            [&] {
                return TestSupport::fileExists(p.ports.file("com3")) && TestSupport::fileExists(p.ports.file("board"));
            },
            std::chrono::seconds(2), std::chrono::milliseconds(10)))
        return ::testing::AssertionFailure() << "socat made no pseudo-terminal pair";
    p.board = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/usr/bin/python3", TEST_SUPPORT_MODBUS_PEER, p.ports.file("board")}, Environment{});
    const std::string first = p.board->readLine(20000);
    if (first != "ready")
        return ::testing::AssertionFailure() << "the board said \"" << first << "\", not ready";
    ::setenv("BRILLLAMP_PORTS", p.ports.path().c_str(), 1);
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
