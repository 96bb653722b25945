// The program lightservice under faults around it: missing or broken lamp modules, a taken
// port, a hard kill, a stop request under traffic, a lost or spoilt log configuration.

#include "tests/support/NotifySocket.h"
#include "tests/reliability/ServiceFixture.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace Reliability {
namespace {

const std::string request = R"({"red":true,"green":false,"blue":true})";

using TestSupport::NotifySocket;
using TestSupport::PortHolder;

using ServiceFaults = ServiceFixture;

TEST_F(ServiceFaults, MissingOrBrokenLampModulesGetTheirTextAndTheServiceGoesOn)
{
    const std::string library = binDir() + "/libBrillLamp.so";
    // A library that cannot be found at all is reported with the loader's own text.
    const std::string cannotLoad = failureAnswer(Contract::libraryMissing);
    const std::string cannotInit = failureAnswer(Contract::initialisationFailed);
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files;
        std::string answer;
    } layouts[] = {
        {"no-library", {}, cannotLoad},
        {"no-module", {{library, "libBrillLamp.so"}}, cannotInit},
        {"module-lacking-a-name",
         {{library, "libBrillLamp.so"}, {RELIABILITY_LACKING_NAME_DIR "/libWinRing0.so", "libWinRing0.so"}},
         cannotInit},
        {"module-init-fails",
         {{library, "libBrillLamp.so"}, {RELIABILITY_INIT_FAILS_DIR "/libWinRing0.so", "libWinRing0.so"}},
         cannotInit},
        {"library-lacking-a-name", {{RELIABILITY_LAMP_LACKING_NAME, "libBrillLamp.so"}}, cannotInit},
    };
    for (const auto& layout : layouts) {
        const auto service = start(binFolder(layout.name, layout.files), {"run"});
        const std::string first = answerWithin(servicePort, request, 5s);
        EXPECT_EQ(first, layout.answer) << layout.name;
        // The same text for every later request, on old and new connections alike.
        TcpClient kept(servicePort);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(kept.ask(request), first) << layout.name;
            TcpClient fresh(servicePort);
            EXPECT_EQ(fresh.ask("{}"), first) << layout.name;
        }
        EXPECT_TRUE(service->running()) << layout.name;
        const auto asked = std::chrono::steady_clock::now();
        service->signal(SIGTERM);
        EXPECT_EQ(service->waitExit(5s), 0) << layout.name;
        std::printf("%s: stopped in %lld ms\n", layout.name, static_cast<long long>(elapsedSince(asked).count()));
    }
}

// As systemd's service: ready is reported only once a client can connect.
TEST_F(ServiceFaults, TakenPortIsServedAndReportedReadyWithinASecondOfBeingFreed)
{
    PortHolder holder(servicePort);
    ASSERT_TRUE(holder.held());
    NotifySocket notify(home.file("notify"));
    const auto service = startAsIs(binDir(), {}, {{"NOTIFY_SOCKET", home.file("notify")}});
    ASSERT_TRUE(
        waitUntil([&] { return service->output().find("Can't listen on port 48888") != std::string::npos; }, 5s));
    EXPECT_FALSE(notify.waitFor("READY=1", 1500ms)) << "ready reported while the port was taken";
    EXPECT_TRUE(service->running());
    // The lamp belongs to whoever holds the port: it is neither initialised nor said to be started.
    EXPECT_FALSE(std::filesystem::exists(home.file("chip.state"))) << "the lamp was initialised";
    EXPECT_EQ(service->output().find("has started"), std::string::npos) << service->output();

    holder.release();
    const auto freed = std::chrono::steady_clock::now();
    EXPECT_TRUE(notify.waitFor("READY=1", 5s));
    EXPECT_EQ(answerWithin(servicePort, request, 5s), successAnswer);
    const auto waited = elapsedSince(freed);
    std::printf("served %lld ms after the port was freed\n", static_cast<long long>(waited.count()));
    // The bind is retried every second; the second more is room for a loaded machine.
    EXPECT_LT(waited, 2000ms);
}

TEST_F(ServiceFaults, KilledServiceStartsAgainOnThePortAtOnce)
{
    auto service = start(binDir(), {"run"});
    ASSERT_EQ(answerWithin(servicePort, request, 5s), successAnswer);
    // Connections open and closed at the kill leave the port in every state TCP has.
    TcpClient open(servicePort);
    ASSERT_EQ(open.ask(request), successAnswer);
    service->signal(SIGKILL);
    ASSERT_EQ(service->waitExit(5s), 128 + SIGKILL);

    const auto restarted = std::chrono::steady_clock::now();
    service = start(binDir(), {"run"});
    EXPECT_EQ(answerWithin(servicePort, request, 5s), successAnswer);
    const auto waited = elapsedSince(restarted);
    std::printf("answered %lld ms after the restart\n", static_cast<long long>(waited.count()));
    // Far below the minute the old connections' ports stay taken when the port is not reused.
    EXPECT_LT(waited, 3000ms);
    EXPECT_EQ(service->output().find("Can't listen"), std::string::npos);
}

