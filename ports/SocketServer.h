#pragma once

#include "ports/IServerDataCallback.h"

#include "utils/threading/Routine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Norvik::Ports {

// A TCP server on 127.0.0.1 that accepts connections on a thread of its own and hands each to a
// connection object with its own receive thread. Building it starts listening at once.
class SocketServer : public Utils::Threading::Routine {
public:
    // Connections served at the same time; a client beyond them is closed at once. Each costs a
    // descriptor and a thread, and the process needs descriptors of its own (log, lamp, library).
    static constexpr int maxClients = 512;

    // A new platform server (WindowsSocketServer or PosixSocketServer); owned by the caller.
    static SocketServer* create(int port, IServerDataCallback* callback, const std::string& categoryName);

    virtual ~SocketServer() = default;
    // Sends to the connection of clientPort; the result is that of the connection's send, or -1
    // when that connection has ended.
    virtual int send(ClientPort clientPort, const std::vector<std::uint8_t>& data) = 0;
    virtual void closeClient(ClientPort clientPort) = 0;
    // The client has gone: its connection was reset (a client that closes is reset when it has
    // answers unread, or when the next one reaches it) or has ended. What it sent and is still
    // waiting is no longer wanted. A client that only ended its sending side is still there.
    virtual bool hasClientLeft(ClientPort clientPort) = 0;
    // Closes the listening socket, stops every connection and joins the accept thread; a second
    // call does nothing. The owner calls it before destroying the server.
    virtual void stop() = 0;
    // True once the listening socket is open (the first bind may fail and be retried), until stop.
    virtual bool isListening() const = 0;
    // The line that said why the port could not be opened; empty while it is open.
    virtual std::wstring listenFailure() const = 0;

    std::string getName() const { return categoryName; }

protected:
    SocketServer(int port, const std::string& categoryName) : categoryName(categoryName), port(port) {}

    std::string categoryName;
    int port;
};

} // namespace Norvik::Ports
