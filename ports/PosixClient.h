#pragma once

#if !defined(_WIN32)

#include "ClientConnection.h"
#include "PosixSocket.h"

namespace Norvik::Ports {

// A connection on a POSIX socket. Shutting a socket down is what wakes a blocked recv here; the
// descriptor itself is closed only when the object goes, so its number cannot be reused under
// a thread that still sends on it.
class PosixClient : public ClientConnection {
public:
    PosixClient(PosixSocket socket, unsigned short clientPort, IServerDataCallback* callback,
        const std::string& categoryName);
    ~PosixClient() override;

protected:
    Transfer receiveSome(std::uint8_t* buffer, std::size_t size) override;
    Transfer sendSome(const std::uint8_t* data, std::size_t size) override;
    void shutdownSocket() override;

private:
    PosixSocket socket;
};

} // namespace Norvik::Ports

#endif
