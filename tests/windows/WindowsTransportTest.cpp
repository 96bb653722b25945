#if defined(_WIN32)
// WindowsSocketServer and WindowsClient over real loopback sockets, a Winsock client at the
// other end.
#include "ports/SocketServer.h"
#include "tests/ports/Recorder.h"
#include "tests/support/Wait.h"

#include <gtest/gtest.h>

#include <winsock2.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

using Norvik::Ports::ClientPort;
using Norvik::Ports::SocketServer;
using Norvik::Ports::Testing::Recorder;
using TestSupport::waitUntil;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Winsock {
    Winsock() { WSAStartup(MAKEWORD(2, 2), &data); }
    ~Winsock() { WSACleanup(); }
    WSADATA data{};
};

class Peer {
public:
    explicit Peer(unsigned short port) : socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP))
    {
        sockaddr_in address = loopback(port);
        connected = ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        const DWORD timeout = 5000;
        ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    }
    ~Peer() { close(); }
    void close()
    {
        if (socket != INVALID_SOCKET)
            ::closesocket(socket);
        socket = INVALID_SOCKET;
    }
    unsigned short localPort() const
    {
        sockaddr_in address{};
        int length = sizeof address;
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }
    void send(const Bytes& data) const
    {
        ::send(socket, reinterpret_cast<const char*>(data.data()), static_cast<int>(data.size()), 0);
    }
    // Reads until count bytes, the end or an error; the end alone gives an empty result.
    Bytes receive(std::size_t count) const
    {
        Bytes data;
        char buffer[4096];
        while (data.size() < count) {
            const int got = ::recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0)
                break;
            data.insert(data.end(), buffer, buffer + got);
        }
        return data;
    }
    void endSending() const { ::shutdown(socket, SD_SEND); }
    // Closing with the linger time 0 resets the connection.
    void reset()
    {
        const linger abort{1, 0};
        ::setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
        close();
    }
    bool seesEnd() const
    {
        char byte;
        return ::recv(socket, &byte, 1, 0) == 0;
    }
    static sockaddr_in loopback(unsigned short port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }

    SOCKET socket;
    bool connected = false;
};

unsigned short freePort()
{
    Winsock winsock;
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Peer::loopback(0);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(probe);
    return ntohs(address.sin_port);
}

Bytes pattern(std::size_t size)
{
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return data;
}

class WindowsTransport : public ::testing::Test {
protected:
    void start() { server.reset(SocketServer::create(port, &recorder, "SServer")); }
    void TearDown() override
    {
        if (server)
            server->stop();
    }
    // The connection the server reported for this peer's own port.
    ClientPort connect(Peer& peer)
    {
        EXPECT_TRUE(peer.connected);
        const unsigned short localPort = peer.localPort();
        EXPECT_TRUE(waitUntil([&] { return !recorder.clients(localPort).empty(); }));
        const std::vector<ClientPort> named = recorder.clients(localPort);
        return named.empty() ? ClientPort() : named.front();
    }

    Winsock winsock;
    Recorder recorder;
    unsigned short port = freePort();
    std::unique_ptr<SocketServer> server;
};

} // namespace

TEST_F(WindowsTransport, DataArrivesInOrderedChunksAndAnswersGoBack)
{
    start();
    Peer peer(port);
    const ClientPort clientPort = connect(peer);
    const Bytes sent = pattern(5000);
    peer.send(sent);
    ASSERT_TRUE(waitUntil([&] { return recorder.bytes(clientPort.port()).size() >= sent.size(); }));
    EXPECT_EQ(recorder.bytes(clientPort.port()), sent);
    for (const Recorder::Event& event : recorder.events()) {
        if (event.kind == Recorder::Data) {
            EXPECT_GE(event.data.size(), 1u);
            EXPECT_LE(event.data.size(), 1024u);
        }
    }
    const Bytes answer = pattern(70000);
    EXPECT_EQ(server->send(clientPort, answer), static_cast<int>(answer.size()));
    EXPECT_EQ(peer.receive(answer.size()), answer);
}

TEST_F(WindowsTransport, PeerCloseAndCloseClientEachEndTheConnectionOnce)
{
    start();
    Peer first(port), second(port);
    const ClientPort firstPort = connect(first);
    const ClientPort secondPort = connect(second);
    first.close();
    server->closeClient(secondPort);
    EXPECT_TRUE(second.seesEnd());
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Disconnected) == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(recorder.count(Recorder::Disconnected, firstPort), 1);
    EXPECT_EQ(recorder.count(Recorder::Disconnected, secondPort), 1);
}

// The request server asks whether a client has left before it switches the lamp for it. A client
// that only ended its sending side (WSAPoll raises POLLHUP for that alone) waits for its answer;
// one that reset the connection has left, even with what it sent still unread.
TEST_F(WindowsTransport, HalfClosedClientIsStillThereResetClientHasLeft)
{
    start();
    Peer halfClosed(port), resetting(port);
    const ClientPort halfPort = connect(halfClosed);
    const ClientPort resetPort = connect(resetting);
    // Each client's first chunk: the handler waits until the test has ended or reset the peer.
    struct Turn {
        std::promise<void> entered, peerDone;
        std::promise<bool> left;
        std::atomic<bool> seen{false};
    };
    Turn half, reset;
    recorder.onData = [&](ClientPort client, const Bytes&) {
        if (client == halfPort && !half.seen.exchange(true)) {
            half.entered.set_value();
            half.peerDone.get_future().wait();
            half.left.set_value(server->hasClientLeft(client));
            server->send(client, {'o', 'k'});
        } else if (client == resetPort && !reset.seen.exchange(true)) {
            reset.entered.set_value();
            reset.peerDone.get_future().wait();
            reset.left.set_value(waitUntil([&] { return server->hasClientLeft(client); }));
        }
    };
    halfClosed.send({'{', '}'});
    half.entered.get_future().wait();
    halfClosed.endSending();
    half.peerDone.set_value();
    EXPECT_FALSE(half.left.get_future().get());
    EXPECT_EQ(halfClosed.receive(2), (Bytes{'o', 'k'}));

    resetting.send({'{', '}'});
    reset.entered.get_future().wait();
    resetting.send({'{', '}'});
    resetting.reset();
    reset.peerDone.set_value();
    EXPECT_TRUE(reset.left.get_future().get());
}

// Closing the socket is what wakes a receive blocked on another thread.
TEST_F(WindowsTransport, StopWakesConnectionsBlockedInReceivePromptly)
{
    start();
    Peer a(port), b(port);
    connect(a);
    connect(b);
    const auto before = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_EQ(recorder.count(Recorder::Disconnected), 2);
    EXPECT_TRUE(a.seesEnd());
    EXPECT_TRUE(b.seesEnd());
}

// Exclusive use: a port held by another program is waited for, then served.
TEST_F(WindowsTransport, TakenPortIsServedOnceFreed)
{
    SOCKET holder = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Peer::loopback(port);
    ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(holder, 1), 0);
    start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::closesocket(holder);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Peer peer(port);
    const ClientPort clientPort = connect(peer);
    peer.send({'{', '}'});
    EXPECT_TRUE(waitUntil([&] { return recorder.bytes(clientPort.port()).size() == 2; }));
}
#endif