TEST_F(ServiceFaults, StopRequestUnderTrafficEndsCleanlyWithinTwoSeconds)
{
    NotifySocket notify(home.file("notify"));
    const auto service = start(binDir(), {}, {{"NOTIFY_SOCKET", home.file("notify")}});
    ASSERT_TRUE(notify.waitFor("READY=1", 10s));

    constexpr int clientCount = 32;
    struct Tally {
        int sent = 0, answered = 0, wrong = 0;
        bool ended = false, hung = false, connected = false;
        std::string partial;
    };
    std::vector<Tally> tallies(clientCount);
    std::atomic<int> connected{0}, answeredSoFar{0};
    std::vector<std::thread> clients;
    for (int i = 0; i < clientCount; ++i) {
        clients.emplace_back([&, i] {
            Tally& tally = tallies[static_cast<std::size_t>(i)];
            TcpClient connection(servicePort);
            tally.connected = connection.connected();
            ++connected;
            while (connection.connected() && connection.trySend(i % 2 ? request : "{\"green\":1}")) {
                ++tally.sent;
                const std::string answer = connection.readAnswer(3s);
                if (answer.empty()) {
                    tally.hung = !connection.ended();
                    break;
                }
                ++tally.answered;
                ++answeredSoFar;
                tally.wrong += answer != successAnswer;
            }
            tally.ended = connection.ended() || connection.seesEnd(3s);
            tally.partial = connection.partial();
        });
    }
    ASSERT_TRUE(waitUntil([&] { return connected == clientCount && answeredSoFar >= clientCount / 4; }, 10s));

    const auto asked = std::chrono::steady_clock::now();
    service->signal(SIGTERM);
    const int status = service->waitExit(5s);
    const auto took = elapsedSince(asked);
    for (std::thread& client : clients)
        client.join();

    EXPECT_EQ(status, 0);
    EXPECT_LT(took, 2000ms);
    EXPECT_TRUE(notify.waitFor("STOPPING=1", 1s));
    int answered = 0;
    for (int i = 0; i < clientCount; ++i) {
        const Tally& tally = tallies[static_cast<std::size_t>(i)];
        EXPECT_TRUE(tally.connected) << "client " << i;
        EXPECT_FALSE(tally.hung) << "client " << i << " got neither an answer nor the end";
        EXPECT_TRUE(tally.ended) << "client " << i;
        EXPECT_EQ(tally.wrong, 0) << "client " << i;
        EXPECT_EQ(tally.partial, "") << "client " << i << " got half an answer";
        // At most the request in flight at the stop goes unanswered.
        EXPECT_GE(tally.answered, tally.sent - 1) << "client " << i;
        answered += tally.answered;
    }
    std::printf("stopped in %lld ms with %d clients; %d requests answered before\n",
                static_cast<long long>(took.count()), clientCount, answered);
}

TEST_F(ServiceFaults, LostOrSpoiltLogConfigurationDoesNotStopTheAnswers)
{
    const std::string config = home.file("config/log.properties");
    const auto service = start(binDir(), {"run"}, {{"DRV_LOG_CONFIG_FILE", config}});
    ASSERT_EQ(answerWithin(servicePort, request, 5s), successAnswer);
    const std::string defaultText = readFile(config);
    ASSERT_EQ(defaultText.rfind("log4cpp.rootCategory=ERROR, file", 0), 0u);

    const auto answersNormally = [&](const char* stage) {
        TcpClient connection(servicePort);
        EXPECT_EQ(connection.ask(request), successAnswer) << stage;
    };

    std::filesystem::remove(config);
    answersNormally("deleted");
    const auto deleted = std::chrono::steady_clock::now();
    EXPECT_TRUE(waitUntil([&] { return readFile(config) == defaultText; }, 3s));
    std::printf("written again %lld ms after deletion\n", static_cast<long long>(elapsedSince(deleted).count()));

    std::ofstream(config, std::ios::trunc).close();
    std::this_thread::sleep_for(1200ms);
    answersNormally("truncated");

    std::mt19937 random(7);
    std::string garbage = "log4cpp.rootCategory=DEBUG, nowhere\nlog4cpp.appender.nowhere=NoSuchAppender\n";
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>(random() & 0xFF);
    std::ofstream(config, std::ios::binary | std::ios::trunc) << garbage;
    std::this_thread::sleep_for(1200ms);
    answersNormally("garbage");
    // Garbage is read, not replaced: only a missing file is written again.
    EXPECT_EQ(readFile(config), garbage);

    std::filesystem::remove(config);
    EXPECT_TRUE(waitUntil([&] { return readFile(config) == defaultText; }, 3s));
    answersNormally("restored");
    EXPECT_TRUE(service->running());
}

TEST_F(ServiceFaults, UnwritableLogFolderDoesNotStopTheAnswers)
{
    // Root may write anywhere, but nobody can make a folder below a plain file.
    std::ofstream(home.file("plain")) << "not a folder";
    for (const Environment& env : {Environment{{"XDG_DATA_HOME", home.file("plain/data")}},
                                   Environment{{"DRV_LOG_CONFIG_FILE", home.file("plain/log.properties")}}}) {
        const auto service = start(binDir(), {"run"}, env);
        EXPECT_EQ(answerWithin(servicePort, request, 5s), successAnswer);
        TcpClient connection(servicePort);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(connection.ask(request), successAnswer);
        std::this_thread::sleep_for(1200ms);
        EXPECT_EQ(connection.ask(request), successAnswer);
        EXPECT_TRUE(service->running());
        service->signal(SIGTERM);
        EXPECT_EQ(service->waitExit(5s), 0);
    }
}

} // namespace
} // namespace Reliability
