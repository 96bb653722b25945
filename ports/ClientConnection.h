#pragma once

#include "ports/IServerDataCallback.h"

#include "utils/threading/Routine.h"

#include <atomic>
#include <chrono>
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

// One accepted connection with its receive thread: the part of WindowsClient and PosixClient that
// does not depend on the socket layer. The platform classes hold the socket.
class ClientConnection : public Utils::Threading::Routine {
public:
    ClientConnection(ClientPort clientPort, IServerDataCallback* callback, const std::string& categoryName);
    virtual ~ClientConnection();

    // One receive pass. When the connection ends, its socket is closed before the end is reported.
    void run() override;
    // A pass that got data goes straight back to receiving.
    bool passDidWork() const override { return gotData; }
    // Starts the receive thread; false when the thread could not be created.
    virtual bool start();
    // Wakes the receive thread, lets it report the end (if it was started) and joins it. Never
    // called on that thread; platform destructors call it first, while their socket still exists.
    virtual void stop();
    // Writes all bytes; the count written, or -1 (SOCKET_ERROR), logged unless the socket is gone.
    virtual int send(const std::vector<std::uint8_t>& data);
    // Makes the socket unusable and wakes a blocked receive; only the first call acts.
    void closeSocket();
    // The peer has reset the connection (as closing with answers unread, or receiving one after
    // closing, does), or this side has closed it.
    bool hasPeerLeft();

    ClientPort getClientPort() const { return clientPort; }

    // When the server is full: a connection that may be given up for a newcomer, neither handling
    // a request (or waiting for its turn, or sending its answer) nor closed already; idleSince is
    // then when its client last sent something.
    bool mayBeGivenUp(std::chrono::steady_clock::time_point& idleSince);

    // How long an answer may take to be delivered before the connection is ended.
    static constexpr int sendLimitSeconds = 5;

    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

protected:
    // A platform call's outcome: count > 0 bytes moved, 0 the peer closed, < 0 failed with error;
    // departed when that error is the client's ordinary way of leaving (a reset).
    struct Transfer {
        long count;
        int error;
        // A send that could not be delivered within sendLimitSeconds.
        bool timedOut = false;
        // The client reset or ended the connection: an ordinary departure, not a failure.
        bool departed = false;
    };

    virtual Transfer receiveSome(std::uint8_t* buffer, std::size_t size) = 0;
    virtual Transfer sendSome(const std::uint8_t* data, std::size_t size) = 0;
    // Wakes whatever waits on the socket; the descriptor stays taken.
    virtual void shutdownSocket() = 0;
    // Gives the descriptor back to the system; nothing uses the socket any more.
    virtual void closeDescriptor() = 0;
    // Without waiting: the peer has reset the connection, even if data is still unread.
    virtual bool peerHasClosed() = 0;
    // Waits up to milliseconds for something to receive (data, the end, a failure); false when
    // nothing came in that time.
    virtual bool waitForData(int milliseconds) = 0;

private:
    void releaseSocket();

    std::unique_ptr<Utils::Threading::Thread> receiveThread;
    ClientPort clientPort;
    IServerDataCallback* callback;
    std::string categoryName;
    std::atomic<bool> started{false};
    std::atomic<bool> disconnectReported{false};
    std::atomic<bool> receiving{false};
    // Receive thread only: a chunk came, the owner awaits the pause after it, and it has not been
    // seen yet.
    bool awaitingPause = false;
    std::atomic<bool> handling{false};
    std::atomic<std::chrono::steady_clock::rep> lastReceived;
    // Keeps the bytes of one answer together when two threads send to the same client; the
    // descriptor is given back only under it, so no send can reach a reused descriptor.
    std::mutex sendLock;
    // Guards shutting the socket down and looking at it against giving the descriptor back.
    std::mutex descriptorLock;
    bool closed = false;
    bool released = false;
    // Touched only on the receive thread.
    bool gotData = false;
};

} // namespace Norvik::Ports
