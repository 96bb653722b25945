#pragma once

#if !defined(_WIN32)

#include "ports/SocketServerBase.h"
#include "utils/handle/PosixDescriptor.h"

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
    Utils::UniqueFd listenSocket;
};

} // namespace Norvik::Ports

#endif
