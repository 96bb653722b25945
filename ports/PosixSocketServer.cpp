#if !defined(_WIN32)

#include "ports/PosixSocketServer.h"

#include "ports/PosixClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

namespace Norvik::Ports {

SocketServer* SocketServer::create(int port, IServerDataCallback* callback, const std::string& categoryName)
{
    return new PosixSocketServer(port, callback, categoryName);
}

PosixSocketServer::PosixSocketServer(int port, IServerDataCallback* callback, const std::string& categoryName)
    : SocketServerBase(port, callback, categoryName)
{
    begin();
}

PosixSocketServer::~PosixSocketServer()
{
    stop();
}

bool PosixSocketServer::openListener(int& error)
{
    if (port < 1 || port > 65535) {
        error = EINVAL;
        return false;
    }
    Utils::UniqueFd candidate(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!candidate) {
        error = errno;
        return false;
    }
    // A restarted service must not wait for the old connections' TIME_WAIT to pass.
    const int reuse = 1;
    ::setsockopt(candidate.get(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(candidate.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(candidate.get(), SOMAXCONN) != 0) {
        error = errno;
        return false;
    }
    listenSocket = std::move(candidate);
    return true;
}

ClientConnection* PosixSocketServer::acceptClient(std::uint64_t connection, int& error)
{
    sockaddr_in address{};
    for (;;) {
        socklen_t length = sizeof address;
        Utils::UniqueFd accepted(
            ::accept4(listenSocket.get(), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC));
        if (accepted) {
            return new PosixClient(std::move(accepted), ClientPort(ntohs(address.sin_port), connection), this,
                                   categoryName);
        }
        // A client that reset before it was accepted concerns nobody else.
        if (errno != EINTR && errno != ECONNABORTED) {
            error = errno;
            return nullptr;
        }
    }
}

// On Linux closing a listening socket leaves a thread blocked in accept asleep; shutting it down wakes it.
void PosixSocketServer::wakeListener()
{
    ::shutdown(listenSocket.get(), SHUT_RDWR);
}

void PosixSocketServer::closeListener()
{
    listenSocket.reset();
}

void PosixSocketServer::cleanup() {}

} // namespace Norvik::Ports

#endif
