#if !defined(_WIN32)

#include "LightClient.h"

#include "AnswerFramer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Norvik::Tools {

namespace {

using Clock = std::chrono::steady_clock;

class Socket {
public:
    Socket() : fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {}
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return fd; }
    // Closes with a reset, leaving no TIME_WAIT behind.
    void abort()
    {
        const linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
        fd = -1;
    }

private:
    int fd;
};

std::string systemText(int error)
{
    return std::strerror(error);
}

class Exchange {
public:
    Exchange(unsigned short port, double timeoutSeconds)
        : port(port),
          deadline(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(timeoutSeconds)))
    {
    }

    std::string run(const std::string& request)
    {
        if (socket.get() < 0)
            throw ClientFailure("cannot create a socket: " + systemText(errno));
        connect();
        send(request);
        return receive();
    }

private:
    std::string where() const { return "127.0.0.1:" + std::to_string(port); }

    // Waits for the events or the deadline; false when the time is up.
    bool wait(short events)
    {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd entry{socket.get(), events, 0};
            // Rounded up, so the deadline is never missed by a poll that returns a little early.
            const int ready = ::poll(&entry, 1, static_cast<int>(left.count()) + 1);
            if (ready > 0)
                return true;
            if (ready < 0 && errno != EINTR)
                throw ClientFailure("waiting for " + where() + " failed: " + systemText(errno));
        }
    }

    void connect()
    {
        establish();
        // With nothing listening, the kernel may pick the service's own port as the local one
        // and connect the socket to itself. Its TIME_WAIT would then keep the service from
        // binding its port for a minute, so it is reset at once.
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
            ntohs(local.sin_port) == port) {
            socket.abort();
            throw ClientFailure("cannot reach the light service on " + where() + ": nothing listens there");
        }
    }

    void establish()
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return;
        if (errno != EINPROGRESS)
            throw ClientFailure("cannot reach the light service on " + where() + ": " + systemText(errno));
        if (!wait(POLLOUT))
            throw ClientFailure("no connection to the light service on " + where() + " in time");
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        if (error != 0)
            throw ClientFailure("cannot reach the light service on " + where() + ": " + systemText(error));
    }

    void send(const std::string& request)
    {
        std::size_t sent = 0;
        while (sent < request.size()) {
            const ssize_t n = ::send(socket.get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                if (!wait(POLLOUT))
                    throw ClientFailure("the light service on " + where() + " takes no request in time");
            } else {
                throw ClientFailure("sending to the light service on " + where() +
                                    " failed: " + systemText(n < 0 ? errno : EPIPE));
            }
        }
    }

    std::string receive()
    {
        AnswerFramer framer;
        char chunk[1024];
        for (;;) {
            if (!wait(POLLIN))
                throw ClientFailure("no answer from the light service on " + where() + " in time");
            const ssize_t n = ::recv(socket.get(), chunk, sizeof chunk, 0);
            if (n < 0 && errno != ECONNRESET) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                    continue;
                throw ClientFailure("reading the answer from " + where() + " failed: " + systemText(errno));
            }
            if (n == 0 || (n < 0 && errno == ECONNRESET))
                throw ClientFailure("the light service on " + where() + " closed the connection without an answer");
            switch (framer.add(std::string(chunk, static_cast<std::size_t>(n)))) {
            case AnswerFramer::State::Complete:
                return framer.answer();
            case AnswerFramer::State::Malformed:
                throw ClientFailure("the light service on " + where() + " answered something that is not a JSON object");
            case AnswerFramer::State::Incomplete:
                break;
            }
        }
    }

    const unsigned short port;
    const Clock::time_point deadline;
    Socket socket;
};

} // namespace

std::string LightClient::exchange(unsigned short port, const std::string& request, double timeoutSeconds)
{
    return Exchange(port, timeoutSeconds).run(request);
}

} // namespace Norvik::Tools

#endif
