#include "tests/ports/ServerFixture.h"
#include "tests/support/Contract.h"
#include "tests/support/Proc.h"
#include "utils/logging/ConsoleWriter.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <pthread.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace Norvik::Ports::Testing {
namespace {

using LifecycleTest = StartedServerTest;

// Started on a port another socket holds, with what it says on the console captured.
class TakenPortTest : public ServerTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(blocker.held());
        ::testing::internal::CaptureStdout();
        ASSERT_NO_THROW(startServer());
    }

    PortHolder blocker{port};
    LogWatch log;
};

TEST_F(LifecycleTest, StopWakesConnectionsBlockedInReceive)
{
    std::vector<TcpClient> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(connectClient());
    }
    std::this_thread::sleep_for(50ms);

    const auto start = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(elapsedSince(start), 1000ms);

    for (TcpClient& peer : peers) {
        EXPECT_EQ(recorder.count(Recorder::Disconnected, peer.localPort()), 1);
        EXPECT_TRUE(peer.seesEnd());
    }
    EXPECT_EQ(clientCount(), 0u);
    // Shutting a socket down makes recv see an orderly end on Linux: no receive error is logged.
    EXPECT_EQ(log.countContaining("ERROR"), 0);

    // A second stop has nothing left to wait for.
    const auto again = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(elapsedSince(again), 500ms);
    EXPECT_EQ(recorder.count(Recorder::Disconnected), 3);
    EXPECT_FALSE(TcpClient::connectTo(port).connected());
}

TEST_F(LifecycleTest, StopWhileTheHandlerRunsStillReportsTheEndOnce)
{
    std::atomic<bool> inHandler{false};
    recorder.onData = [&](ClientPort, const std::vector<std::uint8_t>&) {
        inHandler = true;
        std::this_thread::sleep_for(200ms);
    };
    TcpClient peer = connectClient();
    peer.send(std::string{'x'});
    ASSERT_TRUE(waitUntil([&] { return inHandler.load(); }));
    server->stop();
    EXPECT_EQ(recorder.count(Recorder::Disconnected, peer.localPort()), 1);
}

TEST_F(LifecycleTest, DestroyingARunningServerStopsIt)
{
    TcpClient peer = connectClient();
    server.reset();
    EXPECT_EQ(recorder.count(Recorder::Disconnected, peer.localPort()), 1);
    EXPECT_TRUE(peer.seesEnd());
}

TEST_F(TakenPortTest, IsReportedThenServedOnceFreed)
{
    std::this_thread::sleep_for(1300ms);
    Utils::ConsoleWriter::flush();
    const std::string console = ::testing::internal::GetCapturedStdout();

    const std::string line = "Can't listen on port " + std::to_string(port) + ": " + std::strerror(EADDRINUSE);
    EXPECT_EQ(console, line + "\n");
    EXPECT_TRUE(log.waitForLine("ERROR [SServer] " + line));
    // Retried every second, but said once.
    EXPECT_EQ(log.countContaining("Can't listen"), 1);

    blocker.release();
    const auto freed = std::chrono::steady_clock::now();
    TcpClient peer;
    ASSERT_TRUE(waitUntil([&] { return (peer = TcpClient::connectTo(port)).connected(); }, 5s, 20ms));
    // The bind is retried every second; the second more is room for a loaded machine.
    EXPECT_LT(elapsedSince(freed), 2000ms);
    EXPECT_TRUE(waitUntil([&] { return recorder.count(Recorder::Connected, peer.localPort()) == 1; }));
}

TEST_F(TakenPortTest, StopIsPromptWhileWaitingToBind)
{
    ASSERT_TRUE(waitUntil([&] { return log.countContaining("Can't listen") == 1; }));
    // Well within the second the retry pause would take.
    const auto start = std::chrono::steady_clock::now();
    server->stop();
    EXPECT_LT(elapsedSince(start), 600ms);
    ::testing::internal::GetCapturedStdout();
}

