#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

namespace Norvik::Tools {

// A socket call failed; the text is the system's own description of the error.
class SocketError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The client's non-blocking TCP socket to 127.0.0.1, one implementation per platform. Every
// operation raises SocketError when the system refuses it.
class ClientSocket {
public:
    // What a send or receive came to.
    enum class Progress { Done, WouldBlock, Closed };

    virtual ~ClientSocket() = default;

    static std::unique_ptr<ClientSocket> open();

    // Starts connecting to 127.0.0.1:port; true when connected at once, false when pending.
    virtual bool beginConnect(unsigned short port) = 0;
    // The outcome of a pending connection once wait(true, ...) said ready.
    virtual void finishConnect() = 0;
    // The local port the connection got; 0 when unknown.
    virtual unsigned short localPort() = 0;
    // Closes with a reset, leaving no TIME_WAIT behind.
    virtual void abort() = 0;
    // Waits up to the given time for the socket to take data (forWriting) or to have some;
    // false when the time ran out.
    virtual bool wait(bool forWriting, int milliseconds) = 0;
    // Done with count > 0 or WouldBlock.
    virtual Progress send(const char* data, std::size_t size, std::size_t& count) = 0;
    // Done with count > 0, WouldBlock, or Closed when the peer ended or reset the connection.
    virtual Progress receive(char* buffer, std::size_t size, std::size_t& count) = 0;
};

} // namespace Norvik::Tools
