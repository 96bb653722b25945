#include "TransportTestSupport.h"

#include "Files.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <sstream>
#include <stdexcept>
#include <thread>

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

bool Recorder::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

namespace {

sockaddr_in addressOf(const char* address, unsigned short port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    if (inet_pton(AF_INET, address, &result.sin_addr) != 1) {
        throw std::invalid_argument(address);
    }
    return result;
}

} // namespace

Peer::~Peer()
{
    close();
}

Peer::Peer(Peer&& other) noexcept : descriptor(other.descriptor), connectError(other.connectError)
{
    other.descriptor = -1;
}

Peer& Peer::operator=(Peer&& other) noexcept
{
    if (this != &other) {
        close();
        descriptor = other.descriptor;
        connectError = other.connectError;
        other.descriptor = -1;
    }
    return *this;
}

Peer Peer::connectTo(unsigned short port, const char* address, const char* localAddress, unsigned short localPort)
{
    Peer peer;
    peer.descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (localAddress != nullptr) {
        const int reuse = 1;
        ::setsockopt(peer.descriptor, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        const sockaddr_in local = addressOf(localAddress, localPort);
        if (::bind(peer.descriptor, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            peer.connectError = errno;
            peer.close();
            return peer;
        }
    }
    const sockaddr_in remote = addressOf(address, port);
    if (::connect(peer.descriptor, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) != 0) {
        peer.connectError = errno;
        peer.close();
    }
    return peer;
}

unsigned short Peer::localPort() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

void Peer::sendAll(const std::vector<std::uint8_t>& data) const
{
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t count = ::send(descriptor, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) {
            throw std::runtime_error("peer send failed");
        }
        sent += static_cast<std::size_t>(count);
    }
}

std::vector<std::uint8_t> Peer::receive(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::vector<std::uint8_t> result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::uint8_t buffer[65536];
    while (result.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd waiting{descriptor, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        const ssize_t got = ::recv(descriptor, buffer, std::min(sizeof buffer, count - result.size()), 0);
        if (got <= 0) {
            break;
        }
        result.insert(result.end(), buffer, buffer + got);
    }
    return result;
}

bool Peer::seesEnd(std::chrono::milliseconds timeout) const
{
    pollfd waiting{descriptor, POLLIN, 0};
    if (::poll(&waiting, 1, static_cast<int>(timeout.count())) <= 0) {
        return false;
    }
    std::uint8_t byte = 0;
    return ::recv(descriptor, &byte, 1, MSG_DONTWAIT) <= 0;
}

void Peer::close()
{
    if (descriptor >= 0) {
        ::close(descriptor);
        descriptor = -1;
    }
}

void Peer::reset()
{
    const linger abort{1, 0};
    ::setsockopt(descriptor, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close();
}

unsigned short freePort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    sockaddr_in address = addressOf("127.0.0.1", 0);
    ::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

PortBlocker::PortBlocker(unsigned short port) : descriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP))
{
    const sockaddr_in address = addressOf("127.0.0.1", port);
    if (::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(descriptor, 4) != 0) {
        throw std::runtime_error("cannot hold the port");
    }
}

PortBlocker::~PortBlocker()
{
    release();
}

void PortBlocker::release()
{
    if (descriptor >= 0) {
        ::close(descriptor);
        descriptor = -1;
    }
}

namespace {

std::string logText()
{
    return TestSupport::readFile(logFilePath());
}

std::size_t entriesIn(const char* directory)
{
    std::size_t count = 0;
    if (DIR* listing = ::opendir(directory)) {
        while (const dirent* entry = ::readdir(listing)) {
            count += entry->d_name[0] != '.';
        }
        ::closedir(listing);
    }
    return count;
}

} // namespace

LogWatch::LogWatch() : start(logText().size()) {}

std::vector<std::string> LogWatch::lines() const
{
    const std::string text = logText();
    std::istringstream fresh(text.size() > start ? text.substr(start) : std::string());
    std::vector<std::string> result;
    for (std::string line; std::getline(fresh, line);) {
        result.push_back(line);
    }
    return result;
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
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        for (const std::string& logged : lines()) {
            if (logged == line) {
                return true;
            }
        }
        std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::size_t openDescriptorCount()
{
    return entriesIn("/proc/self/fd");
}

std::size_t threadCount()
{
    return entriesIn("/proc/self/task");
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
