#include "TestSupport.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ServiceTests {

std::string programPath()
{
    return LIGHTSERVICE_PROGRAM;
}

ChildOptions withoutModeVariables(ChildOptions options)
{
    options.removed.push_back("NOTIFY_SOCKET");
    options.removed.push_back("INVOCATION_ID");
    return options;
}

ProgramResult runProgram(const std::string& program, const ChildOptions& options, const std::string& input,
                         int timeoutMs)
{
    return TestSupport::runChild(program, withoutModeVariables(options), input, timeoutMs);
}

NotifySocket::NotifySocket(const std::string& path)
{
    fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error(std::string("notification socket: ") + std::strerror(errno));
}

NotifySocket::~NotifySocket()
{
    if (fd >= 0)
        close(fd);
}

bool NotifySocket::waitFor(const std::string& text, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return false;
        pollfd polled{fd, POLLIN, 0};
        if (poll(&polled, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            continue;
        const std::string message(buffer, static_cast<size_t>(n));
        messages += message + "\n";
        if (message.find(text) != std::string::npos)
            return true;
    }
}

long cpuTicks(int pid)
{
    std::string text = readFile("/proc/" + std::to_string(pid) + "/stat");
    // Fields after the command name: state is the first, utime and stime the 12th and 13th.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i) {
        if (i >= 12)
            ticks += std::stol(field);
    }
    return ticks;
}

} // namespace ServiceTests
