#include "ports/ClientConnection.h"

#include "ports/TransportTexts.h"

#include "utils/logging/Logger.h"
#include "utils/text/StringUtils.h"
#include "utils/threading/Thread.h"

#include <climits>

namespace Norvik::Ports {

using Utils::Threading::Thread;

namespace {
constexpr std::size_t receiveBufferSize = 1024;
}

ClientConnection::ClientConnection(ClientPort clientPort, IServerDataCallback* callback,
                                   const std::string& categoryName)
    : receiveThread(Thread::create(this)), clientPort(clientPort), callback(callback), categoryName(categoryName)
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
    std::uint8_t buffer[receiveBufferSize];
    const Transfer received = receiveSome(buffer, sizeof buffer);
    gotData = received.count > 0;
    if (received.count > 0) {
        const std::vector<std::uint8_t> data(buffer, buffer + received.count);
        callback->onDataReceived(clientPort, data);
        return;
    }
    if (received.count < 0) {
        const std::wstring text = Utils::StringUtils::format(
            Texts::receiveFailed, received.error,
            Utils::StringUtils::getSystemErrorText(static_cast<unsigned long>(received.error)).c_str());
        Logger::instance().error(categoryName, L"%ls", text.c_str());
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
    std::size_t written = 0;
    do {
        const Transfer sent = sendSome(data.data() + written, data.size() - written);
        if (sent.count < 0) {
            Logger::instance().error(categoryName, Texts::sendFailed, sent.error);
            return socketError;
        }
        written += static_cast<std::size_t>(sent.count);
    } while (written < data.size());
    return written > INT_MAX ? INT_MAX : static_cast<int>(written);
}

} // namespace Norvik::Ports
