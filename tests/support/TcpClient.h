#pragma once

#include <cstddef>
#include <string>

namespace TestSupport {

// A loopback TCP client; connected() is false when nothing listens on the port.
class TcpClient {
public:
    explicit TcpClient(int port);
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    bool connected() const { return fd >= 0; }
    // All of text, or an exception.
    void send(const std::string& text);
    // Reads until count bytes arrived, the peer closed or the time is up; returns all that came.
    std::string receive(std::size_t count, int timeoutMs);
    // Everything up to and including the first end; empty when it has not come in time.
    std::string receiveUntil(const std::string& end, int timeoutMs);
    // Whatever arrives until nothing has come for timeoutMs.
    std::string receiveAvailable(int timeoutMs);
    unsigned short localPort() const;
    // Ends the sending side only; answers can still be read.
    void shutdownSending();
    void close();

private:
    // One read of what is waiting within timeoutMs into pending; false on time-out, close or error.
    bool readSome(int timeoutMs);

    int fd = -1;
    std::string pending;
};

// Connects fd to 127.0.0.1:port. With nothing listening, Linux may pick the same port as the
// local end (it lies in the ephemeral range) and connect the socket to itself; that counts as
// not connected, and the socket is reset so no TIME_WAIT keeps the service from binding the port.
bool connectLoopback(int fd, int port);

// Tries to connect until something listens on the port or the time is up.
bool waitForListener(int port, int timeoutMs);

// A port nothing listens on at the moment of the call.
int freeTcpPort();

} // namespace TestSupport
