#pragma once

#include "light/RequestFramer.h"
#include "ports/IServerDataCallback.h"
#include "utils/logging/RateLimitedLog.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace Norvik {

namespace Ports {
class SocketServer;
}
class LightVelk77Service;

// The request server: listens on 127.0.0.1:48888, frames JSON requests by brace balance,
// switches the lamp and answers each request with {"error","log"}.
class Server : public Ports::IServerDataCallback {
public:
    static constexpr int port = 48888;

    Server();
    // On listenPort (another one for tests and benchmarks). listening, when given, is called once
    // the port is this server's and the lamp is initialised, before the first client is accepted
    // (on the accept thread when the port was taken at first).
    explicit Server(int listenPort, std::function<void(const Server&)> listening = {});
    ~Server();

    bool isFinished() const;
    // Why the lamp is not ready (every request is answered with it); empty when it is.
    std::wstring lampFailure() const;
    // Why the port could not be opened at the last attempt; empty once it is open.
    std::wstring listenFailure() const;

    void onDataReceived(Ports::ClientPort clientPort, const std::vector<std::uint8_t>& data) override;
    void onClientConnected(Ports::ClientPort clientPort) override;
    void onClientDisconnected(Ports::ClientPort clientPort) override;
    void onListening() override;
    void onReceivePause(Ports::ClientPort clientPort) override;
    bool awaitsPause(Ports::ClientPort clientPort) override;

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

private:
    void handle(Ports::ClientPort clientPort, const std::vector<RequestFramer::Frame>& frames);
    void refuseHttp(Ports::SocketServer& server, Ports::ClientPort clientPort,
                    const std::vector<std::uint8_t>& requestLine);
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
    std::function<void(const Server&)> listening;
    Utils::RateLimitedLog httpRefusals{1, std::chrono::seconds(10)};
    bool finished = false;
};

} // namespace Norvik