TEST_F(LifecycleTest, EndedConnectionsAreReapedWhileTheServerRuns)
{
    connectClient().close();
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Disconnected) == 1; }));
    ASSERT_TRUE(waitUntil([&] { return clientCount() == 0; }));
    const std::size_t descriptors = openDescriptorCount();
    const std::size_t threads = threadCount();

    const int cycles = 500;
    for (int i = 0; i < cycles; ++i) {
        TcpClient peer = TcpClient::connectTo(port);
        ASSERT_TRUE(peer.connected()) << peer.error();
    }
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Disconnected) == cycles + 1; }, 20s));
    // Given back as each connection ended, not when the next client comes.
    EXPECT_TRUE(waitUntil([&] { return openDescriptorCount() <= descriptors; }))
        << openDescriptorCount() << " descriptors open, " << descriptors << " before";
    // The end is reported before the connection is taken off the list.
    EXPECT_TRUE(waitUntil([&] { return clientCount() == 0; })) << clientCount() << " connections";
    TcpClient last = connectClient();

    EXPECT_LE(clientCount(), 2u);
    EXPECT_LE(openDescriptorCount(), descriptors + 3);
    // Threads that have reported their end still take a moment to leave on a loaded machine.
    EXPECT_TRUE(waitUntil([&] { return threadCount() <= threads + 2; }, 5s)) << threadCount() << " threads";

    // Every connection was announced before any of its data or its end.
    std::map<ClientPort, bool> open;
    for (const auto& event : recorder.events()) {
        EXPECT_EQ(open[event.client], event.kind != Recorder::Connected) << "port " << event.port();
        if (event.kind != Recorder::Data) {
            open[event.client] = event.kind == Recorder::Connected;
        }
    }
}

// Clients on two loopback addresses may use the same port. Each connection keeps its own data,
// answers and end, and the accept thread never waits for a handler that is busy.
TEST_F(LifecycleTest, ConnectionsSharingAPortStayApart)
{
    std::atomic<bool> release{false};
    recorder.onData = [&](ClientPort clientPort, const std::vector<std::uint8_t>& data) {
        while (data[0] == 'w' && !release) {
            std::this_thread::sleep_for(1ms);
        }
        server->send(clientPort, data);
    };
    const unsigned short shared = freeTcpPort();
    TcpClient first = TcpClient::connectTo(port, "127.0.0.1", "127.0.0.2", shared);
    ASSERT_TRUE(first.connected()) << first.error();
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Connected, shared) == 1; }));
    first.send(std::string{'w', '1'});
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Data, shared) == 1; }));

    const auto start = std::chrono::steady_clock::now();
    TcpClient second = TcpClient::connectTo(port, "127.0.0.1", "127.0.0.3", shared);
    ASSERT_TRUE(second.connected()) << second.error();
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Connected, shared) == 2; }));
    TcpClient third = connectClient();
    EXPECT_LT(elapsedSince(start), 2s);
    second.send(std::string{'2'});
    EXPECT_EQ(second.receive(1), "2");
    EXPECT_FALSE(first.seesEnd(50ms));

    release = true;
    EXPECT_EQ(first.receive(2), "w1");
    const std::vector<ClientPort> named = recorder.clients(shared);
    ASSERT_EQ(named.size(), 2u);
    EXPECT_NE(named[0], named[1]);
    EXPECT_EQ(clientCount(), 3u);

    first.close();
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Disconnected, named[0]) == 1; }));
    EXPECT_EQ(recorder.count(Recorder::Disconnected, named[1]), 0);
    EXPECT_EQ(server->send(named[1], {'h', 'i'}), 2);
    EXPECT_EQ(second.receive(2), "hi");
}

// Threads made from now on ask for a stack larger than the machine can give, so creating one fails.
class ThreadCreationFails {
public:
    ThreadCreationFails()
    {
        pthread_getattr_default_np(&saved);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, std::size_t(1) << (sizeof(std::size_t) * 8 - 2));
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~ThreadCreationFails()
    {
        pthread_setattr_default_np(&saved);
        pthread_attr_destroy(&saved);
    }

private:
    pthread_attr_t saved;
};

