#if !defined(_WIN32)

#include "tools/lightctl/ClientSocket.h"

#include "utils/handle/PosixDescriptor.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Norvik::Tools {

namespace {

SocketError failure(int error)
{
    return SocketError(std::strerror(error));
}

class PosixClientSocket : public ClientSocket {
public:
    PosixClientSocket() : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0))
    {
        if (!fd)
            throw failure(errno);
    }

    bool beginConnect(unsigned short port) override
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return true;
        if (errno != EINPROGRESS)
            throw failure(errno);
        return false;
    }

    void finishConnect() override
    {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        if (error != 0)
            throw failure(error);
    }

    unsigned short localPort() override
    {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0)
            return 0;
        return ntohs(local.sin_port);
    }

    void abort() override
    {
        const linger reset{1, 0};
        ::setsockopt(fd.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        fd.reset();
    }

    bool wait(bool forWriting, int milliseconds) override
    {
        pollfd entry{fd.get(), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
        const int ready = ::poll(&entry, 1, milliseconds);
        if (ready < 0 && errno != EINTR)
            throw failure(errno);
        return ready > 0;
    }

    Progress send(const char* data, std::size_t size, std::size_t& count) override
    {
        const ssize_t n = ::send(fd.get(), data, size, MSG_NOSIGNAL);
        if (n > 0) {
            count = static_cast<std::size_t>(n);
            return Progress::Done;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return Progress::WouldBlock;
        throw failure(n < 0 ? errno : EPIPE);
    }

    Progress receive(char* buffer, std::size_t size, std::size_t& count) override
    {
        const ssize_t n = ::recv(fd.get(), buffer, size, 0);
        if (n > 0) {
            count = static_cast<std::size_t>(n);
            return Progress::Done;
        }
        if (n == 0 || errno == ECONNRESET)
            return Progress::Closed;
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return Progress::WouldBlock;
        throw failure(errno);
    }

private:
    Utils::UniqueFd fd;
};

} // namespace

std::unique_ptr<ClientSocket> ClientSocket::open()
{
    return std::make_unique<PosixClientSocket>();
}

} // namespace Norvik::Tools

#endif
