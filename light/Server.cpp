#include "light/Server.h"

#include "light/Console.h"
#include "light/LightVelk77Service.h"
#include "light/RequestFramer.h"
#include "light/RequestHandler.h"

#include "ports/SocketServer.h"

#include <string>

namespace Norvik {

namespace {

const char* const socketCategory = "SServer";

} // namespace

Server::Server() : Server(port) {}

Server::Server(int listenPort)
{
    // The lamp is ready (or knows why not) before the first request can arrive.
    lightService.reset(LightVelk77Service::create());
    // The accept thread starts inside create(); answers wait for the pointer to be stored.
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

bool Server::isListening() const
{
    return socketServer->isListening();
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

    const std::shared_ptr<Ports::SocketServer> server = transport();
    RequestHandler handler(*lightService);
    for (const RequestFramer::Frame& frame : frames) {
        // A client that has closed or reset its connection wants none of what it left behind:
        // nothing more of it is switched or answered.
        if (server->hasClientLeft(clientPort))
            return;
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
