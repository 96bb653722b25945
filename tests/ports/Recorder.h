#pragma once

#include "ports/IServerDataCallback.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace Norvik::Ports::Testing {

// Records every report of the transport, in the order the threads made them.
class Recorder : public IServerDataCallback {
public:
    enum Kind { Connected, Data, Disconnected };
    struct Event {
        Kind kind;
        ClientPort client;
        std::vector<std::uint8_t> data;
        unsigned short port() const { return client.port(); }
    };

    void onDataReceived(ClientPort clientPort, const std::vector<std::uint8_t>& data) override;
    void onClientConnected(ClientPort clientPort) override;
    void onClientDisconnected(ClientPort clientPort) override;

    // Runs inside onDataReceived, on the connection's thread, after the chunk is recorded.
    std::function<void(ClientPort, const std::vector<std::uint8_t>&)> onData;

    std::vector<Event> events() const;
    // By the port the console shows, or by the connection itself.
    int count(Kind kind, unsigned short port) const;
    int count(Kind kind, ClientPort client) const;
    int count(Kind kind) const;
    std::vector<std::uint8_t> bytes(unsigned short port) const;
    // The connections reported with that port, in the order they connected.
    std::vector<ClientPort> clients(unsigned short port) const;

private:
    void add(Event event);
    int countIf(const std::function<bool(const Event&)>& matches) const;

    mutable std::mutex lock;
    std::vector<Event> recorded;
};

} // namespace Norvik::Ports::Testing
