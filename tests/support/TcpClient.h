#pragma once

#include "utils/handle/PosixDescriptor.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace TestSupport {

// The service's fixed port.
constexpr unsigned short servicePort = 48888;

// The test's end of a TCP connection; connected() is false when nothing listens on the port.
class TcpClient {
public:
    TcpClient() = default;
    // Connects to 127.0.0.1:port.
    explicit TcpClient(unsigned short port);
    // Connects to address:port; localAddress and localPort pick the client's own end when given.
    static TcpClient connectTo(unsigned short port, const char* address = "127.0.0.1",
                               const char* localAddress = nullptr, unsigned short localPort = 0);

    bool connected() const { return static_cast<bool>(fd); }
    // The errno of a connection that failed.
    int error() const { return connectError; }
    // All of the bytes, or an exception.
    void send(const std::string& bytes) const;
    void send(const std::vector<std::uint8_t>& bytes) const;
    // All of the bytes; false when they could not all be sent.
    bool trySend(const std::string& bytes) const;
    // Reads until count bytes arrived, the peer closed or the time is up; returns at most count.
    std::string receive(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Everything up to and including the first end; empty when it has not come in time.
    std::string receiveUntil(const std::string& end, std::chrono::milliseconds timeout);
    // One complete answer of the light service (text up to "}\n"); empty on time-out or end.
    std::string readAnswer(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Sends the request and reads one answer; a send that fails throws.
    std::string ask(const std::string& request);
    // Whatever arrives until nothing has come for the quiet period.
    std::string readAvailable(std::chrono::milliseconds quiet);
    // True when the other end closed (or reset) within the time; what arrives meanwhile is kept.
    bool seesEnd(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    bool ended() const { return peerEnded; }
    // Bytes received and not yet taken.
    const std::string& partial() const { return pending; }
    unsigned short localPort() const;
    // Ends the sending side only; answers can still be read.
    void shutdownSending();
    void close();
    // Closes with SO_LINGER 0, so the other end gets a reset instead of an orderly close.
    void reset();

private:
    // One read of what is waiting within timeoutMs into pending; false on time-out, close or error.
    bool readSome(int timeoutMs);
    // Reads while more() holds; false when the time ran out or the connection ended first.
    bool readWhile(const std::function<bool()>& more, std::chrono::milliseconds timeout);

    Norvik::Utils::UniqueFd fd;
    int connectError = 0;
    bool peerEnded = false;
    std::string pending;
};

// Tries to connect until something listens on the port or the time is up.
bool waitForListener(int port, int timeoutMs);

// Waits until no program holds the port (it can be bound), or the time is up.
bool waitForFreePort(unsigned short port, std::chrono::milliseconds timeout);

// Sends request on fresh connections until one is answered or the time is up; empty then.
std::string answerWithin(unsigned short port, const std::string& request,
                         std::chrono::milliseconds timeout = std::chrono::seconds(5));

// A port nothing listens on at the moment of the call.
unsigned short freeTcpPort();

// A listening socket on 127.0.0.1:port, as another program would hold the port.
class PortHolder {
public:
    explicit PortHolder(unsigned short port);

    bool held() const { return static_cast<bool>(fd); }
    void release() { fd.reset(); }

private:
    Norvik::Utils::UniqueFd fd;
};

} // namespace TestSupport
