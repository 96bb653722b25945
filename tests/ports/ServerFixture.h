#pragma once

#include "ports/SocketServer.h"
#include "ports/SocketServerBase.h"
#include "tests/ports/TransportTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace Norvik::Ports::Testing {

class ServerTest : public ::testing::Test {
protected:
    void startServer() { server.reset(SocketServer::create(port, &recorder, "SServer")); }
    std::size_t clientCount() const { return dynamic_cast<SocketServerBase&>(*server).clientCount(); }

    // Connects and waits until the server has reported the client.
    TcpClient connectClient()
    {
        TcpClient peer = TcpClient::connectTo(port);
        EXPECT_TRUE(peer.connected()) << peer.error();
        const unsigned short clientPort = peer.localPort();
        EXPECT_TRUE(waitUntil([&] { return recorder.count(Recorder::Connected, clientPort) > 0; }));
        return peer;
    }

    // The transport's name of the peer's connection, once it has been reported.
    ClientPort clientOf(const TcpClient& peer) const
    {
        const std::vector<ClientPort> named = recorder.clients(peer.localPort());
        return named.empty() ? ClientPort() : named.back();
    }

    void TearDown() override
    {
        if (server) {
            server->stop();
        }
    }

    // Declared first so that it outlives the server.
    Recorder recorder;
    unsigned short port = freeTcpPort();
    std::unique_ptr<SocketServer> server;
};

// Running from the start; the log watched from before it starts.
class StartedServerTest : public ServerTest {
protected:
    void SetUp() override { startServer(); }

    LogWatch log;
};

} // namespace Norvik::Ports::Testing
