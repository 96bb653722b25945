#pragma once

#include "IServerDataCallback.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace Norvik::Ports::Testing {

using namespace std::chrono_literals;

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
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 5s) const;

private:
    void add(Event event);

    mutable std::mutex lock;
    std::vector<Event> recorded;
};

// The test's end of a connection.
class Peer {
public:
    Peer() = default;
    ~Peer();
    Peer(Peer&& other) noexcept;
    Peer& operator=(Peer&& other) noexcept;
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // Connects to address:port; localAddress and localPort pick the peer's own end when given.
    static Peer connectTo(unsigned short port, const char* address = "127.0.0.1",
        const char* localAddress = nullptr, unsigned short localPort = 0);

    bool isConnected() const { return descriptor >= 0; }
    int error() const { return connectError; }
    unsigned short localPort() const;
    void sendAll(const std::vector<std::uint8_t>& data) const;
    // Reads until count bytes arrived, the peer closed or the timeout passed.
    std::vector<std::uint8_t> receive(std::size_t count, std::chrono::milliseconds timeout = 5s) const;
    // True when the server's end closed within the timeout.
    bool seesEnd(std::chrono::milliseconds timeout = 5s) const;
    void close();
    // Closes with SO_LINGER 0, so the server gets a reset instead of an orderly close.
    void reset();

private:
    int descriptor = -1;
    int connectError = 0;
};

// A port on 127.0.0.1 that nothing listens on right now.
unsigned short freePort();

// A listening socket that holds a port, as another program would.
class PortBlocker {
public:
    explicit PortBlocker(unsigned short port);
    ~PortBlocker();
    void release();

private:
    int descriptor = -1;
};

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
std::size_t openDescriptorCount();
std::size_t threadCount();
std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed);

} // namespace Norvik::Ports::Testing
