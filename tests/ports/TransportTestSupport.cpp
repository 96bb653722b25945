#include "tests/ports/TransportTestSupport.h"

#include "tests/support/Files.h"

namespace Norvik::Ports::Testing {

namespace {

// The log after its first start bytes.
std::string logTextFrom(std::size_t start)
{
    const std::string text = TestSupport::readFile(logFilePath());
    return text.size() > start ? text.substr(start) : std::string();
}

} // namespace

LogWatch::LogWatch() : start(logTextFrom(0).size()) {}

std::vector<std::string> LogWatch::lines() const
{
    return TestSupport::lines(logTextFrom(start));
}

int LogWatch::countContaining(const std::string& text) const
{
    int count = 0;
    for (const std::string& line : lines()) {
        count += line.find(text) != std::string::npos;
    }
    return count;
}

bool LogWatch::waitForLine(const std::string& line, std::chrono::milliseconds timeout) const
{
    return waitUntil([&] { return TestSupport::hasLine(logTextFrom(start), line); }, timeout, 10ms);
}

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> result(size);
    for (std::size_t i = 0; i < size; ++i) {
        result[i] = static_cast<std::uint8_t>((i * 131 + seed) % 251);
    }
    return result;
}

} // namespace Norvik::Ports::Testing
