#include "ports/ClientConnection.h"
#include "tests/ports/ServerFixture.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <pthread.h>
#include <thread>

namespace Norvik::Ports::Testing {
namespace {

std::string logLine(const char* level, const char* format, int code)
{
    return std::string(level) + " [SServer] " + format + std::to_string(code) + " - " + std::strerror(code);
}

const char* const receiveError = "Ошибка при получении данных ";

using DataTest = StartedServerTest;

TEST_F(DataTest, LongMessageArrivesInOrderedChunksOfAtMost1024Bytes)
{
    TcpClient peer = connectClient();
    const unsigned short clientPort = peer.localPort();
    const std::vector<std::uint8_t> message = pattern(3000, 7);
    peer.send(message);

    ASSERT_TRUE(waitUntil([&] { return recorder.bytes(clientPort).size() >= message.size(); }));
    EXPECT_EQ(recorder.bytes(clientPort), message);
    const auto events = recorder.events();
    ASSERT_EQ(events.front().kind, Recorder::Connected);
    int chunks = 0;
    for (const auto& event : events) {
        if (event.kind == Recorder::Data) {
            ++chunks;
            EXPECT_GE(event.data.size(), 1u);
            EXPECT_LE(event.data.size(), 1024u);
        }
    }
    EXPECT_GE(chunks, 3);
    EXPECT_TRUE(log.waitForLine("INFO [SServer] Create server"));
    EXPECT_TRUE(log.waitForLine("INFO [SServer] Client has connected on port " + std::to_string(clientPort)));
}

TEST_F(DataTest, TwoConnectionsNeverMixTheirChunks)
{
    TcpClient first = connectClient();
    TcpClient second = connectClient();
    const std::vector<std::uint8_t> firstBytes = pattern(20000, 1);
    const std::vector<std::uint8_t> secondBytes = pattern(20000, 100);
    auto feed = [](const TcpClient& peer, const std::vector<std::uint8_t>& bytes) {
        for (std::size_t at = 0; at < bytes.size(); at += 500) {
            peer.send(std::vector<std::uint8_t>(bytes.begin() + at, bytes.begin() + at + 500));
        }
    };
    std::thread one(feed, std::cref(first), std::cref(firstBytes));
    std::thread two(feed, std::cref(second), std::cref(secondBytes));
    one.join();
    two.join();

    ASSERT_TRUE(waitUntil([&] {
        return recorder.bytes(first.localPort()).size() >= firstBytes.size() &&
            recorder.bytes(second.localPort()).size() >= secondBytes.size();
    }));
    EXPECT_EQ(recorder.bytes(first.localPort()), firstBytes);
    EXPECT_EQ(recorder.bytes(second.localPort()), secondBytes);
}

// A reset is a client's ordinary way to leave: its receive error is logged below ERROR, with the
// system's text. An orderly close logs nothing.
class PeerLeaves : public DataTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PeerLeaves, OneDisconnectIsReportedAndNoError)
{
    const bool reset = GetParam();
    TcpClient peer = connectClient();
    const unsigned short clientPort = peer.localPort();
    reset ? peer.reset() : peer.close();

    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Disconnected, clientPort) > 0; }));
    if (reset) {
        EXPECT_TRUE(log.waitForLine(logLine("INFO", receiveError, ECONNRESET)));
    }
    // Once stopped, every connection thread has ended: a second report or an error would be in.
    server->stop();
    EXPECT_EQ(recorder.count(Recorder::Disconnected, clientPort), 1);
    EXPECT_EQ(log.countContaining(receiveError), reset ? 1 : 0);
    EXPECT_EQ(log.countContaining("ERROR"), 0);
}

