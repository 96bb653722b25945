#include "tests/driver/DriverTestSupport.h"

#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace DriverTest {

std::string libraryPath()
{
    return TestSupport::binDir() + "/libBrillLamp.so";
}

std::string lampCall(std::vector<std::string> commands, const TestSupport::Environment& env, const std::string& library)
{
    commands.insert(commands.begin(), library);
    const TestSupport::ProgramResult run = TestSupport::runBuilt("lampcall", commands, env);
    EXPECT_EQ(0, run.status) << run.output;
    return run.output;
}

Pty::Pty()
{
    int masterEnd = -1;
    int slaveEnd = -1;
    char name[128] = {};
    if (::openpty(&masterEnd, &slaveEnd, name, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    master.reset(masterEnd);
    slave.reset(slaveEnd);
    slaveName = name;
    termios raw{};
    ::tcgetattr(slaveEnd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slaveEnd, TCSANOW, &raw);
    ::fcntl(masterEnd, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveEnd, F_SETFD, FD_CLOEXEC);
}

Bytes Pty::read(std::size_t count, std::chrono::milliseconds timeout)
{
    Bytes bytes;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (bytes.size() < count) {
        const int left = TestSupport::millisecondsLeft(deadline);
        pollfd p{master.get(), POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, left) <= 0)
            break;
        std::uint8_t chunk[64];
        const ssize_t n = ::read(master.get(), chunk, std::min(sizeof chunk, count - bytes.size()));
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

Bytes Pty::readRest(std::chrono::milliseconds quiet)
{
    Bytes bytes;
    for (;;) {
        Bytes more = read(64, quiet);
        if (more.empty())
            return bytes;
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
}

} // namespace DriverTest
