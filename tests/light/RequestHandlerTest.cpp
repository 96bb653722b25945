#include "tests/light/RecordingLamp.h"
#include "tests/support/Contract.h"
#include "light/RequestHandler.h"

#include "utils/text/Exception.h"
#include "utils/text/StringUtils.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace Norvik {
namespace {

using Testing::RecordingLamp;
using LightsCall = RecordingLamp::Call;

std::vector<std::uint8_t> bytes(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

struct Handled {
    Answer answer;
    std::vector<LightsCall> calls;
};

std::wstring wide(std::string_view text)
{
    return Utils::StringUtils::toWide(std::string(text), Utils::StringUtils::Utf8);
}

Handled handle(const std::string& request)
{
    RecordingLamp service;
    Answer answer = RequestHandler(service).handle(bytes(request));
    return {answer, service.calls};
}

using Calls = std::vector<LightsCall>;

TEST(RequestHandler, SwitchStatesFollowTheMembers)
{
    const struct {
        const char* request;
        LightsCall expected;
    } cases[] = {
        {R"({"red":true,"green":1,"blue":0.0})", {true, true, false}},
        {R"({})", {false, false, false}},
        {R"({"yellow":true})", {false, false, false}},
        {R"({"red":null,"green":false,"blue":-0.5})", {false, false, true}},
        {R"({"red":-1,"green":1e-300,"blue":18446744073709551615})", {true, true, true}},
        {R"({"blue":true /* on */, "red":0 // off
           })",
         {false, false, true}},
        {"{\"note\":\"\xFF\xC3\",\"green\":true}", {false, true, false}},
        {R"({"red":true} trailing text is not looked at)", {true, false, false}},
    };
    for (const auto& c : cases) {
        const Handled handled = handle(c.request);
        EXPECT_EQ(handled.answer.error, 0) << c.request;
        EXPECT_EQ(handled.answer.log, L"") << c.request;
        EXPECT_EQ(handled.calls, Calls{c.expected}) << c.request;
    }
}

// Refused with the log, and nothing switched.
void expectRefused(const std::string& request, const std::wstring& log)
{
    const Handled handled = handle(request);
    EXPECT_EQ(handled.answer.error, -1) << request.substr(0, 40);
    EXPECT_EQ(handled.answer.log, log) << request.substr(0, 40);
    EXPECT_TRUE(handled.calls.empty()) << request.substr(0, 40);
}

TEST(RequestHandler, TextThatIsNoObjectIsRefused)
{
    for (const char* request : {"hello", "{\"red\":true", "{\"red\" true}", ""})
        expectRefused(request, wide(Contract::cannotParse));
    for (const char* request : {"[true]", "true", "null", "5", "\"text\""})
        expectRefused(request, wide(Contract::notAnObject));
}

TEST(RequestHandler, MemberOfWrongTypeIsNamedAndNothingIsSwitched)
{
    expectRefused(R"({"red":"yes"})", wide(Contract::redWrongType));
    expectRefused(R"({"red":true,"green":[]})", L"Json member green has a wrong type");
    expectRefused(R"({"red":true,"green":true,"blue":{}})", L"Json member blue has a wrong type");
}

// Nesting deeper than the reader goes is text that cannot be parsed; the reader's own message
// must not reach the client.
TEST(RequestHandler, NestingBeyondTheReaderCannotBeParsed)
{
    for (const std::string& deep : {"{\"a\":" + std::string(1200, '[') + std::string(1200, ']') + ",\"red\":true}",
                                    "{\"red\":" + std::string(2000, '[') + std::string(2000, ']') + "}",
                                    std::string(5000, '{') + std::string(5000, '}')})
        expectRefused(deep, wide(Contract::cannotParse));

    const std::string fine = "{\"a\":" + std::string(500, '[') + std::string(500, ']') + ",\"red\":true}";
    EXPECT_EQ(handle(fine).calls, (Calls{{true, false, false}}));
}

TEST(RequestHandler, ServiceResultsAndFailuresReachTheAnswer)
{
    RecordingLamp service;
    RequestHandler handler(service);
    const struct {
        std::function<int(std::wstring&)> behaviour;
        std::wstring log;
    } cases[] = {
        {[](std::wstring& log) {
             log = wide(Contract::initialisationFailed);
             return -1;
         },
         wide(Contract::initialisationFailed)},
        {[](std::wstring&) -> int { throw Utils::Exception(7, L"лампа"); }, L"лампа"},
        {[](std::wstring&) -> int { throw std::runtime_error("port gone"); }, L"port gone"},
        {[](std::wstring&) -> int { throw 42; }, L"Unknown error while handling the request"},
    };
    for (const auto& c : cases) {
        service.behaviour = c.behaviour;
        const Answer answer = handler.handle(bytes(R"({"red":true})"));
        EXPECT_EQ(answer.error, -1);
        EXPECT_EQ(answer.log, c.log);
    }
    EXPECT_EQ(service.calls.size(), 4u);
}

std::string rendered(const Answer& answer)
{
    const auto data = RequestHandler::render(answer);
    return std::string(data.begin(), data.end());
}

TEST(RequestHandler, AnswersAreStyledJson)
{
    const std::string success = rendered({0, L""});
    EXPECT_EQ(success, Contract::successAnswer);
    EXPECT_EQ(success.size(), 34u);

    EXPECT_EQ(rendered({-1, L"Не удалось загрузить"}),
              Contract::failureAnswer("\xD0\x9D\xD0\xB5 \xD1\x83\xD0\xB4\xD0\xB0\xD0\xBB\xD0\xBE\xD1\x81\xD1\x8C "
                                      "\xD0\xB7\xD0\xB0\xD0\xB3\xD1\x80\xD1\x83\xD0\xB7\xD0\xB8\xD1\x82\xD1\x8C"));
    EXPECT_EQ(rendered({-1, L"a\"b\\c\nd\x1f"}), Contract::failureAnswer("a\\\"b\\\\c\\nd\\u001F"));
    EXPECT_EQ(rendered(RequestHandler::tooLong()), Contract::failureAnswer(Contract::requestTooLong));
}

} // namespace
} // namespace Norvik
