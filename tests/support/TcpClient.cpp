#include "TcpClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace TestSupport {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int millisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

bool connectLoopback(int fd, int port)
{
    const sockaddr_in address = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return false;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0 && local.sin_port == address.sin_port) {
        const linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        return false;
    }
    return true;
}

TcpClient::TcpClient(int port) : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    if (fd >= 0 && !connectLoopback(fd, port))
        close();
}

TcpClient::~TcpClient()
{
    close();
}

void TcpClient::close()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void TcpClient::send(const std::string& text)
{
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            throw std::runtime_error(std::string("send: ") + std::strerror(errno));
        sent += static_cast<std::size_t>(n);
    }
}

bool TcpClient::readSome(int timeoutMs)
{
    pollfd polled{fd, POLLIN, 0};
    if (fd < 0 || ::poll(&polled, 1, timeoutMs) <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0)
        return false;
    pending.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::string TcpClient::receive(std::size_t count, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (pending.size() < count) {
        const int left = millisecondsLeft(deadline);
        if (left <= 0 || !readSome(left))
            break;
    }
    std::string received;
    received.swap(pending);
    return received;
}

std::string TcpClient::receiveUntil(const std::string& end, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::size_t found = pending.find(end);
        if (found != std::string::npos) {
            std::string answer = pending.substr(0, found + end.size());
            pending.erase(0, answer.size());
            return answer;
        }
        const int left = millisecondsLeft(deadline);
        if (left <= 0 || !readSome(left))
            return "";
    }
}

std::string TcpClient::receiveAvailable(int timeoutMs)
{
    while (readSome(timeoutMs)) {
    }
    std::string all;
    all.swap(pending);
    return all;
}

void TcpClient::shutdownSending()
{
    ::shutdown(fd, SHUT_WR);
}

unsigned short TcpClient::localPort() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

bool waitForListener(int port, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        if (TcpClient(port).connected())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int freeTcpPort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

} // namespace TestSupport
