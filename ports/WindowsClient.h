#pragma once

#if defined(_WIN32)

#include "ports/ClientConnection.h"
#include "ports/WindowsSocket.h"

namespace Norvik::Ports {

// A connection on a Winsock socket; closing the socket makes a blocked recv fail.
class WindowsClient : public ClientConnection {
public:
    WindowsClient(SOCKET socket, ClientPort clientPort, IServerDataCallback* callback, const std::string& categoryName);
    ~WindowsClient() override;

protected:
    Transfer receiveSome(std::uint8_t* buffer, std::size_t size) override;
    Transfer sendSome(const std::uint8_t* data, std::size_t size) override;
    void shutdownSocket() override;
    void closeDescriptor() override;
    bool peerHasClosed() override;
    bool waitForData(int milliseconds) override;

private:
    WindowsSocket socket;
};

} // namespace Norvik::Ports

#endif
