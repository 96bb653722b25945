// Hostile and broken input on a live request server over the simulated chip: each case gets
// the right answer or none, switches nothing it should not, and leaves the connection and the
// server answering normally.

#include "tests/light/LightTestSupport.h"
#include "tests/reliability/ReliabilitySupport.h"
#include "tests/support/Requests.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Norvik::Testing::TestLamp;
using Reliability::failureAnswer;
using Reliability::successAnswer;
using Reliability::TcpClient;
using TestSupport::requestOfSize;
using Colours = TestLamp::Colours;

const std::string cannotParse = failureAnswer(Contract::cannotParse);
const std::string tooLong = failureAnswer(Contract::requestTooLong);
const std::string wrongType = failureAnswer(Contract::redWrongType);
const std::string notObject = failureAnswer(Contract::notAnObject);
const std::string greenOnly = R"({"green":true})";
const Colours greenLit{false, true, false};
const Colours redLit{true, false, false};
const Colours blueLit{false, false, true};

std::string nested(const std::string& open, const std::string& close, int levels, const std::string& core)
{
    std::string text;
    for (int i = 0; i < levels; ++i)
        text += open;
    text += core;
    for (int i = 0; i < levels; ++i)
        text += close;
    return text;
}

std::string garbage(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes;
    while (bytes.size() < size) {
        const char byte = static_cast<char>(random() & 0xFF);
        // Without "{" no object can start, so whatever comes back must be a failure.
        if (byte != '{')
            bytes += byte;
    }
    return bytes;
}

struct Case {
    const char* name;
    std::vector<std::string> chunks; // each sent on its own, a short pause between them
    std::vector<std::string_view> answers;
    Colours after;
};

std::vector<Case> cases()
{
    const std::string nul(1, '\0');
    return {
        {"invalid UTF-8 inside a string", {"{\"red\":true,\"x\":\"\xC3\x28\xFF\xFE\"}"}, {successAnswer}, redLit},
        {"invalid UTF-8 outside strings", {"{\"red\":true\xFF}"}, {cannotParse}, greenLit},
        {"byte-order mark", {"\xEF\xBB\xBF{\"blue\":true}"}, {successAnswer}, blueLit},
        {"NUL inside the object", {"{\"red\":" + nul + "true}"}, {cannotParse}, greenLit},
        {"NUL bytes alone", {nul + nul + nul}, {}, greenLit},
        {"NUL after each request",
         {R"({"red":true})" + nul + R"({"blue":true})" + nul},
         {successAnswer, successAnswer},
         blueLit},
        {"10,000 levels of arrays", {"{\"red\":true,\"a\":" + nested("[", "]", 10000, "") + "}"}, {"-1"}, greenLit},
        {"10,000 levels of objects", {nested("{\"a\":", "}", 10000, "1")}, {"-1"}, greenLit},
        {"huge integer", {R"({"red":123456789012345678901234567890123456789})"}, {successAnswer}, redLit},
        {"huge exponent", {R"({"blue":1e999999})"}, {cannotParse}, greenLit},
        {"negative zero is off", {R"({"red":-0.0,"green":1})"}, {successAnswer}, greenLit},
        {"duplicate members: the last counts", {R"({"red":true,"red":false,"blue":1})"}, {successAnswer}, blueLit},
        {"comments", {"{\"red\":true /* } */, // }\n\"green\":true}"}, {successAnswer}, {true, true, false}},
        {"braces in comments before a request",
         {"/* { */ {\"red\":true} // {\n{\"blue\":true}"},
         {successAnswer, successAnswer},
         blueLit},
        {"braces in a string before a request", {R"("}{" {"red":true})"}, {successAnswer}, redLit},
        {"white space between requests", {"{\"red\":true}\n\r\n \t", "\n"}, {successAnswer}, redLit},
        {"two objects in one chunk", {R"({"red":true}{"blue":true})"}, {successAnswer, successAnswer}, blueLit},
        {"closing brace first", {"}", R"({"red":true})"}, {successAnswer}, redLit},
        {"string member is refused", {R"({"red":"yes"})"}, {wrongType}, greenLit},
        {"array root", {"[true]"}, {notObject}, greenLit},
        {"64 KiB request", {requestOfSize(64 * 1024)}, {successAnswer}, redLit},
        {"64 KiB + 1 request", {requestOfSize(64 * 1024 + 1)}, {tooLong}, greenLit},
    };
}

class BadInput : public Norvik::Testing::LampServerTest {
protected:
    // A new connection, and a known lamp state before each case: green only.
    TcpClient greenConnection()
    {
        TcpClient connection(port);
        EXPECT_EQ(connection.ask(greenOnly), successAnswer);
        EXPECT_EQ(lamp->colours(), greenLit);
        return connection;
    }

    // The same connection and a new one are both answered normally.
    void expectServing(TcpClient& connection, const char* name)
    {
        EXPECT_EQ(connection.ask(greenOnly), successAnswer) << name;
        TcpClient other(port);
        EXPECT_EQ(other.ask(R"({"red":true,"green":true,"blue":true})"), successAnswer) << name;
        EXPECT_EQ(lamp->colours(), (Colours{true, true, true})) << name;
    }
};

