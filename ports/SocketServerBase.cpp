#include "SocketServerBase.h"

#include "ClientConnection.h"
#include "IServerDataCallback.h"
#include "TransportTexts.h"

#include "../utils/Logger.h"
#include "../utils/Mutex.h"
#include "../utils/StringUtils.h"
#include "../utils/Thread.h"

#include <chrono>
#include <iostream>
#include <vector>

namespace Norvik::Ports {

using Utils::Threading::Mutex;
using Utils::Threading::ScopedLock;
using Utils::Threading::Thread;
namespace StringUtils = Utils::StringUtils;

namespace {
constexpr auto bindRetryPause = std::chrono::seconds(1);
}

SocketServerBase::SocketServerBase(int port, IServerDataCallback* callback, const std::string& categoryName)
    : SocketServer(port, categoryName), callback(callback), clientsMutex(Mutex::create()),
      acceptThread(Thread::create(this))
{
    Logger::instance().info(categoryName, Texts::createServer);
}

SocketServerBase::~SocketServerBase() = default;

void SocketServerBase::begin()
{
    {
        std::lock_guard<std::mutex> lock(stateLock);
        listenOnce();
    }
    acceptThread->start(1, -1);
}

// Called with stateLock held, so that stop never misses a listener that is being opened.
bool SocketServerBase::listenOnce()
{
    int error = 0;
    if (openListener(error)) {
        listening = true;
        return true;
    }
    // Said once; the retries that follow every second stay quiet until one succeeds.
    if (!bindFailureShown) {
        bindFailureShown = true;
        const std::wstring reason = StringUtils::getSystemErrorText(static_cast<unsigned long>(error));
        const std::wstring line = reason.empty() ? StringUtils::format(Texts::listenFailedCode, port, error)
                                                 : StringUtils::format(Texts::listenFailed, port, reason.c_str());
        Logger::instance().error(categoryName, L"%ls", line.c_str());
        std::cout << StringUtils::toNarrow(line, StringUtils::Utf8) << std::endl;
    }
    return false;
}

void SocketServerBase::run()
{
    {
        std::unique_lock<std::mutex> lock(stateLock);
        if (stopping) {
            return;
        }
        if (!listening) {
            stateChanged.wait_for(lock, bindRetryPause, [this] { return stopping; });
            if (stopping || !listenOnce()) {
                return;
            }
        }
    }
    ClientConnection* accepted = acceptClient();
    if (accepted != nullptr) {
        admit(Client(accepted));
    }
}

void SocketServerBase::admit(const Client& client)
{
    const unsigned short clientPort = client->getClientPort();
    std::vector<Client> released;
    {
        ScopedLock lock(clientsMutex.get());
        for (auto entry = clients.begin(); entry != clients.end();) {
            if (entry->first == clientPort || entry->second->hasEnded()) {
                released.push_back(entry->second);
                entry = clients.erase(entry);
            } else {
                ++entry;
            }
        }
    }
    // Joined outside the lock: a handler that is still running may be sending through this server.
    for (const Client& old : released) {
        old->stop();
    }
    released.clear();

    {
        ScopedLock lock(clientsMutex.get());
        clients[clientPort] = client;
    }
    // Reported before the receive thread starts, so the owner hears of a client before its data.
    callback->onClientConnected(clientPort);
    if (!client->start()) {
        Logger::instance().error(categoryName, Texts::receiveThreadFailed, static_cast<int>(clientPort));
        {
            ScopedLock lock(clientsMutex.get());
            const auto entry = clients.find(clientPort);
            if (entry != clients.end() && entry->second == client) {
                clients.erase(entry);
            }
        }
        client->stop();
    }
}

SocketServerBase::Client SocketServerBase::find(unsigned short clientPort) const
{
    ScopedLock lock(clientsMutex.get());
    const auto entry = clients.find(clientPort);
    return entry == clients.end() ? Client() : entry->second;
}

int SocketServerBase::send(unsigned short clientPort, const std::vector<std::uint8_t>& data)
{
    const Client client = find(clientPort);
    return client ? client->send(data) : socketError;
}

// Only wakes the connection: the owner may call this from that connection's own handler, where
// joining its thread is impossible. The accept pass or stop frees it.
void SocketServerBase::closeClient(unsigned short clientPort)
{
    if (const Client client = find(clientPort)) {
        client->closeSocket();
    }
}

void SocketServerBase::stop()
{
    if (stopped.exchange(true)) {
        return;
    }
    acceptThread->requestStop();
    {
        std::lock_guard<std::mutex> lock(stateLock);
        stopping = true;
        if (listening) {
            wakeListener();
        }
    }
    stateChanged.notify_all();
    // The accept pass ends first, so no connection arrives while the table is emptied.
    acceptThread->join();
    closeListener();

    std::map<unsigned short, Client> remaining;
    {
        ScopedLock lock(clientsMutex.get());
        remaining.swap(clients);
    }
    for (const auto& entry : remaining) {
        entry.second->stop();
    }
    remaining.clear();
    cleanup();
}

bool SocketServerBase::isListening() const
{
    std::lock_guard<std::mutex> lock(stateLock);
    return listening && !stopping;
}

std::size_t SocketServerBase::clientCount() const
{
    ScopedLock lock(clientsMutex.get());
    return clients.size();
}

} // namespace Norvik::Ports
