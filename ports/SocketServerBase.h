#pragma once

#include "SocketServer.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

namespace Norvik::Utils::Threading {
class Mutex;
class Thread;
} // namespace Norvik::Utils::Threading

namespace Norvik::Ports {

class ClientConnection;

// The clients table, the accept pass and the shutdown of WindowsSocketServer and PosixSocketServer;
// the platform classes provide the listening socket.
class SocketServerBase : public SocketServer {
public:
    ~SocketServerBase() override;

    void run() override;
    int send(unsigned short clientPort, const std::vector<std::uint8_t>& data) override;
    void closeClient(unsigned short clientPort) override;
    void stop() override;
    bool isListening() const override;

    // Connections in the table, ended ones not yet freed included.
    std::size_t clientCount() const;

protected:
    SocketServerBase(int port, IServerDataCallback* callback, const std::string& categoryName);

    // Platform constructors call this last: the first bind attempt, then the accept thread.
    void begin();

    // Socket, options, bind and listen; on failure nothing stays open and error holds the code.
    virtual bool openListener(int& error) = 0;
    // Blocks until a client connects; a new platform connection, or null when accept failed.
    virtual ClientConnection* acceptClient() = 0;
    // Makes a blocked or later accept return at once.
    virtual void wakeListener() = 0;
    // Releases the listening socket; the accept thread has ended.
    virtual void closeListener() = 0;
    // Undoes the platform's start-up; called exactly once, by stop.
    virtual void cleanup() = 0;

    IServerDataCallback* callback;

private:
    using Client = std::shared_ptr<ClientConnection>;

    bool listenOnce();
    bool waitForRetry();
    void admit(const Client& client);
    Client find(unsigned short clientPort) const;

    std::unique_ptr<Utils::Threading::Mutex> clientsMutex;
    std::map<unsigned short, Client> clients;
    std::unique_ptr<Utils::Threading::Thread> acceptThread;

    // Guards the listening state against stop, and lets stop cut the wait between bind attempts.
    mutable std::mutex stateLock;
    std::condition_variable stateChanged;
    bool listening = false;
    bool stopping = false;
    bool bindFailureShown = false;
    std::atomic<bool> stopped{false};
};

} // namespace Norvik::Ports
