#include "ports/SocketServerBase.h"

#include "ports/ClientConnection.h"
#include "ports/TransportTexts.h"

#include "utils/logging/ConsoleWriter.h"
#include "utils/logging/LogEnvironment.h"
#include "utils/logging/Logger.h"
#include "utils/logging/RateLimitedLog.h"
#include "utils/text/StringUtils.h"
#include "utils/threading/Thread.h"

#include <chrono>
#include <vector>

namespace Norvik::Ports {

using Utils::Threading::Thread;
namespace StringUtils = Utils::StringUtils;

namespace {
constexpr auto bindRetryPause = std::chrono::seconds(1);
// Out of descriptors (or buffers), accept fails at once while clients wait in the backlog.
constexpr auto acceptRetryPause = std::chrono::milliseconds(100);
// How long accepting must have gone well before a run of failures or refusals counts as over.
constexpr auto recoveredAfter = std::chrono::seconds(1);

std::wstring withReason(const wchar_t* format, const wchar_t* codeFormat, int port, int error)
{
    const std::wstring reason = StringUtils::getSystemErrorText(static_cast<unsigned long>(error));
    return reason.empty() ? StringUtils::format(codeFormat, port, error)
                          : StringUtils::format(format, port, reason.c_str());
}
} // namespace

SocketServerBase::SocketServerBase(int port, IServerDataCallback* callback, const std::string& categoryName)
    : SocketServer(port, categoryName), owner(callback), acceptThread(Thread::create(this))
{
    Logger::instance().info(categoryName, Texts::createServer);
}

SocketServerBase::~SocketServerBase() = default;

void SocketServerBase::begin()
{
    bool bound = false;
    {
        std::lock_guard<std::mutex> lock(stateLock);
        bound = listenOnce();
    }
    if (bound)
        owner->onListening();
    // No pause between passes: accept blocks by itself, and the failure paths wait on their own.
    acceptThread->start(0, -1);
}

// Called with stateLock held, so that stop never misses a listener that is being opened.
bool SocketServerBase::listenOnce()
{
    int error = 0;
    if (openListener(error)) {
        listening = true;
        bindFailure.clear();
        return true;
    }
    // Said once; the retries that follow every second stay quiet until one succeeds.
    if (!bindFailureShown) {
        bindFailureShown = true;
        bindFailure = withReason(Texts::listenFailed, Texts::listenFailedCode, port, error);
        Logger::instance().error(categoryName, L"%ls", bindFailure.c_str());
        Utils::ConsoleWriter::writeLine(
            Utils::LogEnvironment::toConsoleText(StringUtils::toNarrow(bindFailure, StringUtils::Utf8)));
    }
    return false;
}

void SocketServerBase::run()
{
    acceptedClient = false;
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
            lock.unlock();
            // Before the first accept: whoever owns the port is ready before its first client.
            owner->onListening();
        }
    }
    int error = 0;
    ClientConnection* accepted = acceptClient(nextConnection, error);
    if (accepted == nullptr) {
        acceptFailed(error);
        return;
    }
    ++nextConnection;
    acceptedClient = true;
    if (acceptFailures > 0 && Clock::now() - lastAcceptFailure >= recoveredAfter) {
        Logger::instance().error(categoryName, Texts::acceptResumed, port, acceptFailures);
        acceptFailures = 0;
        lastAcceptError = 0;
    }
    admit(Client(accepted));
}

// Logged when failing starts or its cause changes, and once more when accepting works again.
void SocketServerBase::acceptFailed(int error)
{
    std::unique_lock<std::mutex> lock(stateLock);
    if (stopping) {
        return;
    }
    lastAcceptFailure = Clock::now();
    if (acceptFailures++ == 0 || error != lastAcceptError) {
        lastAcceptError = error;
        const std::wstring line = withReason(Texts::acceptFailed, Texts::acceptFailedCode, port, error);
        Logger::instance().error(categoryName, L"%ls", line.c_str());
    }
    stateChanged.wait_for(lock, acceptRetryPause, [this] { return stopping; });
}

