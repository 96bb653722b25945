#if defined(_WIN32)

#include "ports/WindowsClient.h"

#include <climits>

namespace Norvik::Ports {

WindowsClient::WindowsClient(SOCKET socket, ClientPort clientPort, IServerDataCallback* callback,
                             const std::string& categoryName)
    : ClientConnection(clientPort, callback, categoryName), socket(socket)
{
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
        return {-1, error, error == WSAECONNRESET || error == WSAECONNABORTED};
    }
    return {count, 0};
}

ClientConnection::Transfer WindowsClient::sendSome(const std::uint8_t* data, std::size_t size)
{
    const int length = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    const int count = ::send(socket.get(), size == 0 ? nullptr : reinterpret_cast<const char*>(data), length, 0);
    if (count == SOCKET_ERROR) {
        const int error = WSAGetLastError();
        return {-1, error, error == WSAECONNRESET || error == WSAECONNABORTED};
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

bool WindowsClient::peerHasClosed()
{
    WSAPOLLFD state{socket.get(), POLLRDNORM, 0};
    return ::WSAPoll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR)) != 0;
}

} // namespace Norvik::Ports

#endif
