#pragma once

#include "../utils/Routine.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Norvik::Utils::Threading {
class Thread;
}

namespace Norvik::Ports {

class IServerDataCallback;

// One accepted connection with its receive thread: the part of WindowsClient and PosixClient that
// does not depend on the socket layer. The platform classes hold the socket.
class ClientConnection : public Utils::Threading::Routine {
public:
    ClientConnection(unsigned short clientPort, IServerDataCallback* callback, const std::string& categoryName);
    virtual ~ClientConnection();

    // One receive pass.
    void run() override;
    // Starts the receive thread; false when the thread could not be created.
    virtual bool start();
    // Wakes the receive thread, lets it report the end and joins it. Never called on that thread;
    // platform destructors call it first, while their socket still exists.
    virtual void stop();
    // Writes all bytes; the count written, or -1 (SOCKET_ERROR) after logging the failure.
    virtual int send(const std::vector<std::uint8_t>& data);
    // Makes the socket unusable and wakes a blocked receive; only the first call acts.
    void closeSocket();

    // The receive thread has run and ended: the connection can be stopped and freed at once.
    bool hasEnded() const;
    unsigned short getClientPort() const { return clientPort; }

    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

protected:
    // A platform call's outcome: count > 0 bytes moved, 0 the peer closed, < 0 failed with error.
    struct Transfer {
        long count;
        int error;
    };

    virtual Transfer receiveSome(std::uint8_t* buffer, std::size_t size) = 0;
    virtual Transfer sendSome(const std::uint8_t* data, std::size_t size) = 0;
    virtual void shutdownSocket() = 0;

private:
    std::unique_ptr<Utils::Threading::Thread> receiveThread;
    unsigned short clientPort;
    IServerDataCallback* callback;
    std::string categoryName;
    std::atomic<bool> closed{false};
    std::atomic<bool> disconnectReported{false};
    std::atomic<bool> receiving{false};
    // Keeps the bytes of one answer together when two threads send to the same client.
    std::mutex sendLock;
};

} // namespace Norvik::Ports
