#include "tests/ports/Recorder.h"

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

} // namespace Norvik::Ports::Testing
