#if !defined(_WIN32)

#include "ports/PosixClient.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

namespace Norvik::Ports {

PosixClient::PosixClient(Utils::UniqueFd socket, ClientPort clientPort, IServerDataCallback* callback,
                         const std::string& categoryName)
    : ClientConnection(clientPort, callback, categoryName), socket(std::move(socket))
{
    const timeval limit{sendLimitSeconds, 0};
    ::setsockopt(this->socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

PosixClient::~PosixClient()
{
    stop();
}

ClientConnection::Transfer PosixClient::receiveSome(std::uint8_t* buffer, std::size_t size)
{
    for (;;) {
        const ssize_t count = ::recv(socket.get(), buffer, size, 0);
        if (count >= 0) {
            return {static_cast<long>(count), 0};
        }
        if (errno != EINTR) {
            return {-1, errno, false, errno == ECONNRESET || errno == EPIPE || errno == ECONNABORTED};
        }
    }
}

ClientConnection::Transfer PosixClient::sendSome(const std::uint8_t* data, std::size_t size)
{
    for (;;) {
        // MSG_NOSIGNAL: a peer that has gone must give EPIPE, not end the process with SIGPIPE.
        const ssize_t count = ::send(socket.get(), data, size, MSG_NOSIGNAL);
        if (count >= 0) {
            return {static_cast<long>(count), 0};
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return {-1, errno, true};
        }
        if (errno != EINTR) {
            return {-1, errno, false, errno == ECONNRESET || errno == EPIPE || errno == ECONNABORTED};
        }
    }
}

void PosixClient::shutdownSocket()
{
    ::shutdown(socket.get(), SHUT_RDWR);
}

void PosixClient::closeDescriptor()
{
    socket.reset();
}

// A reset shows even while data sent before it is still unread. The peer's end of sending alone
// does not count: such a client may still read its answers.
bool PosixClient::peerHasClosed()
{
    pollfd state{socket.get(), POLLIN, 0};
    return ::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR)) != 0;
}

bool PosixClient::waitForData(int milliseconds)
{
    pollfd state{socket.get(), POLLIN, 0};
    int ready = 0;
    while ((ready = ::poll(&state, 1, milliseconds)) < 0 && errno == EINTR) {}
    return ready != 0;
}

} // namespace Norvik::Ports

#endif
