#include "tests/ports/TransportTestSupport.h"

#include "tests/support/Files.h"

namespace Norvik::Ports::Testing {

void Recorder::add(Event event)
{
    std::lock_guard<std::mutex> guard(lock);
    recorded.push_back(std::move(event));
}

void Recorder::onDataReceived(ClientPort clientPort, const std::vector<std::uint8_t>& data)
{
    add({Data, clientPort, data});
    if (onData) {
        onData(clientPort, data);
    }
}

void Recorder::onClientConnected(ClientPort clientPort)
{
    add({Connected, clientPort, {}});
}

void Recorder::onClientDisconnected(ClientPort clientPort)
{
    add({Disconnected, clientPort, {}});
}

std::vector<Recorder::Event> Recorder::events() const
{
    std::lock_guard<std::mutex> guard(lock);
    return recorded;
}

int Recorder::count(Kind kind, unsigned short port) const
{
    std::lock_guard<std::mutex> guard(lock);
    int result = 0;
    for (const Event& event : recorded) {
        result += event.kind == kind && event.port() == port;
    }
    return result;
}

int Recorder::count(Kind kind, ClientPort client) const
{
    std::lock_guard<std::mutex> guard(lock);
    int result = 0;
    for (const Event& event : recorded) {
        result += event.kind == kind && event.client == client;
    }
    return result;
}

int Recorder::count(Kind kind) const
{
    std::lock_guard<std::mutex> guard(lock);
    int result = 0;
    for (const Event& event : recorded) {
        result += event.kind == kind;
    }
    return result;
}

std::vector<std::uint8_t> Recorder::bytes(unsigned short port) const
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<std::uint8_t> result;
    for (const Event& event : recorded) {
        if (event.kind == Data && event.port() == port) {
            result.insert(result.end(), event.data.begin(), event.data.end());
        }
    }
    return result;
}

std::vector<ClientPort> Recorder::clients(unsigned short port) const
{
    std::lock_guard<std::mutex> guard(lock);
    std::vector<ClientPort> result;
    for (const Event& event : recorded) {
        if (event.kind == Connected && event.port() == port) {
            result.push_back(event.client);
        }
    }
    return result;
}

namespace {

// The log after its first start bytes.
std::string logTextFrom(std::size_t start)
{
    const std::string text = TestSupport::readFile(logFilePath());
    return text.size() > start ? text.substr(start) : std::string();
}

} // namespace

LogWatch::LogWatch() : start(logTextFrom(0).size()) {}

std::vector<std::string> LogWatch::lines() const
{
    return TestSupport::lines(logTextFrom(start));
}

int LogWatch::countContaining(const std::string& text) const
{
    int count = 0;
    for (const std::string& line : lines()) {
        count += line.find(text) != std::string::npos;
    }
    return count;
}

bool LogWatch::waitForLine(const std::string& line, std::chrono::milliseconds timeout) const
{
    return waitUntil([&] { return TestSupport::hasLine(logTextFrom(start), line); }, timeout, 10ms);
}

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed)
{
    std::vector<std::uint8_t> result(size);
    for (std::size_t i = 0; i < size; ++i) {
        result[i] = static_cast<std::uint8_t>((i * 131 + seed) % 251);
    }
    return result;
}

} // namespace Norvik::Ports::Testing
