// A request server that cannot create threads: it runs in a child process as an unprivileged
// user whose process limit the test lowers and raises again (root ignores that limit).

#include "tests/light/LightTestSupport.h"
#include "tests/reliability/ReliabilitySupport.h"
#include "tests/support/Contract.h"
#include "light/Server.h"
#include "utils/handle/PosixDescriptor.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace Reliability {
namespace {

constexpr uid_t unprivileged = 65534;

enum Command : char { Ready = 'R', Limit = 'L', Limited = 'l', Unlimit = 'U', Unlimited = 'u', Quit = 'Q', Done = 'q' };

void setProcessLimit(bool low)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NPROC, &limit);
    limit.rlim_cur = low ? 1 : limit.rlim_max;
    ::setrlimit(RLIMIT_NPROC, &limit);
}

// Answers each command on channel once done; Ready first.
[[noreturn]] void serveAsChild(const std::string& home, unsigned short port, int channel)
{
    ::setenv("LAMPSIM_STATE", (home + "/chip.state").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    // The build tree may lie where that user cannot go (a clone in root's home): the lamp library
    // and its module are loaded while the child still can, and the server's loads by name find them.
    for (const char* library : {"/libWinRing0.so", "/libBrillLamp.so"}) {
        if (!::dlopen((binDir() + library).c_str(), RTLD_NOW | RTLD_GLOBAL))
            ::_exit(2);
    }
    if (::setgroups(0, nullptr) != 0 || ::setgid(unprivileged) != 0 || ::setuid(unprivileged) != 0)
        ::_exit(3);
    auto server = std::make_unique<Norvik::Server>(port);
    for (char command = Ready;;) {
        if (::write(channel, &command, 1) != 1 || ::read(channel, &command, 1) != 1)
            ::_exit(4);
        switch (command) {
        case Limit:
            setProcessLimit(true);
            command = Limited;
            break;
        case Unlimit:
            setProcessLimit(false);
            command = Unlimited;
            break;
        case Quit:
            server.reset();
            command = Done;
            ::_exit(::write(channel, &command, 1) == 1 ? 0 : 5);
        default:
            ::_exit(6);
        }
    }
}

class ThreadLimit : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to become an unprivileged user";
        ::chmod(home.path().c_str(), 0777);
        port = Norvik::Testing::freeTcpPort();
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        child = ::fork();
        if (child == 0) {
            ::close(ends[0]);
            serveAsChild(home.path(), port, ends[1]);
        }
        ::close(ends[1]);
        channel.reset(ends[0]);
        ASSERT_EQ(reply(), Ready);
        // A connection served while threads could still be made.
        early = TcpClient(port);
        ASSERT_EQ(early.ask(R"({"green":true})"), successAnswer);
        ASSERT_EQ(tell(Limit), Limited);
    }

    void TearDown() override
    {
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
    }

    char reply() const
    {
        char answer = 0;
        return ::read(channel.get(), &answer, 1) == 1 ? answer : 0;
    }

    char tell(char command) const { return ::write(channel.get(), &command, 1) == 1 ? reply() : 0; }

    std::string logText() const { return readFile(home.path() + "/data" + std::string(Contract::logFile)); }

    TempDir home;
    unsigned short port = 0;
    pid_t child = -1;
    Norvik::Utils::UniqueFd channel;
    TcpClient early;
};

TEST_F(ThreadLimit, ConnectionWithoutAThreadIsClosedAndLoggedAndTheServerGoesOn)
{
    for (int i = 0; i < 3; ++i) {
        TcpClient refused(port);
        ASSERT_TRUE(refused.connected());
        refused.trySend(R"({"red":true})");
        EXPECT_TRUE(refused.seesEnd(5s)) << "connection " << i << " left hanging";
        EXPECT_EQ(refused.partial(), "");
    }
    EXPECT_TRUE(waitUntil(
        [&] { return logText().find("Can't start the receive thread of the client on port") != std::string::npos; },
        3s))
        << logText();

    // A connection that has its thread already is still answered, once.
    EXPECT_NE(early.ask(R"({"red":true})"), "");
    EXPECT_EQ(early.readAvailable(200ms), "");

    ASSERT_EQ(tell(Unlimit), Unlimited);
    EXPECT_EQ(answerWithin(port, R"({"blue":true})", 5s), successAnswer);
    EXPECT_EQ(early.ask(R"({"red":true})"), successAnswer);
    early.close();

    ASSERT_EQ(tell(Quit), Done);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    child = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A colour whose switching thread cannot be created is not switched, so the answer is a failure.
TEST_F(ThreadLimit, SwitchingWithoutThreadsIsAnsweredAsAFailure)
{
    const std::string answer = early.ask(R"({"red":true})");
    EXPECT_EQ(answer.rfind(Contract::failureAnswerHead, 0), 0u) << answer;
    ASSERT_EQ(tell(Unlimit), Unlimited);
}

} // namespace
} // namespace Reliability
