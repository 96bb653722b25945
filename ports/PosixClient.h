#pragma once

#if !defined(_WIN32)

#include "ports/ClientConnection.h"
#include "utils/handle/PosixDescriptor.h"

namespace Norvik::Ports {

// A connection on a POSIX socket. Shutting a socket down is what wakes a blocked recv here; the
// descriptor itself is closed once the receive thread is done with it and no send is under way.
class PosixClient : public ClientConnection {
public:
    PosixClient(Utils::UniqueFd socket, ClientPort clientPort, IServerDataCallback* callback,
                const std::string& categoryName);
    ~PosixClient() override;

protected:
    Transfer receiveSome(std::uint8_t* buffer, std::size_t size) override;
    Transfer sendSome(const std::uint8_t* data, std::size_t size) override;
    void shutdownSocket() override;
    void closeDescriptor() override;
    bool peerHasClosed() override;
    bool waitForData(int milliseconds) override;

private:
    Utils::UniqueFd socket;
};

} // namespace Norvik::Ports

#endif
