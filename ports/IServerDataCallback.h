#pragma once

#include <cstdint>
#include <vector>

namespace Norvik::Ports {

// How the socket transport reports to its owner. clientPort is the remote TCP port of the
// connection in host byte order, the only identity of a connection.
class IServerDataCallback {
public:
    // One received chunk, 1 to 1024 bytes; called on the connection's receive thread.
    virtual void onDataReceived(unsigned short clientPort, const std::vector<std::uint8_t>& data) = 0;
    // Called on the accept thread.
    virtual void onClientConnected(unsigned short clientPort) = 0;
    // Called once per connection, on its receive thread.
    virtual void onClientDisconnected(unsigned short clientPort) = 0;

protected:
    ~IServerDataCallback() = default;
};

} // namespace Norvik::Ports
