#pragma once

#include "SocketServer.h"
#include "SocketServerBase.h"
#include "TransportTestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace Norvik::Ports::Testing {

class ServerTest : public ::testing::Test {
protected:
    void startServer() { server.reset(SocketServer::create(port, &recorder, "SServer")); }
    std::size_t clientCount() const { return dynamic_cast<SocketServerBase&>(*server).clientCount(); }

    // Connects and waits until the server has reported the client.
    Peer connectClient()
    {
        Peer peer = Peer::connectTo(port);
        EXPECT_TRUE(peer.isConnected()) << peer.error();
        const unsigned short clientPort = peer.localPort();
        EXPECT_TRUE(recorder.waitFor([&] { return recorder.count(Recorder::Connected, clientPort) > 0; }));
        return peer;
    }

    // The transport's name of the peer's connection, once it has been reported.
    ClientPort clientOf(const Peer& peer) const
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
    unsigned short port = freePort();
    std::unique_ptr<SocketServer> server;
};

} // namespace Norvik::Ports::Testing
