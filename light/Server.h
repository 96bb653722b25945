#pragma once

#include "ports/IServerDataCallback.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace Norvik {

namespace Ports {
class SocketServer;
}
class LightVelk77Service;
class RequestFramer;

// The request server: listens on 127.0.0.1:48888, frames JSON requests by brace balance,
// switches the lamp and answers each request with {"error","log"}.
class Server : public Ports::IServerDataCallback {
public:
    static constexpr int port = 48888;

    Server();
    // Another port, for tests and benchmarks.
    explicit Server(int listenPort);
    ~Server();

    bool isFinished() const;
    // True once a client can connect: the port may be taken at start and bound on a later retry.
    bool isListening() const;
    // Why the lamp is not ready (every request is answered with it); empty when it is.
    std::wstring lampFailure() const;
    // Why the port could not be opened at the last attempt; empty once it is open.
    std::wstring listenFailure() const;

    void onDataReceived(Ports::ClientPort clientPort, const std::vector<std::uint8_t>& data) override;
    void onClientConnected(Ports::ClientPort clientPort) override;
    void onClientDisconnected(Ports::ClientPort clientPort) override;

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

private:
    std::shared_ptr<Ports::SocketServer> transport();
    void answer(Ports::ClientPort clientPort, const std::vector<std::uint8_t>& bytes);

    std::shared_ptr<Ports::SocketServer> socketServer;
    std::shared_ptr<LightVelk77Service> lightService;
    // One receive buffer per connection, so requests of two clients are never mixed.
    std::map<Ports::ClientPort, std::shared_ptr<RequestFramer>> receiveBuffers;
    std::mutex buffersLock;
    // Both this turn and the light service's lamp lock serialise setLights, and both are needed:
    // the lamp lock keeps the lamp calls of every user of the service apart (the key test, the
    // server), while only a turn taken here, before the request is handled, lets a stop or the
    // client leaving drop the requests still waiting instead of switching the lamp for each.
    std::mutex requestTurn;
    std::atomic<bool> stopping{false};
    bool finished = false;
};

} // namespace Norvik
