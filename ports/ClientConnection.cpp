#include "ports/ClientConnection.h"

#include "ports/TransportTexts.h"

#include "utils/logging/RateLimitedLog.h"
#include "utils/logging/Logger.h"
#include "utils/text/StringUtils.h"
#include "utils/threading/Thread.h"

#include <chrono>
#include <climits>

namespace Norvik::Ports {

using Utils::Threading::Thread;

namespace {
// Clients that never read their answers: a line now and then, not one each.
Utils::RateLimitedLog unreadAnswers(1, std::chrono::seconds(10));

// Marks the connection busy with a request while its owner handles a chunk.
class Handling {
public:
    explicit Handling(std::atomic<bool>& flag) : flag(flag) { flag = true; }
    ~Handling() { flag = false; }
    Handling(const Handling&) = delete;
    Handling& operator=(const Handling&) = delete;

private:
    std::atomic<bool>& flag;
};

constexpr std::size_t receiveBufferSize = 1024;
// How long a client must send nothing after a chunk for the owner to hear of a pause.
constexpr int pauseMs = 100;
// Failures other than a client's departure, for all connections together.
Utils::RateLimitedLog receiveFailures(10, std::chrono::minutes(1));
Utils::RateLimitedLog sendFailures(10, std::chrono::minutes(1));
} // namespace

ClientConnection::ClientConnection(ClientPort clientPort, IServerDataCallback* callback,
                                   const std::string& categoryName)
    : receiveThread(Thread::create(this)), clientPort(clientPort), callback(callback), categoryName(categoryName),
      lastReceived(std::chrono::steady_clock::now().time_since_epoch().count())
{
    Logger::instance().info(categoryName, Texts::clientConnected, static_cast<int>(clientPort.port()));
}

ClientConnection::~ClientConnection() = default;

bool ClientConnection::start()
{
    started = true;
    receiving = false;
    receiveThread->start(1, -1);
    // A body that never ran a pass yet reports finished only when its thread was not created.
    return !(receiveThread->isFinished() && !receiving);
}

void ClientConnection::stop()
{
    receiveThread->requestStop();
    closeSocket();
    receiveThread->join();
    // A stop that came while the owner's handler ran ends the loop before the next receive could
    // see the closed socket; the end is reported here then, still exactly once.
    if (started && !disconnectReported.exchange(true)) {
        callback->onClientDisconnected(clientPort);
    }
    releaseSocket();
}

void ClientConnection::closeSocket()
{
    std::lock_guard<std::mutex> lock(descriptorLock);
    if (!closed && !released) {
        closed = true;
        shutdownSocket();
    }
}

void ClientConnection::releaseSocket()
{
    // Shut down first: it wakes a send blocked on a full socket, which holds sendLock.
    closeSocket();
    std::lock_guard<std::mutex> sending(sendLock);
    std::lock_guard<std::mutex> lock(descriptorLock);
    if (!released) {
        released = true;
        closeDescriptor();
    }
}

bool ClientConnection::hasPeerLeft()
{
    std::lock_guard<std::mutex> lock(descriptorLock);
    return closed || released || peerHasClosed();
}

void ClientConnection::run()
{
    receiving = true;
    if (awaitingPause && !waitForData(pauseMs)) {
        awaitingPause = false;
        const Handling busy(handling);
        callback->onReceivePause(clientPort);
        return;
    }
    std::uint8_t buffer[receiveBufferSize];
    const Transfer received = receiveSome(buffer, sizeof buffer);
    gotData = received.count > 0;
    if (received.count > 0) {
        const std::vector<std::uint8_t> data(buffer, buffer + received.count);
        const Handling busy(handling);
        lastReceived = std::chrono::steady_clock::now().time_since_epoch().count();
        callback->onDataReceived(clientPort, data);
        awaitingPause = callback->awaitsPause(clientPort);
        return;
    }
    // The client has ended its sending (and may still read): that completes what it sent last.
    if (received.count == 0 && awaitingPause) {
        awaitingPause = false;
        const Handling busy(handling);
        callback->onReceivePause(clientPort);
    }
    if (received.count < 0) {
        const std::wstring text = Utils::StringUtils::format(
            Texts::receiveFailed, received.error,
            Utils::StringUtils::getSystemErrorText(static_cast<unsigned long>(received.error)).c_str());
        if (received.departed) {
            Logger::instance().info(categoryName, L"%ls", text.c_str());
        } else {
            receiveFailures.error(categoryName, L"%ls", text.c_str());
        }
    }
    // The descriptor goes back before the owner hears of the end, so that a send after the report
    // fails for sure and a crowd of ended connections holds no descriptors; stopped first, so the
    // thread ends after this pass even if the owner's handler throws.
    receiveThread->requestStop();
    releaseSocket();
    if (!disconnectReported.exchange(true)) {
        callback->onClientDisconnected(clientPort);
    }
}

int ClientConnection::send(const std::vector<std::uint8_t>& data)
{
    std::lock_guard<std::mutex> lock(sendLock);
    if (released) {
        return socketError;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(sendLimitSeconds);
    std::size_t written = 0;
    do {
        const Transfer sent = sendSome(data.data() + written, data.size() - written);
        // A client that does not read its answers would hold this thread for good: its
        // connection ends instead.
        if (sent.timedOut ||
            (sent.count >= 0 && written + static_cast<std::size_t>(sent.count) < data.size() &&
             std::chrono::steady_clock::now() >= deadline)) {
            unsigned long heldBack = 0;
            if (unreadAnswers.admit(heldBack))
                Logger::instance().error(categoryName, Texts::answersUnread, static_cast<int>(clientPort.port()),
                                         sendLimitSeconds, static_cast<int>(heldBack));
            closeSocket();
            return socketError;
        }
        if (sent.count < 0) {
            if (sent.departed) {
                Logger::instance().info(categoryName, Texts::sendFailed, sent.error);
            } else {
                sendFailures.error(categoryName, Texts::sendFailed, sent.error);
            }
            return socketError;
        }
        written += static_cast<std::size_t>(sent.count);
    } while (written < data.size());
    return written > INT_MAX ? INT_MAX : static_cast<int>(written);
}

bool ClientConnection::mayBeGivenUp(std::chrono::steady_clock::time_point& idleSince)
{
    if (handling) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(descriptorLock);
        if (closed || released) {
            return false;
        }
    }
    idleSince = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(lastReceived.load()));
    return true;
}

} // namespace Norvik::Ports
