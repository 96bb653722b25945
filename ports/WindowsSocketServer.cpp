#if defined(_WIN32)

#include "ports/WindowsSocketServer.h"

#include "ports/WindowsClient.h"

namespace Norvik::Ports {

SocketServer* SocketServer::create(int port, IServerDataCallback* callback, const std::string& categoryName)
{
    return new WindowsSocketServer(port, callback, categoryName);
}

WindowsSocketServer::WindowsSocketServer(int port, IServerDataCallback* callback, const std::string& categoryName)
    : SocketServerBase(port, callback, categoryName)
{
    WSADATA data{};
    winsockStarted = ::WSAStartup(0x0002, &data) == 0;
    begin();
}

WindowsSocketServer::~WindowsSocketServer()
{
    stop();
}

bool WindowsSocketServer::openListener(int& error)
{
    if (port < 1 || port > 65535) {
        error = WSAEINVAL;
        return false;
    }
    auto candidate = std::make_unique<WindowsSocket>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (!candidate->isOpen()) {
        error = WSAGetLastError();
        return false;
    }
    // Immediate reuse after a restart is Windows' default; exclusive use keeps another program
    // from binding the same port over the service (SO_REUSEADDR would allow exactly that).
    const BOOL exclusive = TRUE;
    ::setsockopt(candidate->get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                 sizeof exclusive);

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(candidate->get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR ||
        ::listen(candidate->get(), SOMAXCONN) == SOCKET_ERROR) {
        error = WSAGetLastError();
        return false;
    }
    listenSocket = std::move(candidate);
    return true;
}

ClientConnection* WindowsSocketServer::acceptClient(std::uint64_t connection, int& error)
{
    sockaddr_in address{};
    for (;;) {
        int length = sizeof address;
        WindowsSocket accepted(::accept(listenSocket->get(), reinterpret_cast<sockaddr*>(&address), &length));
        if (accepted.isOpen()) {
            auto* client =
                new WindowsClient(accepted.get(), ClientPort(ntohs(address.sin_port), connection), this, categoryName);
            accepted.release();
            return client;
        }
        // A client that reset before it was accepted concerns nobody else. (An interrupted accept
        // means the listening socket was closed: not retried.)
        const int failure = WSAGetLastError();
        if (failure != WSAECONNRESET) {
            error = failure;
            return nullptr;
        }
    }
}

// Closing the listening socket is what makes a blocked accept return on Windows.
void WindowsSocketServer::wakeListener()
{
    listenSocket->close();
}

void WindowsSocketServer::closeListener()
{
    listenSocket.reset();
}

void WindowsSocketServer::cleanup()
{
    if (winsockStarted) {
        ::WSACleanup();
        winsockStarted = false;
    }
}

} // namespace Norvik::Ports

#endif
