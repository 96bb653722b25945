#if !defined(_WIN32)
#include "tests/driver/DriverTestSupport.h"
#include "tests/driver/SerialLine.h"

#include <filesystem>
#include <stdlib.h>

namespace DriverTest {

struct SerialLine::Parts {
    TestSupport::TempDir ports;
    Pty pty;
    int number = 7;
};

SerialLine::SerialLine(Number number) : parts(std::make_unique<Parts>())
{
    if (number == High)
        parts->number = 10;
    parts->ports.link(parts->pty.slavePath(), "com" + std::to_string(parts->number));
    ::setenv("BRILLLAMP_PORTS", parts->ports.path().c_str(), 1);
}

SerialLine::~SerialLine()
{
    ::unsetenv("BRILLLAMP_PORTS");
}

int SerialLine::port() const
{
    return parts->number;
}

::testing::AssertionResult SerialLine::received(const Bytes& expected)
{
    return sameBytes(parts->pty.read(expected.size()), expected);
}

::testing::AssertionResult SerialLine::silent()
{
    return sameBytes(parts->pty.read(64, std::chrono::milliseconds(200)), {});
}

// Counted on the lamp's device: the test's own slave descriptor is one of them.
int SerialLine::openHandles() const
{
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        if (std::filesystem::read_symlink(entry.path(), error) == parts->pty.slavePath())
            ++count;
    }
    return count;
}

} // namespace DriverTest
#endif
