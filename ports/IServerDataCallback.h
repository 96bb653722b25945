#pragma once

#include <cstdint>
#include <vector>

namespace Norvik::Ports {

// One connection as the transport names it: the remote TCP port in host byte order, which the
// console and log lines show, and a number the server gives each accepted connection. Clients on
// different loopback addresses may use the same port, so only the number tells connections apart.
class ClientPort {
public:
    ClientPort() = default;
    ClientPort(unsigned short port, std::uint64_t connection) : number(port), key(connection) {}

    unsigned short port() const { return number; }
    std::uint64_t connection() const { return key; }

    bool operator==(const ClientPort& other) const { return key == other.key; }
    bool operator!=(const ClientPort& other) const { return key != other.key; }
    bool operator<(const ClientPort& other) const { return key < other.key; }

private:
    unsigned short number = 0;
    std::uint64_t key = 0;
};

// How the socket transport reports to its owner.
class IServerDataCallback {
public:
    // One received chunk, 1 to 1024 bytes; called on the connection's receive thread.
    virtual void onDataReceived(ClientPort clientPort, const std::vector<std::uint8_t>& data) = 0;
    // Called on the accept thread.
    virtual void onClientConnected(ClientPort clientPort) = 0;
    // Called once per connection, on its receive thread (or on the thread that stops the server).
    virtual void onClientDisconnected(ClientPort clientPort) = 0;
    // The port is this server's now; no client is accepted before this returns. Called once, on
    // the thread that bound the port (the constructing one, or the accept thread on a retry).
    virtual void onListening() {}
    // The client has sent nothing for a short while after its last chunk; on its receive thread.
    virtual void onReceivePause(ClientPort) {}
    // Whether such a pause, after the chunk just handled, would complete something held for the
    // client. Waiting for one costs every request a poll, on Windows a round trip to the system.
    virtual bool awaitsPause(ClientPort) { return true; }

protected:
    ~IServerDataCallback() = default;
};

} // namespace Norvik::Ports
