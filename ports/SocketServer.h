#pragma once

#include "../utils/Routine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Norvik::Ports {

class IServerDataCallback;

// A TCP server on 127.0.0.1 that accepts connections on a thread of its own and hands each to a
// connection object with its own receive thread. Building it starts listening at once.
class SocketServer : public Utils::Threading::Routine {
public:
    // A new platform server (WindowsSocketServer or PosixSocketServer); owned by the caller.
    static SocketServer* create(int port, IServerDataCallback* callback, const std::string& categoryName);

    virtual ~SocketServer() = default;
    // Sends to the connection of clientPort; the result is that of the connection's send.
    virtual int send(unsigned short clientPort, const std::vector<std::uint8_t>& data) = 0;
    virtual void closeClient(unsigned short clientPort) = 0;
    // Closes the listening socket, stops every connection and joins the accept thread; a second
    // call does nothing. The owner calls it before destroying the server.
    virtual void stop() = 0;
    // True once the listening socket is open (the first bind may fail and be retried), until stop.
    virtual bool isListening() const = 0;

    std::string getName() const { return categoryName; }

protected:
    SocketServer(int port, const std::string& categoryName) : categoryName(categoryName), port(port) {}

    std::string categoryName;
    int port;
};

} // namespace Norvik::Ports
