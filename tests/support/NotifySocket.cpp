#include "tests/support/NotifySocket.h"

#include "tests/support/Wait.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace TestSupport {

NotifySocket::NotifySocket(const std::string& path) : fd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    if (!fd || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("notification socket: " + std::string(std::strerror(errno)));
}

bool NotifySocket::waitFor(const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (messages.find(text) == std::string::npos) {
        const int left = millisecondsLeft(deadline);
        pollfd waiter{fd.get(), POLLIN, 0};
        if (left <= 0 || ::poll(&waiter, 1, left) < 0)
            return false;
        char datagram[4096];
        const ssize_t n = ::recv(fd.get(), datagram, sizeof datagram, MSG_DONTWAIT);
        if (n > 0)
            messages.append(datagram, static_cast<std::size_t>(n)).append("\n");
    }
    return true;
}

} // namespace TestSupport
