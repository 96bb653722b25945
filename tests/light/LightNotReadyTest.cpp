// Built twice: in a directory without the lamp library, and beside a port-access module whose
// initialisation fails (LIGHT_EXPECT_INIT_FAILURE).
#include "tests/light/LightTestSupport.h"
#include "light/LightVelk77Service.h"
#include "light/Server.h"

#include "utils/text/StringUtils.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace Norvik {
namespace {

using Testing::TcpClient;
using Testing::TestLamp;

const std::string exceptionPrefix = "[-] Exception: ";

class LampNotReady : public Testing::LampConsoleTest {
protected:
    // The start-up failure text as the console showed it, after checking the lines before it.
    std::string reportedFailure() const
    {
        const auto lines = console->lines();
#if defined(LIGHT_EXPECT_INIT_FAILURE)
        EXPECT_EQ(lines,
                  (std::vector<std::string>{"[-] Initialization is failed",
                                            exceptionPrefix + std::string(Contract::initialisationFailed)}));
#else
        EXPECT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines.empty() ? "" : lines[0].substr(0, exceptionPrefix.size() + 26),
                  exceptionPrefix + "Library loading is failed ");
        EXPECT_NE(console->text().find("BrillLamp"), std::string::npos);
#endif
        return lines.empty() ? "" : lines.back().substr(exceptionPrefix.size());
    }
};

TEST_F(LampNotReady, EveryRequestGetsTheStartUpFailure)
{
    const int port = Testing::freeTcpPort();
    Server server(port);
    const std::string failure = reportedFailure();
    ASSERT_FALSE(failure.empty());

    TcpClient client(port);
    for (const char* request : {R"({"red":true})", R"({})", R"({"blue":1})"}) {
        EXPECT_EQ(client.ask(request), Testing::failureAnswer(failure)) << request;
    }
    EXPECT_EQ(client.ask("[true]"), Testing::failureAnswer(Contract::notAnObject));
    EXPECT_EQ(console->text().find("START"), std::string::npos);
    EXPECT_EQ(lamp->colours(), (TestLamp::Colours{false, false, false}));
}

TEST_F(LampNotReady, ServiceHandsOutItsFailureAndSwitchColourStaysQuiet)
{
    std::unique_ptr<LightVelk77Service> service(LightVelk77Service::create());
    const std::wstring failure = Utils::StringUtils::toWide(reportedFailure(), Utils::StringUtils::Utf8);
    std::wstring log;
    EXPECT_EQ(service->setLights(true, true, true, log), -1);
    EXPECT_FALSE(log.empty());
    std::wstring offLog;
    EXPECT_EQ(service->switchAllOff(offLog), -1);
    EXPECT_EQ(offLog, log);

    std::wstring kept = L"kept";
    EXPECT_EQ(service->switchColour(0, true, kept), 0);
    EXPECT_EQ(kept, L"kept");
    EXPECT_EQ(console->text().find("START"), std::string::npos);
#if !defined(LIGHT_EXPECT_INIT_FAILURE)
    EXPECT_EQ(log, failure);
    EXPECT_EQ(lamp->accessCount(), 0u);
    service.reset();
    EXPECT_EQ(lamp->accessCount(), 0u);
#else
    EXPECT_EQ(Utils::StringUtils::toNarrow(log, Utils::StringUtils::Utf8), Contract::initialisationFailed);
#endif
}

} // namespace
} // namespace Norvik
