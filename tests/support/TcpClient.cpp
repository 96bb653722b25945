#include "tests/support/TcpClient.h"

#include "tests/support/Wait.h"

#include <arpa/inet.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace TestSupport {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in addressOf(const char* address, unsigned short port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    if (inet_pton(AF_INET, address, &result.sin_addr) != 1)
        throw std::invalid_argument(address);
    return result;
}

} // namespace

TcpClient::TcpClient(unsigned short port) : TcpClient(connectTo(port)) {}

// With nothing listening, Linux may pick the service's port for the local end too (it lies in the
// ephemeral range) and connect the socket to itself: that counts as refused, and the socket is
// reset so no TIME_WAIT keeps the service from binding the port.
TcpClient TcpClient::connectTo(unsigned short port, const char* address, const char* localAddress,
                               unsigned short localPort)
{
    TcpClient client;
    const auto failed = [&client](int error) {
        client.connectError = error;
        client.close();
        return std::move(client);
    };
    client.fd.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
    const int on = 1;
    if (localAddress != nullptr) {
        ::setsockopt(client.fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        const sockaddr_in local = addressOf(localAddress, localPort);
        if (::bind(client.fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
            return failed(errno);
    }
    const sockaddr_in remote = addressOf(address, port);
    if (::connect(client.fd.get(), reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0)
        return failed(errno);
    if (client.localPort() == port) {
        client.reset();
        return failed(ECONNREFUSED);
    }
    // Each send leaves as a segment of its own, so chunk borders are where the test puts them.
    ::setsockopt(client.fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return client;
}

void TcpClient::close()
{
    fd.reset();
}

void TcpClient::reset()
{
    const linger abort{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close();
}

bool TcpClient::trySend(const std::string& bytes) const
{
    std::size_t sent = 0;
    while (fd && sent < bytes.size()) {
        const ssize_t n = ::send(fd.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<bool>(fd);
}

void TcpClient::send(const std::string& bytes) const
{
    if (!trySend(bytes))
        throw std::runtime_error(std::string("send: ") + std::strerror(errno));
}

void TcpClient::send(const std::vector<std::uint8_t>& bytes) const
{
    send(std::string(bytes.begin(), bytes.end()));
}

bool TcpClient::readSome(int timeoutMs)
{
    if (!fd || peerEnded)
        return false;
    pollfd polled{fd.get(), POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&polled, 1, timeoutMs)) < 0 && errno == EINTR) {}
    if (ready <= 0)
        return false;
    char buffer[65536];
    const ssize_t n = ::recv(fd.get(), buffer, sizeof buffer, 0);
    if (n <= 0) {
        peerEnded = true;
        return false;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool TcpClient::readWhile(const std::function<bool()>& more, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (more()) {
        const int left = millisecondsLeft(deadline);
        if (left <= 0 || !readSome(left))
            return false;
    }
    return true;
}

std::string TcpClient::receive(std::size_t count, std::chrono::milliseconds timeout)
{
    readWhile([&] { return pending.size() < count; }, timeout);
    std::string received = pending.substr(0, count);
    pending.erase(0, received.size());
    return received;
}

std::string TcpClient::receiveUntil(const std::string& end, std::chrono::milliseconds timeout)
{
    if (!readWhile([&] { return pending.find(end) == std::string::npos; }, timeout))
        return "";
    std::string answer = pending.substr(0, pending.find(end) + end.size());
    pending.erase(0, answer.size());
    return answer;
}

std::string TcpClient::readAnswer(std::chrono::milliseconds timeout)
{
    return receiveUntil("}\n", timeout);
}

std::string TcpClient::ask(const std::string& request)
{
    send(request);
    return readAnswer();
}

std::string TcpClient::readAvailable(std::chrono::milliseconds quiet)
{
    while (readSome(static_cast<int>(quiet.count()))) {}
    std::string all;
    all.swap(pending);
    return all;
}

bool TcpClient::seesEnd(std::chrono::milliseconds timeout)
{
    readWhile([this] { return !peerEnded && fd; }, timeout);
    return peerEnded;
}

void TcpClient::shutdownSending()
{
    ::shutdown(fd.get(), SHUT_WR);
}

unsigned short TcpClient::localPort() const
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

bool waitForListener(int port, int timeoutMs)
{
    return waitUntil([port] { return TcpClient(static_cast<unsigned short>(port)).connected(); },
                     std::chrono::milliseconds(timeoutMs), std::chrono::milliseconds(20));
}

bool waitForFreePort(unsigned short port, std::chrono::milliseconds timeout)
{
    return waitUntil([port] { return PortHolder(port).held(); }, timeout);
}

std::string answerWithin(unsigned short port, const std::string& request, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    do {
        TcpClient connection(port);
        if (connection.connected() && connection.trySend(request)) {
            // Sent, it is answered however busy the machine: only an ended connection is tried again.
            const auto left = std::chrono::milliseconds(millisecondsLeft(deadline));
            const std::string answer = connection.readAnswer(std::max(left, std::chrono::milliseconds(200)));
            if (!answer.empty())
                return answer;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (Clock::now() < deadline);
    return "";
}

unsigned short freeTcpPort()
{
    const Norvik::Utils::UniqueFd probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address = addressOf("127.0.0.1", 0);
    ::bind(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe.get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

PortHolder::PortHolder(unsigned short port) : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    const int reuse = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    const sockaddr_in address = addressOf("127.0.0.1", port);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), 64) != 0)
        release();
}

} // namespace TestSupport
