// lightctl against a stand-in service on a free port: what it sends, and how it ends.

#include "tests/tools/FakeService.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Contract.h"
#include "tests/support/TcpClient.h"

#include <gtest/gtest.h>

namespace {

using TestSupport::ProgramResult;
using TestSupport::runBuilt;
using ToolTest::FakeService;

ProgramResult lightctl(unsigned short port, std::vector<std::string> args)
{
    args.insert(args.begin(), {"--port", std::to_string(port)});
    return runBuilt("lightctl", args);
}

TEST(LightCtl, SendsExactlyTheRequestObjectAndExitsZeroOnSuccess)
{
    struct Case {
        std::vector<std::string> args;
        std::string request;
    } cases[] = {
        {{"red", "green"}, R"({"red":true,"green":true,"blue":false})"},
        {{"BLUE"}, R"({"red":false,"green":false,"blue":true})"},
        {{"Green", "green"}, R"({"red":false,"green":true,"blue":false})"},
        {{"off"}, R"({"red":false,"green":false,"blue":false})"},
        {{"--json", " {\"red\":1 /* on */, \"yellow\":true}\n"}, " {\"red\":1 /* on */, \"yellow\":true}\n"},
    };
    for (const Case& c : cases) {
        FakeService service(FakeService::Mode::Answer, {std::string(Contract::successAnswer)});
        const ProgramResult run = lightctl(service.port(), c.args);
        EXPECT_EQ(0, run.status) << c.request << run.error;
        EXPECT_EQ("", run.output) << "an empty log prints nothing";
        EXPECT_EQ(c.request, service.received()) << "no line end, no second object";
    }
}

TEST(LightCtl, FailureAnswerPrintsTheLogAndExitsOne)
{
    const std::string text{Contract::libraryNotLoaded};
    FakeService service(FakeService::Mode::Answer, {Contract::failureAnswer(text)});
    const ProgramResult run = lightctl(service.port(), {"red"});
    EXPECT_EQ(1, run.status) << run.error;
    EXPECT_EQ(text + "\n", run.output);
}

TEST(LightCtl, AnswerInPiecesWithBracesInsideItsTextIsReadWhole)
{
    // The first chunk alone balances if braces inside the string were counted.
    FakeService service(FakeService::Mode::Answer,
                        {"{\n   \"error\" : -1,\n   \"log\" : \"a } b \\\" {", "{ c\"\n", "}\n"});
    const ProgramResult run = lightctl(service.port(), {"blue"});
    EXPECT_EQ(1, run.status) << run.error;
    EXPECT_EQ("a } b \" {{ c\n", run.output);
}

TEST(LightCtl, NoServiceOrNoAnswerExitsTwo)
{
    const ProgramResult refused = lightctl(TestSupport::freeTcpPort(), {"red"});
    EXPECT_EQ(2, refused.status);
    EXPECT_NE(std::string::npos, refused.error.find("cannot reach the light service")) << refused.error;

    FakeService closing(FakeService::Mode::CloseAtOnce);
    const ProgramResult closed = lightctl(closing.port(), {"red"});
    EXPECT_EQ(2, closed.status);
    EXPECT_NE(std::string::npos, closed.error.find("without an answer")) << closed.error;

    FakeService garbage(FakeService::Mode::Answer, {"[0]"});
    EXPECT_EQ(2, lightctl(garbage.port(), {"red"}).status);

    FakeService noError(FakeService::Mode::Answer, {"{\"log\":\"\"}"});
    EXPECT_EQ(2, lightctl(noError.port(), {"red"}).status) << "an answer without an error code is no answer";
}

TEST(LightCtl, SilentServiceTimesOutOnTime)
{
    for (const auto& [timeout, seconds] : {std::pair<const char*, double>{"0.5", 0.5}, {"1.2", 1.2}}) {
        FakeService silent(FakeService::Mode::Silent);
        const ProgramResult run = lightctl(silent.port(), {"--timeout", timeout, "green"});
        EXPECT_EQ(2, run.status);
        EXPECT_NE(std::string::npos, run.error.find("no answer")) << run.error;
        EXPECT_GE(run.seconds, seconds - 0.05);
        EXPECT_LT(run.seconds, seconds + 1.0);
        EXPECT_EQ(R"({"red":false,"green":true,"blue":false})", silent.received());
    }
}

TEST(LightCtl, UsageErrorsExitSixtyFourWithoutConnecting)
{
    FakeService service(FakeService::Mode::Answer, {std::string(Contract::successAnswer)});
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"yellow"},
        {"red", "off"},
        {"--json", "{}", "red"},
        {"--json"},
        {"--json", ""},
        {"--timeout", "0", "red"},
        {"--timeout", "x", "red"},
        {"--port", "0", "red"},
        {"--port", "70000", "red"},
        {"--frobnicate"},
    };
    for (const auto& args : wrong) {
        const ProgramResult run = runBuilt("lightctl", args);
        EXPECT_EQ(64, run.status) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(std::string::npos, run.error.find("usage: lightctl")) << run.error;
    }
    const ProgramResult help = runBuilt("lightctl", {"--help"});
    EXPECT_EQ(0, help.status);
    EXPECT_NE(std::string::npos, help.output.find("usage: lightctl"));
    EXPECT_EQ(0, lightctl(service.port(), {"red"}).status) << "the service was not used up by the usage errors";
}

} // namespace
