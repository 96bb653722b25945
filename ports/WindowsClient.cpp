#if defined(_WIN32)

#include "ports/WindowsClient.h"

#include <climits>

namespace Norvik::Ports {

WindowsClient::WindowsClient(SOCKET socket, ClientPort clientPort, IServerDataCallback* callback,
                             const std::string& categoryName)
    : ClientConnection(clientPort, callback, categoryName), socket(socket)
{
    const DWORD limit = sendLimitSeconds * 1000;
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
}

WindowsClient::~WindowsClient()
{
    stop();
}

ClientConnection::Transfer WindowsClient::receiveSome(std::uint8_t* buffer, std::size_t size)
{
    const int count = ::recv(socket.get(), reinterpret_cast<char*>(buffer), static_cast<int>(size), 0);
    if (count == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        return {-1, error, false, error == WSAECONNRESET || error == WSAECONNABORTED};
    }
    return {count, 0};
}

ClientConnection::Transfer WindowsClient::sendSome(const std::uint8_t* data, std::size_t size)
{
    const int length = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    const int count = ::send(socket.get(), size == 0 ? nullptr : reinterpret_cast<const char*>(data), length, 0);
    if (count == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        return {-1, error, error == WSAETIMEDOUT, error == WSAECONNRESET || error == WSAECONNABORTED};
    }
    return {count, 0};
}

void WindowsClient::shutdownSocket()
{
    socket.close();
}

void WindowsClient::closeDescriptor()
{
    socket.close();
}

// WSAPoll raises POLLHUP for the peer's end of sending alone, which does not count: such a client
// may still read its answers. A reset raises POLLERR as well, and where it does not, a receive
// fails after it; after a hang-up a receive returns at once, so peeking never blocks.
bool WindowsClient::peerHasClosed()
{
    WSAPOLLFD state{socket.get(), POLLRDNORM, 0};
    if (::WSAPoll(&state, 1, 0) <= 0 || (state.revents & (POLLHUP | POLLERR)) == 0) {
        return false;
    }
    if ((state.revents & POLLERR) != 0) {
        return true;
    }
    char byte = 0;
    return ::recv(socket.get(), &byte, 1, MSG_PEEK) == SOCKET_ERROR;
}

bool WindowsClient::waitForData(int milliseconds)
{
    WSAPOLLFD state{socket.get(), POLLRDNORM, 0};
    return ::WSAPoll(&state, 1, milliseconds) != 0;
}

} // namespace Norvik::Ports

#endif
