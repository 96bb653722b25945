#include "tests/ports/Recorder.h"

#include <algorithm>

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

int Recorder::countIf(const std::function<bool(const Event&)>& matches) const
{
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<int>(std::count_if(recorded.begin(), recorded.end(), matches));
}

int Recorder::count(Kind kind, unsigned short port) const
{
    return countIf([&](const Event& event) { return event.kind == kind && event.port() == port; });
}

int Recorder::count(Kind kind, ClientPort client) const
{
    return countIf([&](const Event& event) { return event.kind == kind && event.client == client; });
}

int Recorder::count(Kind kind) const
{
    return countIf([&](const Event& event) { return event.kind == kind; });
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
