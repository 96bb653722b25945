#include "tests/service/LampFixture.h"

#include <chrono>
#include <csignal>
#include <thread>

namespace ServiceTests {
namespace {

class ServiceModeTest : public LampFixture {};

TEST_F(ServiceModeTest, ReportsReadyServesAndStopsCleanlyOnSigterm)
{
    NotifySocket notify(home.file("notify"));
    ChildOptions service = serviceOptions({});
    service.environment.push_back({"NOTIFY_SOCKET", home.file("notify")});
    ChildProcess child(programPath(), service);

    ASSERT_TRUE(notify.waitFor("READY=1", std::chrono::seconds(15))) << child.output();
    EXPECT_TRUE(child.waitForOutput(startedLine, 10000));
    EXPECT_EQ(0u, child.output().find(startedLine)) << child.output();
    {
        TcpClient client(servicePort);
        ASSERT_TRUE(client.connected()) << "ready reported before the port was open";
        client.send("{\"red\":true,\"green\":false,\"blue\":false}");
        EXPECT_EQ(successAnswer, client.receive(successAnswer.size(), std::chrono::seconds(5)));
    }
    EXPECT_EQ("red=on green=off blue=off", state());
    EXPECT_EQ(std::string::npos, notify.received().find("STOPPING=1"));

    // The wait for the stop must not spin.
    EXPECT_LT(idleTicks(child.pid()), 20) << "ticks used while idle";

    expectCleanStop(child, SIGTERM, "\nStopped.\n");
    EXPECT_TRUE(notify.waitFor("STOPPING=1", std::chrono::seconds(1))) << notify.received();
    EXPECT_FALSE(TcpClient(servicePort).connected());
    EXPECT_TRUE(LampSim::StateFile(statePath()).locked());
    // The lamp keeps its state over the close.
    EXPECT_EQ("red=on green=off blue=off", state());
}

TEST_F(ServiceModeTest, StartedByTheManagerWithoutNotificationSocketStopsOnSigint)
{
    ChildOptions service = serviceOptions({});
    service.environment.push_back({"INVOCATION_ID", "0123456789abcdef0123456789abcdef"});
    ChildProcess child(programPath(), service);

    ASSERT_TRUE(waitForListener(servicePort, 15000)) << child.output();
    expectCleanStop(child, SIGINT, "\nStopped.\n");
}

} // namespace
} // namespace ServiceTests