INSTANTIATE_TEST_SUITE_P(DataTest, PeerLeaves, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Reset" : "Close"; });

TEST_F(DataTest, AnswersReachTheClientAndEmptyOrUnknownSendsDoNothing)
{
    recorder.onData = [this](ClientPort clientPort, const std::vector<std::uint8_t>& data) {
        std::vector<std::uint8_t> answer(data.rbegin(), data.rend());
        EXPECT_EQ(server->send(clientPort, answer), static_cast<int>(answer.size()));
    };
    TcpClient peer = connectClient();
    const ClientPort clientPort = clientOf(peer);
    peer.send(std::string{'a', 'b', 'c'});
    EXPECT_EQ(peer.receive(3), "cba");

    EXPECT_EQ(server->send(clientPort, {}), 0);
    const ClientPort unknown(clientPort.port(), clientPort.connection() + 1);
    EXPECT_EQ(server->send(unknown, {'x'}), -1);
    EXPECT_TRUE(server->hasClientLeft(unknown));
    EXPECT_FALSE(server->hasClientLeft(clientPort));
    server->closeClient(unknown);
    EXPECT_EQ(recorder.count(Recorder::Disconnected), 0);
    EXPECT_EQ(log.countContaining("ERROR"), 0);
}

TEST_F(DataTest, SendToAnEndedConnectionFails)
{
    TcpClient peer = connectClient();
    const ClientPort clientPort = clientOf(peer);
    peer.close();
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Disconnected, clientPort.port()) > 0; }));
    EXPECT_EQ(server->send(clientPort, {'l', 'a', 't', 'e'}), -1);
    EXPECT_TRUE(server->hasClientLeft(clientPort));
}

TEST_F(DataTest, CloseClientEndsTheConnectionOnce)
{
    recorder.onData = [this](ClientPort clientPort, const std::vector<std::uint8_t>&) {
        server->closeClient(clientPort);
        EXPECT_TRUE(server->hasClientLeft(clientPort));
    };
    TcpClient peer = connectClient();
    const unsigned short clientPort = peer.localPort();
    peer.send(std::string{'q'});
    EXPECT_TRUE(peer.seesEnd());
    ASSERT_TRUE(waitUntil([&] { return recorder.count(Recorder::Disconnected, clientPort) > 0; }));
    server->stop();
    EXPECT_EQ(recorder.count(Recorder::Disconnected, clientPort), 1);
}

extern "C" void ignoreSignal(int) {}

// A blocking send that a signal interrupts returns with part of the data written; the rest must
// still go out, in order.
TEST_F(DataTest, SendCompletesWritesCutShortBySignals)
{
    struct sigaction action {};
    action.sa_handler = ignoreSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    TcpClient peer = connectClient();
    const ClientPort clientPort = clientOf(peer);
    const std::vector<std::uint8_t> message = pattern(4 << 20, 3);

    std::atomic<bool> done{false};
    int result = 0;
    std::thread sender([&] {
        result = server->send(clientPort, message);
        done = true;
    });
    std::thread interrupter([&, target = sender.native_handle()] {
        while (!done) {
            pthread_kill(target, SIGUSR1);
            std::this_thread::sleep_for(200us);
        }
    });
    const std::string got = peer.receive(message.size(), 5s);
    const std::vector<std::uint8_t> received(got.begin(), got.end());
    sender.join();
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_EQ(result, static_cast<int>(message.size()));
    EXPECT_TRUE(received == message) << received.size() << " of " << message.size() << " bytes arrived";
}

// A client that never reads its answers must not hold its connection's thread for good.
TEST_F(DataTest, AnAnswerNotTakenWithinTheSendLimitEndsTheConnection)
{
    TcpClient peer = connectClient();
    const ClientPort clientPort = clientOf(peer);
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(server->send(clientPort, pattern(16 << 20, 5)), -1);
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_GE(took, std::chrono::seconds(ClientConnection::sendLimitSeconds - 1));
    EXPECT_TRUE(waitUntil([&] { return recorder.count(Recorder::Disconnected, clientPort) == 1; }));
    EXPECT_EQ(log.countContaining("has not taken its answer for 5 s"), 1);
    EXPECT_TRUE(waitUntil([&] { return clientCount() == 0; }));
}

} // namespace
} // namespace Norvik::Ports::Testing
