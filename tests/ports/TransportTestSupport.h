#pragma once

#include "ports/IServerDataCallback.h"
#include "tests/support/Proc.h"
#include "tests/support/TcpClient.h"
#include "tests/support/Wait.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace Norvik::Ports::Testing {

using namespace std::chrono_literals;
using TestSupport::elapsedSince;
using TestSupport::waitUntil;

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

    mutable std::mutex lock;
    std::vector<Event> recorded;
};

using TestSupport::TcpClient;

using TestSupport::freeTcpPort;

using TestSupport::PortHolder;

// The lines the transport logged since this object was made.
class LogWatch {
public:
    LogWatch();
    std::vector<std::string> lines() const;
    int countContaining(const std::string& text) const;
    bool waitForLine(const std::string& line, std::chrono::milliseconds timeout = 5s) const;

private:
    std::size_t start;
};

std::string logFilePath();
inline std::size_t openDescriptorCount()
{
    return static_cast<std::size_t>(TestSupport::openDescriptors(::getpid()));
}
inline std::size_t threadCount()
{
    return static_cast<std::size_t>(TestSupport::statusField(::getpid(), "Threads"));
}
std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed);

} // namespace Norvik::Ports::Testing
