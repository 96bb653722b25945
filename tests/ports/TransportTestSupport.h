#pragma once

#include "tests/ports/Recorder.h"
#include "tests/support/Proc.h"
#include "tests/support/TcpClient.h"
#include "tests/support/Wait.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

namespace Norvik::Ports::Testing {

using namespace std::chrono_literals;
using TestSupport::elapsedSince;
using TestSupport::waitUntil;

using TestSupport::TcpClient;

using TestSupport::freeTcpPort;

using TestSupport::PortHolder;

// The lines the transport logged since this object was made.
class LogWatch {
public:
    LogWatch();
    std::vector<std::string> lines() const;
    int countContaining(const std::string& text) const;
    bool waitForLine(const std::string& line, std::chrono::milliseconds timeout = 5s) const;

private:
    std::size_t start;
};

std::string logFilePath();
inline std::size_t openDescriptorCount()
{
    return static_cast<std::size_t>(TestSupport::openDescriptors(::getpid()));
}
inline std::size_t threadCount()
{
    return static_cast<std::size_t>(TestSupport::statusField(::getpid(), "Threads"));
}
std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed);

} // namespace Norvik::Ports::Testing
