#pragma once

#include "ports/IServerDataCallback.h"
#include "ports/SocketServer.h"

#include "utils/logging/RateLimitedLog.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace Norvik::Utils::Threading {
class Thread;
} // namespace Norvik::Utils::Threading

namespace Norvik::Ports {

class ClientConnection;

// The clients table, the accept pass and the shutdown of WindowsSocketServer and PosixSocketServer;
// the platform classes provide the listening socket. Connections report to the server, which
// passes their reports on to its owner and frees a connection as soon as it has ended.
class SocketServerBase : public SocketServer, protected IServerDataCallback {
public:
    ~SocketServerBase() override;

    void run() override;
    // A pass that accepted a client goes straight back to accepting.
    bool passDidWork() const override { return acceptedClient; }
    int send(ClientPort clientPort, const std::vector<std::uint8_t>& data) override;
    void closeClient(ClientPort clientPort) override;
    bool hasClientLeft(ClientPort clientPort) override;
    void stop() override;
    bool isListening() const override;
    std::wstring listenFailure() const override;

    // Live connections in the table.
    std::size_t clientCount() const;

protected:
    SocketServerBase(int port, IServerDataCallback* callback, const std::string& categoryName);

    // Platform constructors call this last: the first bind attempt, then the accept thread.
    void begin();

    // Socket, options, bind and listen; on failure nothing stays open and error holds the code.
    virtual bool openListener(int& error) = 0;
    // Blocks until a client connects; a new platform connection that reports to this server and is
    // named by connection, or null with error set when accept failed.
    virtual ClientConnection* acceptClient(std::uint64_t connection, int& error) = 0;
    // Makes a blocked or later accept return at once.
    virtual void wakeListener() = 0;
    // Releases the listening socket; the accept thread has ended.
    virtual void closeListener() = 0;
    // Undoes the platform's start-up; called exactly once, by stop.
    virtual void cleanup() = 0;

    void onDataReceived(ClientPort clientPort, const std::vector<std::uint8_t>& data) override;
    void onClientConnected(ClientPort clientPort) override;
    void onClientDisconnected(ClientPort clientPort) override;
    void onReceivePause(ClientPort clientPort) override;

private:
    using Client = std::shared_ptr<ClientConnection>;
    using Clock = std::chrono::steady_clock;

    bool listenOnce();
    void acceptFailed(int error);
    void admit(const Client& client);
    Client find(ClientPort clientPort) const;
    bool findIdlest(Client& idlest, Clock::time_point& idleSince) const;

    IServerDataCallback* owner;
    mutable std::mutex clientsMutex;
    std::map<std::uint64_t, Client> clients;
    // The last connection that ended on its own: its thread cannot join itself, so the next one to
    // end (or stop) frees it. Its descriptor is already closed.
    Client ended;
    std::unique_ptr<Utils::Threading::Thread> acceptThread;
    std::uint64_t nextConnection = 1;

    // Accept thread only. A failing accept, or refusing at the limit, is logged when it starts
    // and once it has given way to accepting for a while, so a crowd that keeps the server at the
    // edge writes two lines rather than one per client.
    int acceptFailures = 0;
    bool acceptedClient = false;
    int lastAcceptError = 0;
    Clock::time_point lastAcceptFailure;
    int refusedClients = 0;
    Clock::time_point lastRefusal;
    Utils::RateLimitedLog givenUpLines{1, std::chrono::seconds(10)};

    // Guards the listening state against stop, and lets stop cut the waits between attempts.
    mutable std::mutex stateLock;
    std::condition_variable stateChanged;
    bool listening = false;
    bool stopping = false;
    bool bindFailureShown = false;
    std::wstring bindFailure;
    std::atomic<bool> stopped{false};
};

} // namespace Norvik::Ports