TEST_F(BadInput, EachCaseIsAnsweredAsItShouldAndTheServerGoesOn)
{
    for (const Case& c : cases()) {
        TcpClient connection = greenConnection();
        ASSERT_TRUE(connection.connected());
        const auto accessesBefore = lamp->accessCount();
        for (const std::string& chunk : c.chunks) {
            ASSERT_TRUE(connection.trySend(chunk)) << c.name;
            std::this_thread::sleep_for(20ms);
        }
        for (const std::string_view expected : c.answers) {
            const std::string answer = connection.readAnswer();
            if (expected == "-1")
                EXPECT_EQ(answer.rfind(Contract::failureAnswerHead, 0), 0u) << c.name << ": " << answer;
            else
                EXPECT_EQ(answer, expected) << c.name;
        }
        EXPECT_EQ(connection.readAvailable(100ms), "") << c.name << ": answered more than once";
        EXPECT_EQ(lamp->colours(), c.after) << c.name;
        if (c.after == greenLit && (c.answers.empty() || c.answers.front() != successAnswer)) {
            EXPECT_EQ(lamp->accessCount(), accessesBefore) << c.name << ": the chip was touched";
        }
        expectServing(connection, c.name);
    }
}

TEST_F(BadInput, RequestSplitAtEveryByteIsAnsweredOnce)
{
    TcpClient connection = greenConnection();
    const std::string request = R"({"red" : true, "note" : "{\"}", /* } */ "blue" : 1})";
    for (char byte : request) {
        ASSERT_TRUE(connection.trySend(std::string(1, byte)));
        std::this_thread::sleep_for(2ms);
    }
    EXPECT_EQ(connection.readAnswer(), successAnswer);
    EXPECT_EQ(connection.readAvailable(200ms), "");
    EXPECT_EQ(lamp->colours(), (Colours{true, false, true}));
    expectServing(connection, "split");
}

TEST_F(BadInput, BinaryGarbageGetsOnlyFailuresAndSwitchesNothing)
{
    TcpClient connection = greenConnection();
    const auto accessesBefore = lamp->accessCount();
    for (unsigned seed = 1; seed <= 8; ++seed)
        ASSERT_TRUE(connection.trySend(garbage(3000, seed)));
    std::string answers = connection.readAnswer();
    EXPECT_FALSE(answers.empty());
    answers += connection.readAvailable(500ms);
    // Every answer is a whole failure answer: nothing was half written or mixed.
    std::size_t at = 0;
    while (at < answers.size()) {
        const std::size_t end = answers.find("}\n", at);
        ASSERT_NE(end, std::string::npos) << "cut answer at " << at;
        const std::string answer = answers.substr(at, end + 2 - at);
        EXPECT_EQ(answer.rfind(Contract::failureAnswerHead, 0), 0u) << answer;
        at = end + 2;
    }
    EXPECT_EQ(lamp->colours(), greenLit);
    EXPECT_EQ(lamp->accessCount(), accessesBefore);
    expectServing(connection, "garbage");
}

TEST_F(BadInput, UnclosedBracesAreHeldThenCutOffAtTheBound)
{
    TcpClient open = greenConnection();
    ASSERT_TRUE(open.trySend(R"({"red":true,"more":{"a":)"));
    // Held, not answered, while other clients are served.
    EXPECT_EQ(open.readAnswer(200ms), "");
    TcpClient other(port);
    EXPECT_EQ(other.ask(R"({"blue":true})"), successAnswer);

    // Growing past the bound gets one "too long" answer; the rest of that request is skipped.
    const std::string filler(1000, 'x');
    for (int i = 0; i < 70; ++i)
        ASSERT_TRUE(open.trySend(filler));
    EXPECT_EQ(open.readAnswer(), tooLong);
    ASSERT_TRUE(open.trySend("}}"));
    EXPECT_EQ(open.readAvailable(200ms), "");
    EXPECT_EQ(lamp->colours(), (Colours{false, false, true}));
    expectServing(open, "unclosed");
}

TEST_F(BadInput, HalfARequestThenDisconnectLeavesNoTrace)
{
    unsigned short halfPort = 0;
    {
        TcpClient half(port);
        halfPort = half.localPort();
        TcpClient first = greenConnection();
        ASSERT_TRUE(half.trySend(R"({"red":true,"blue":)"));
    }
    // The end comes after the half request, so the server has read that too.
    EXPECT_TRUE(console->waitForLine("Client disconnected " + std::to_string(halfPort)));
    EXPECT_EQ(lamp->colours(), greenLit);
    // A later connection, whatever port it gets, starts from an empty buffer.
    for (int i = 0; i < 20; ++i) {
        TcpClient next(port);
        ASSERT_TRUE(next.trySend(R"(true})"));
        EXPECT_EQ(next.readAvailable(50ms), "");
    }
    EXPECT_EQ(lamp->colours(), greenLit);
    TcpClient last(port);
    expectServing(last, "half");
}

} // namespace
