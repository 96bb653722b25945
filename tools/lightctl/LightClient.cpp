#include "tools/lightctl/LightClient.h"

#include "tools/lightctl/AnswerFramer.h"
#include "tools/lightctl/ClientSocket.h"

#include <chrono>

namespace Norvik::Tools {

namespace {

using Clock = std::chrono::steady_clock;

class Exchange {
public:
    Exchange(unsigned short port, double timeoutSeconds)
        : port(port),
          deadline(Clock::now() +
                   std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds)))
    {
    }

    std::string run(const std::string& request)
    {
        try {
            socket = ClientSocket::open();
        } catch (const SocketError& error) {
            throw ClientFailure(std::string("cannot create a socket: ") + error.what());
        }
        connect();
        send(request);
        return receive();
    }

private:
    std::string where() const { return "127.0.0.1:" + std::to_string(port); }

    // Waits for the socket or the deadline; false when the time is up.
    bool wait(bool forWriting)
    {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            try {
                // Rounded up, so the deadline is never missed by a wait that returns a little early.
                if (socket->wait(forWriting, static_cast<int>(left.count()) + 1))
                    return true;
            } catch (const SocketError& error) {
                throw ClientFailure("waiting for " + where() + " failed: " + error.what());
            }
        }
    }

    void connect()
    {
        establish();
        // With nothing listening, the system may pick the service's own port as the local one
        // and connect the socket to itself. Its TIME_WAIT would then keep the service from
        // binding its port for a minute, so it is reset at once.
        if (socket->localPort() == port) {
            socket->abort();
            throw ClientFailure("cannot reach the light service on " + where() + ": nothing listens there");
        }
    }

    void establish()
    {
        try {
            if (socket->beginConnect(port))
                return;
            if (!wait(true))
                throw ClientFailure("no connection to the light service on " + where() + " in time");
            socket->finishConnect();
        } catch (const SocketError& error) {
            throw ClientFailure("cannot reach the light service on " + where() + ": " + error.what());
        }
    }

    void send(const std::string& request)
    {
        std::size_t sent = 0;
        while (sent < request.size()) {
            std::size_t count = 0;
            ClientSocket::Progress progress;
            try {
                progress = socket->send(request.data() + sent, request.size() - sent, count);
            } catch (const SocketError& error) {
                throw ClientFailure("sending to the light service on " + where() + " failed: " + error.what());
            }
            if (progress == ClientSocket::Progress::Done)
                sent += count;
            else if (!wait(true))
                throw ClientFailure("the light service on " + where() + " takes no request in time");
        }
    }

    std::string receive()
    {
        AnswerFramer framer;
        char chunk[1024];
        for (;;) {
            if (!wait(false))
                throw ClientFailure("no answer from the light service on " + where() + " in time");
            std::size_t count = 0;
            ClientSocket::Progress progress;
            try {
                progress = socket->receive(chunk, sizeof chunk, count);
            } catch (const SocketError& error) {
                throw ClientFailure("reading the answer from " + where() + " failed: " + error.what());
            }
            if (progress == ClientSocket::Progress::WouldBlock)
                continue;
            if (progress == ClientSocket::Progress::Closed)
                throw ClientFailure("the light service on " + where() + " closed the connection without an answer");
            switch (framer.add(std::string(chunk, count))) {
            case AnswerFramer::State::Complete:
                return framer.answer();
            case AnswerFramer::State::Malformed:
                throw ClientFailure("the light service on " + where() +
                                    " answered something that is not a JSON object");
            case AnswerFramer::State::Incomplete:
                break;
            }
        }
    }

    const unsigned short port;
    const Clock::time_point deadline;
    std::unique_ptr<ClientSocket> socket;
};

} // namespace

std::string LightClient::exchange(unsigned short port, const std::string& request, double timeoutSeconds)
{
    return Exchange(port, timeoutSeconds).run(request);
}

} // namespace Norvik::Tools
