#pragma once

#if !defined(_WIN32)

#include "ports/PosixSocket.h"
#include "ports/SocketServerBase.h"

namespace Norvik::Ports {

class PosixSocketServer : public SocketServerBase {
public:
    PosixSocketServer(int port, IServerDataCallback* callback, const std::string& categoryName);
    ~PosixSocketServer() override;

protected:
    bool openListener(int& error) override;
    ClientConnection* acceptClient(std::uint64_t connection, int& error) override;
    void wakeListener() override;
    void closeListener() override;
    void cleanup() override;

private:
    PosixSocket listenSocket;
};

} // namespace Norvik::Ports

#endif