// At the limit, the connection whose client has sent nothing for the longest time and has no
// request under way gives way to the newcomer, as an idle one serves nobody; only when every
// connection is busy with a request is the newcomer refused.
void SocketServerBase::admit(const Client& client)
{
    const ClientPort clientPort = client->getClientPort();
    bool full = false;
    Client givenUp;
    Clock::time_point idleSince;
    {
        std::lock_guard<std::mutex> lock(clientsMutex);
        full = clients.size() >= static_cast<std::size_t>(maxClients) && !findIdlest(givenUp, idleSince);
        if (!full) {
            clients[clientPort.connection()] = client;
        }
    }
    if (givenUp) {
        givenUp->closeSocket();
        unsigned long heldBack = 0;
        if (givenUpLines.admit(heldBack)) {
            const auto idle = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - idleSince).count();
            Logger::instance().error(categoryName, Texts::idleClientGivenUp,
                                     static_cast<int>(givenUp->getClientPort().port()), maxClients,
                                     static_cast<int>(idle), static_cast<int>(heldBack));
        }
    }
    // Refused before its thread starts: the caller's release of it closes the socket at once,
    // and the owner never hears of it.
    if (full) {
        lastRefusal = Clock::now();
        if (refusedClients++ == 0) {
            Logger::instance().error(categoryName, Texts::clientRefused, static_cast<int>(clientPort.port()),
                                     maxClients);
        }
        return;
    }
    if (refusedClients > 0 && Clock::now() - lastRefusal >= recoveredAfter) {
        Logger::instance().error(categoryName, Texts::refusalsEnded, maxClients, refusedClients);
        refusedClients = 0;
    }

    // Reported before the receive thread starts, so the owner hears of a client before its data.
    owner->onClientConnected(clientPort);
    if (!client->start()) {
        static Utils::RateLimitedLog failures(10, std::chrono::minutes(1));
        failures.error(categoryName, Texts::receiveThreadFailed, static_cast<int>(clientPort.port()));
        {
            std::lock_guard<std::mutex> lock(clientsMutex);
            clients.erase(clientPort.connection());
        }
        client->stop();
    }
}

// Called with clientsMutex held and the table at the limit. True when the limit leaves room all
// the same, because connections given up already have not left the table yet, or when idlest
// names the connection idle longest that may give way.
bool SocketServerBase::findIdlest(Client& idlest, Clock::time_point& idleSince) const
{
    std::size_t open = 0;
    for (const auto& entry : clients) {
        Clock::time_point since;
        if (!entry.second->mayBeGivenUp(since)) {
            open += entry.second->hasPeerLeft() ? 0 : 1;
            continue;
        }
        ++open;
        if (!idlest || since < idleSince) {
            idlest = entry.second;
            idleSince = since;
        }
    }
    if (open < static_cast<std::size_t>(maxClients)) {
        idlest.reset();
        return true;
    }
    return idlest != nullptr;
}

SocketServerBase::Client SocketServerBase::find(ClientPort clientPort) const
{
    std::lock_guard<std::mutex> lock(clientsMutex);
    const auto entry = clients.find(clientPort.connection());
    return entry == clients.end() ? Client() : entry->second;
}

int SocketServerBase::send(ClientPort clientPort, const std::vector<std::uint8_t>& data)
{
    const Client client = find(clientPort);
    return client ? client->send(data) : socketError;
}

// Only wakes the connection: the owner may call this from that connection's own handler, where
// joining its thread is impossible. The connection frees itself when its thread sees the end.
void SocketServerBase::closeClient(ClientPort clientPort)
{
    if (const Client client = find(clientPort)) {
        client->closeSocket();
    }
}

bool SocketServerBase::hasClientLeft(ClientPort clientPort)
{
    const Client client = find(clientPort);
    return !client || client->hasPeerLeft();
}

void SocketServerBase::onDataReceived(ClientPort clientPort, const std::vector<std::uint8_t>& data)
{
    owner->onDataReceived(clientPort, data);
}

void SocketServerBase::onReceivePause(ClientPort clientPort)
{
    owner->onReceivePause(clientPort);
}

void SocketServerBase::onClientConnected(ClientPort clientPort)
{
    owner->onClientConnected(clientPort);
}

// On the ended connection's own thread, which has closed its socket already.
void SocketServerBase::onClientDisconnected(ClientPort clientPort)
{
    owner->onClientDisconnected(clientPort);
    Client previous;
    {
        std::lock_guard<std::mutex> lock(clientsMutex);
        const auto entry = clients.find(clientPort.connection());
        if (entry == clients.end()) {
            return;
        }
        previous = std::move(ended);
        ended = std::move(entry->second);
        clients.erase(entry);
    }
    // Its thread has left its last pass: joining it is brief.
    previous.reset();
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

    std::map<std::uint64_t, Client> remaining;
    {
        std::lock_guard<std::mutex> lock(clientsMutex);
        remaining.swap(clients);
    }
    for (const auto& entry : remaining) {
        entry.second->stop();
    }
    remaining.clear();
    // No connection can end on its own any more: the last one that did is freed here.
    Client last;
    {
        std::lock_guard<std::mutex> lock(clientsMutex);
        last = std::move(ended);
    }
    last.reset();
    cleanup();
}

bool SocketServerBase::isListening() const
{
    std::lock_guard<std::mutex> lock(stateLock);
    return listening && !stopping;
}

std::wstring SocketServerBase::listenFailure() const
{
    std::lock_guard<std::mutex> lock(stateLock);
    return bindFailure;
}

std::size_t SocketServerBase::clientCount() const
{
    std::lock_guard<std::mutex> lock(clientsMutex);
    return clients.size();
}

} // namespace Norvik::Ports
