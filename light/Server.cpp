#include "light/Server.h"

#include "light/Console.h"
#include "light/LightVelk77Service.h"
#include "light/RequestFramer.h"
#include "light/RequestHandler.h"

#include "ports/SocketServer.h"
#include "utils/logging/Logger.h"
#include "utils/text/StringUtils.h"

#include <string>
#include <utility>

namespace Norvik {

namespace {

const char* const socketCategory = "SServer";
const wchar_t* const httpRefused =
    L"Closed the connection on port %d: it began with the HTTP request line \"%ls\", not a request "
    L"(%d more such connections closed since the last line)";

} // namespace

Server::Server() : Server(port) {}

Server::Server(int listenPort, std::function<void(const Server&)> listening) : listening(std::move(listening))
{
    // The accept thread starts inside create(); answers wait for the pointer to be stored. The
    // lamp is initialised in onListening, before the first client is accepted.
    std::lock_guard<std::mutex> lock(buffersLock);
    socketServer.reset(Ports::SocketServer::create(listenPort, this, socketCategory));
}

Server::~Server()
{
    stopping = true;
    socketServer->stop();
    receiveBuffers.clear();
    lightService.reset();
    socketServer.reset();
}

bool Server::isFinished() const
{
    return finished;
}

// The lamp belongs to whoever holds the port: a second instance started while another serves
// must not initialise it (which switches every colour off under the running one).
void Server::onListening()
{
    lightService.reset(LightVelk77Service::create());
    if (listening)
        listening(*this);
}

std::wstring Server::lampFailure() const
{
    return lightService->startFailure();
}

std::wstring Server::listenFailure() const
{
    return socketServer->listenFailure();
}

void Server::onDataReceived(Ports::ClientPort clientPort, const std::vector<std::uint8_t>& data)
{
    std::vector<RequestFramer::Frame> frames;
    {
        std::lock_guard<std::mutex> lock(buffersLock);
        std::shared_ptr<RequestFramer>& framer = receiveBuffers[clientPort];
        if (!framer)
            framer = std::make_shared<RequestFramer>();
        frames = framer->feed(data);
    }
    handle(clientPort, frames);
}

void Server::onReceivePause(Ports::ClientPort clientPort)
{
    std::vector<RequestFramer::Frame> frames;
    {
        std::lock_guard<std::mutex> lock(buffersLock);
        const auto framer = receiveBuffers.find(clientPort);
        if (framer == receiveBuffers.end())
            return;
        frames = framer->second->pause();
    }
    handle(clientPort, frames);
}

bool Server::awaitsPause(Ports::ClientPort clientPort)
{
    std::lock_guard<std::mutex> lock(buffersLock);
    const auto framer = receiveBuffers.find(clientPort);
    return framer != receiveBuffers.end() && framer->second->awaitsPause();
}

void Server::handle(Ports::ClientPort clientPort, const std::vector<RequestFramer::Frame>& frames)
{
    if (frames.empty())
        return;
    const std::shared_ptr<Ports::SocketServer> server = transport();
    RequestHandler handler(*lightService);
    for (const RequestFramer::Frame& frame : frames) {
        // A client that has closed or reset its connection wants none of what it left behind:
        // nothing more of it is switched or answered.
        if (server->hasClientLeft(clientPort))
            return;
        if (frame.kind == RequestFramer::Frame::HttpRequest) {
            refuseHttp(*server, clientPort, frame.bytes);
            return;
        }
        if (frame.kind == RequestFramer::Frame::TooLong) {
            answer(clientPort, RequestHandler::render(RequestHandler::tooLong()));
            continue;
        }
        Answer result{};
        {
            std::lock_guard<std::mutex> turn(requestTurn);
            // Each request costs the lamp 50 ms: a stop must not wait for all those queued behind
            // it. Their clients see the connection end without an answer, and nothing is switched.
            // The client may also have left while this request waited for its turn.
            if (stopping || server->hasClientLeft(clientPort))
                return;
            Console::writeLine("Client data " + std::string(frame.bytes.begin(), frame.bytes.end()));
            result = handler.handle(frame.bytes);
        }
        answer(clientPort, RequestHandler::render(result));
    }
}

// A browser may send a request here on behalf of any web page: its body must switch nothing.
void Server::refuseHttp(Ports::SocketServer& server, Ports::ClientPort clientPort,
                        const std::vector<std::uint8_t>& requestLine)
{
    server.closeClient(clientPort);
    unsigned long heldBack = 0;
    if (!httpRefusals.admit(heldBack))
        return;
    std::string line(requestLine.begin(), requestLine.end());
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    for (char& c : line)
        if (static_cast<unsigned char>(c) >= 0x7F)
            c = '?';
    const std::wstring shown = Utils::StringUtils::toWide(line, Utils::StringUtils::Utf8);
    Logger::instance().error(socketCategory, httpRefused, static_cast<int>(clientPort.port()), shown.c_str(),
                             static_cast<int>(heldBack));
}

void Server::onClientConnected(Ports::ClientPort clientPort)
{
    Console::writeLine("Client connected " + std::to_string(clientPort.port()));
}

void Server::onClientDisconnected(Ports::ClientPort clientPort)
{
    {
        std::lock_guard<std::mutex> lock(buffersLock);
        receiveBuffers.erase(clientPort);
    }
    Console::writeLine("Client disconnected " + std::to_string(clientPort.port()));
}

std::shared_ptr<Ports::SocketServer> Server::transport()
{
    std::lock_guard<std::mutex> lock(buffersLock);
    return socketServer;
}

void Server::answer(Ports::ClientPort clientPort, const std::vector<std::uint8_t>& bytes)
{
    transport()->send(clientPort, bytes);
}

} // namespace Norvik
