#pragma once

#if defined(_WIN32)

#include "ports/SocketServerBase.h"
#include "ports/WindowsSocket.h"

#include <memory>

namespace Norvik::Ports {

class WindowsSocketServer : public SocketServerBase {
public:
    WindowsSocketServer(int port, IServerDataCallback* callback, const std::string& categoryName);
    ~WindowsSocketServer() override;

protected:
    bool openListener(int& error) override;
    ClientConnection* acceptClient(std::uint64_t connection, int& error) override;
    void wakeListener() override;
    void closeListener() override;
    void cleanup() override;

private:
    std::unique_ptr<WindowsSocket> listenSocket;
    bool winsockStarted = false;
};

} // namespace Norvik::Ports

#endif
