#if defined(_WIN32)

#include "tools/lightctl/ClientSocket.h"

#include "utils/handle/WindowsSocketHandle.h"
#include "utils/text/WindowsErrorText.h"
#include "utils/text/WindowsUtf16.h"

#include <winsock2.h>
#include <windows.h>

namespace Norvik::Tools {

namespace {

// The system's text for a Winsock error, in UTF-8 like every other text of the client.
std::string systemText(int error)
{
    std::string text = Utils::WindowsText::fromUtf16(Utils::WindowsText::systemErrorText(static_cast<DWORD>(error)));
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text.empty() ? "Winsock error " + std::to_string(error) : text;
}

SocketError failure(int error)
{
    return SocketError(systemText(error));
}

class Winsock {
public:
    Winsock()
    {
        WSADATA data;
        started = ::WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~Winsock()
    {
        if (started == 0)
            ::WSACleanup();
    }
    Winsock(const Winsock&) = delete;
    Winsock& operator=(const Winsock&) = delete;
    int error() const { return started; }

private:
    int started = 0;
};

class WindowsClientSocket : public ClientSocket {
public:
    WindowsClientSocket()
    {
        if (winsock.error() != 0)
            throw failure(winsock.error());
        socket.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (!socket)
            throw failure(::WSAGetLastError());
        u_long nonBlocking = 1;
        if (::ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0)
            throw failure(::WSAGetLastError());
    }

    bool beginConnect(unsigned short port) override
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return true;
        const int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK)
            throw failure(error);
        return false;
    }

    void finishConnect() override
    {
        int error = 0;
        int length = sizeof error;
        if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
            error = ::WSAGetLastError();
        if (error != 0)
            throw failure(error);
    }

    unsigned short localPort() override
    {
        sockaddr_in local{};
        int length = sizeof local;
        if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
            return 0;
        return ntohs(local.sin_port);
    }

    void abort() override
    {
        const linger reset{1, 0};
        ::setsockopt(socket.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof reset);
        socket.reset();
    }

    bool wait(bool forWriting, int milliseconds) override
    {
        // A failed connection shows in the exception set only, never as writable.
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(socket.get(), &ready);
        FD_SET(socket.get(), &failed);
        timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
        const int count = ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &limit);
        if (count == SOCKET_ERROR)
            throw failure(::WSAGetLastError());
        return count > 0;
    }

    Progress send(const char* data, std::size_t size, std::size_t& count) override
    {
        const int length = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
        const int n = ::send(socket.get(), data, length, 0);
        if (n > 0) {
            count = static_cast<std::size_t>(n);
            return Progress::Done;
        }
        const int error = n == 0 ? WSAECONNRESET : ::WSAGetLastError();
        if (error == WSAEWOULDBLOCK || error == WSAEINTR)
            return Progress::WouldBlock;
        throw failure(error);
    }

    Progress receive(char* buffer, std::size_t size, std::size_t& count) override
    {
        const int length = size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size);
        const int n = ::recv(socket.get(), buffer, length, 0);
        if (n > 0) {
            count = static_cast<std::size_t>(n);
            return Progress::Done;
        }
        if (n == 0)
            return Progress::Closed;
        const int error = ::WSAGetLastError();
        if (error == WSAECONNRESET || error == WSAECONNABORTED)
            return Progress::Closed;
        if (error == WSAEWOULDBLOCK || error == WSAEINTR)
            return Progress::WouldBlock;
        throw failure(error);
    }

private:
    Winsock winsock;
    Utils::UniqueSocket socket;
};

} // namespace

std::unique_ptr<ClientSocket> ClientSocket::open()
{
    return std::make_unique<WindowsClientSocket>();
}

} // namespace Norvik::Tools

#endif