TEST_F(LifecycleTest, ClientWhoseThreadCannotStartIsClosedAndTheServerGoesOn)
{
    TcpClient refused;
    {
        ThreadCreationFails failing;
        refused = TcpClient::connectTo(port);
        ASSERT_TRUE(refused.connected());
        ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Disconnected) == 1; }));
    }
    const unsigned short refusedPort = refused.localPort();
    EXPECT_TRUE(refused.seesEnd());
    EXPECT_TRUE(log.waitForLine("ERROR [SServer] Can't start the receive thread of the client on port " +
                                std::to_string(refusedPort)));
    EXPECT_EQ(recorder.count(Recorder::Connected, refusedPort), 1);
    EXPECT_EQ(recorder.count(Recorder::Disconnected, refusedPort), 1);
    EXPECT_EQ(clientCount(), 0u);

    TcpClient accepted = connectClient();
    accepted.send(std::string{'o', 'k'});
    EXPECT_TRUE(waitUntil([&] { return recorder.bytes(accepted.localPort()).size() == 2; }));
}

// At the limit the connection idle longest gives way to a newcomer; one whose request is under
// way never does, however long ago it sent.
TEST_F(LifecycleTest, AtTheLimitTheLongestIdleConnectionGivesWay)
{
    // Both ends of every connection live in this process.
    TestSupport::raiseOpenFilesLimit(4096);
    std::mutex gate;
    std::unique_lock<std::mutex> held(gate);
    recorder.onData = [&](ClientPort, const std::vector<std::uint8_t>&) { std::lock_guard<std::mutex> pass(gate); };
    TcpClient busy = connectClient();
    busy.send("{");
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Data) == 1; }));

    std::vector<TcpClient> idle;
    for (int i = 1; i < SocketServer::maxClients; ++i)
        idle.push_back(connectClient());
    ASSERT_EQ(clientCount(), static_cast<std::size_t>(SocketServer::maxClients));

    for (int newcomer = 0; newcomer < 3; ++newcomer) {
        idle.push_back(connectClient());
        EXPECT_TRUE(idle[static_cast<std::size_t>(newcomer)].seesEnd(5s)) << newcomer;
    }
    EXPECT_FALSE(idle[3].seesEnd(100ms));
    EXPECT_FALSE(busy.seesEnd(100ms));
    held.unlock();
    busy.send("}");
    EXPECT_TRUE(waitUntil([&] { return recorder.bytes(busy.localPort()).size() == 2; }));
    EXPECT_TRUE(waitUntil([&] { return clientCount() == static_cast<std::size_t>(SocketServer::maxClients); }));
    // Rate-limited: one line for the three.
    EXPECT_EQ(log.countContaining(std::string(Contract::connectionsFull)), 1);
}

std::vector<std::string> otherLocalAddresses()
{
    std::vector<std::string> result{"127.0.0.2"};
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0)
        return result;
    for (const ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr, text, sizeof text);
        if (std::strcmp(text, "127.0.0.1") != 0)
            result.push_back(text);
    }
    ::freeifaddrs(interfaces);
    return result;
}

TEST_F(LifecycleTest, ListensOnTheLoopbackAddressOnly)
{
    for (const std::string& address : otherLocalAddresses()) {
        const TcpClient peer = TcpClient::connectTo(port, address.c_str());
        EXPECT_FALSE(peer.connected()) << address;
        EXPECT_EQ(peer.error(), ECONNREFUSED) << address;
    }
    // The port stays free on other addresses, so the server holds no wildcard address.
    const int probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in other{};
    other.sin_family = AF_INET;
    other.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.2", &other.sin_addr);
    EXPECT_EQ(::bind(probe, reinterpret_cast<const sockaddr*>(&other), sizeof other), 0) << std::strerror(errno);
    ::close(probe);
    EXPECT_TRUE(connectClient().connected());
}

} // namespace
} // namespace Norvik::Ports::Testing
