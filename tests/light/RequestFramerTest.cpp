#include "light/RequestFramer.h"
#include "tests/support/Requests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace Norvik {
namespace {

using TestSupport::requestOfSize;
using Frame = RequestFramer::Frame;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// "R:<bytes>" for a request, "TooLong" for an overlong one, "HTTP:<line>" for an HTTP request line.
std::vector<std::string> describe(const std::vector<Frame>& frames)
{
    std::vector<std::string> out;
    for (const Frame& frame : frames) {
        const std::string text(frame.bytes.begin(), frame.bytes.end());
        out.push_back(frame.kind == Frame::TooLong ? "TooLong"
                                                   : (frame.kind == Frame::HttpRequest ? "HTTP:" : "R:") + text);
    }
    return out;
}

using Names = std::vector<std::string>;

void append(Names& got, const std::vector<Frame>& frames)
{
    for (const std::string& frame : describe(frames))
        got.push_back(frame);
}

// The input cut into pieces of size bytes (the rest last). Where the framer says it awaits no
// pause, the connection waits for none: one there must change nothing.
Names feedPieces(RequestFramer& framer, const std::string& input, std::size_t size)
{
    Names got;
    for (std::size_t at = 0; at < input.size(); at += size) {
        append(got, framer.feed(bytes(input.substr(at, size))));
        if (!framer.awaitsPause()) {
            EXPECT_EQ(describe(framer.pause()), Names{}) << "after byte " << at + size;
        }
    }
    return got;
}

// The pieces, then the client pauses.
Names feedInPieces(const std::string& input, std::size_t size)
{
    RequestFramer framer;
    Names got = feedPieces(framer, input, size);
    append(got, framer.pause());
    return got;
}

// One chunk, then the client pauses.
Names feedWhole(const std::string& input)
{
    return feedInPieces(input, std::max<std::size_t>(input.size(), 1));
}

TEST(RequestFramer, CompleteObjectsComeOutWithTheirExactBytes)
{
    EXPECT_EQ(feedWhole(R"({"red":true})"), Names{R"(R:{"red":true})"});
    EXPECT_EQ(feedWhole(R"({"a":{"b":{}},"c":{}})"), Names{R"(R:{"a":{"b":{}},"c":{}})"});
    EXPECT_EQ(feedWhole(R"({"red":true}{"red":false})"), (Names{R"(R:{"red":true})", R"(R:{"red":false})"}));
}

TEST(RequestFramer, BracesInsideStringsDoNotCount)
{
    EXPECT_EQ(feedWhole(R"({"note":"}"})"), Names{R"(R:{"note":"}"})"});
    EXPECT_EQ(feedWhole(R"({"note":"{"})"), Names{R"(R:{"note":"{"})"});
    EXPECT_EQ(feedWhole(R"({"a":"\"}"})"), Names{R"(R:{"a":"\"}"})"});
    EXPECT_EQ(feedWhole(R"({"a":"\\"})"), Names{R"(R:{"a":"\\"})"});
    EXPECT_EQ(feedWhole(R"({"a":"\\\"}{"})"), Names{R"(R:{"a":"\\\"}{"})"});
    EXPECT_EQ(feedWhole(R"({"\\":"}","b":"x\\\\"}{})"), (Names{R"(R:{"\\":"}","b":"x\\\\"})", "R:{}"}));
}

TEST(RequestFramer, BracesInsideCommentsDoNotCount)
{
    EXPECT_EQ(feedWhole(R"({"red":true /* on */})"), Names{R"(R:{"red":true /* on */})"});
    EXPECT_EQ(feedWhole(R"({"red":true /* on } **/})"), Names{R"(R:{"red":true /* on } **/})"});
    EXPECT_EQ(feedWhole("{\"red\":true // }\n}"), Names{"R:{\"red\":true // }\n}"});
    EXPECT_EQ(feedWhole("{\"a\":1/2}"), Names{"R:{\"a\":1/2}"});
    EXPECT_EQ(feedWhole(R"({"a":"/*"}{})"), (Names{R"(R:{"a":"/*"})", "R:{}"}));
}

TEST(RequestFramer, BracesInCommentsAndStringsOutsideObjectsDoNotCount)
{
    EXPECT_EQ(feedWhole(R"(/* { */ {"red":true})"), Names{R"(R:{"red":true})"});
    EXPECT_EQ(feedWhole("// {\n{\"red\":true}"), Names{R"(R:{"red":true})"});
    EXPECT_EQ(feedWhole(R"({"red":true} /* } { */ {})"), (Names{R"(R:{"red":true})", "R:{}"}));
    EXPECT_EQ(feedWhole(R"("}{" {"red":true})"), Names{R"(R:{"red":true})"});
    // A string left open ends with its line rather than swallowing what follows; the line is
    // text of its own.
    EXPECT_EQ(feedWhole("\"{\n{\"red\":true}"), (Names{"R:\"{\n", R"(R:{"red":true})"}));

    // A comment left open at the end of a chunk goes on in the next one.
    RequestFramer framer;
    EXPECT_EQ(describe(framer.feed(bytes("/* {"))), Names{});
    EXPECT_EQ(describe(framer.feed(bytes(R"( */ {"red":true})"))), Names{R"(R:{"red":true})"});
}

TEST(RequestFramer, SplittingAtEveryByteGivesTheSameRequests)
{
    const std::string inputs[] = {
        R"({"red":true,"green":1,"blue":0.0})", R"(xx{"note":"}{\"\\"}{"a":{"b":"\\\""}}  {}[1])",
        "\xEF\xBB\xBF{\"a\":\"\xFF\xC3\"}\n",   R"(}{"red":null}})",
        "{\"red\":true /* } */ // {\r\n}{/}",   "/* { */ {\"red\":true} // {\n{\"a\":\"}\"} \"{\" {}",
    };
    for (const std::string& input : inputs) {
        RequestFramer reference;
        std::vector<std::string> whole;
        for (const std::string& frame : describe(reference.feed(bytes(input))))
            if (frame.rfind("R:{", 0) == 0)
                whole.push_back(frame);
        for (std::size_t cut = 1; cut < input.size(); ++cut) {
            RequestFramer framer;
            std::vector<std::string> got;
            for (const std::string& part : {input.substr(0, cut), input.substr(cut)})
                for (const std::string& frame : describe(framer.feed(bytes(part))))
                    if (frame.rfind("R:{", 0) == 0)
                        got.push_back(frame);
            EXPECT_EQ(got, whole) << "input " << input << " cut at " << cut;
        }
    }
}

TEST(RequestFramer, ByteAtATimeEmitsEachRequestWithItsClosingBrace)
{
    const std::string input = R"({"a":"}"}{"b":{"c":"{"}})";
    RequestFramer framer;
    std::vector<std::size_t> completedAt;
    Names got;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const auto frames = describe(framer.feed(bytes(input.substr(i, 1))));
        if (!frames.empty())
            completedAt.push_back(i);
        got.insert(got.end(), frames.begin(), frames.end());
        EXPECT_EQ(framer.isPending(), i != 8 && i != input.size() - 1) << i;
    }
    EXPECT_EQ(got, (Names{R"(R:{"a":"}"})", R"(R:{"b":{"c":"{"}})"}));
    EXPECT_EQ(completedAt, (std::vector<std::size_t>{8, input.size() - 1}));
}

TEST(RequestFramer, UnfinishedRequestWaitsForItsRest)
{
    RequestFramer framer;
    EXPECT_TRUE(framer.feed(bytes(R"({"red":)")).empty());
    EXPECT_TRUE(framer.isPending());
    EXPECT_EQ(describe(framer.feed(bytes("true}"))), Names{R"(R:{"red":true})"});
    EXPECT_FALSE(framer.isPending());
}

TEST(RequestFramer, BlankTextIsNoRequest)
{
    EXPECT_EQ(feedWhole("\n"), Names{});
    EXPECT_EQ(feedWhole(" \t\r\n"), Names{});
    EXPECT_EQ(feedWhole("\xEF\xBB\xBF"), Names{});
    EXPECT_EQ(feedWhole("{}\n"), Names{"R:{}"});
    EXPECT_EQ(feedWhole("\r\n{}\r\n{} \n"), (Names{"R:{}", "R:{}"}));
    EXPECT_EQ(feedWhole(""), Names{});
    // NUL bytes (a C client's terminator) and comments between requests are blank as well.
    EXPECT_EQ(feedWhole(std::string("{}\0", 3)), Names{"R:{}"});
    EXPECT_EQ(feedWhole(std::string("\0{}\0\0{}\0", 8)), (Names{"R:{}", "R:{}"}));
    EXPECT_EQ(feedWhole("{} /* done */ // done\n"), Names{"R:{}"});
    EXPECT_EQ(feedWhole(std::string("hello\0", 6)), Names{std::string("R:hello\0", 8)});
}

TEST(RequestFramer, TextOutsideObjects)
{
    // Before a "{" it is dropped; a "}" with nothing open drops it too.
    EXPECT_EQ(feedWhole(R"(xx{"red":true})"), Names{R"(R:{"red":true})"});
    EXPECT_EQ(feedWhole("}"), Names{});
    EXPECT_EQ(feedWhole("hello}"), Names{});
    EXPECT_EQ(feedWhole(R"(}{"red":true})"), Names{R"(R:{"red":true})"});
    // Otherwise it is a request of its own at its line end or when the client pauses, as it came.
    EXPECT_EQ(feedWhole("hello"), Names{"R:hello"});
    EXPECT_EQ(feedWhole("[true]"), Names{"R:[true]"});
    EXPECT_EQ(feedWhole(" null\n"), Names{"R: null\n"});
    EXPECT_EQ(feedWhole(R"({"red":true}hello)"), (Names{R"(R:{"red":true})", "R:hello"}));
    EXPECT_EQ(feedWhole("hello // {\nworld\r\n"), (Names{"R:hello // {\n", "R:world\r"}));

    RequestFramer framer;
    EXPECT_EQ(describe(framer.feed(bytes("hello"))), Names{});
    EXPECT_EQ(describe(framer.pause()), Names{"R:hello"});
    EXPECT_EQ(describe(framer.pause()), Names{});
    EXPECT_EQ(describe(framer.feed(bytes("{}"))), Names{"R:{}"});
}

TEST(RequestFramer, TextOutsideObjectsIsAnsweredOnceHoweverItIsSplit)
{
    const std::string inputs[] = {"[true]", "hello\nworld\n[1,2]", "null\r\n{\"red\":true}x", "\"a\nb\" 5\n"};
    for (const std::string& input : inputs) {
        const Names whole = feedWhole(input);
        for (std::size_t size = 1; size < input.size(); ++size)
            EXPECT_EQ(feedInPieces(input, size), whole) << input << " in pieces of " << size;
    }
    EXPECT_EQ(feedWhole("hello\nworld\n[1,2]"), (Names{"R:hello\n", "R:world\n", "R:[1,2]"}));

    // Three times the most a request may hold, without a brace: one answer, however it comes.
    const std::string loose(3 * (RequestFramer::maxRequestSize - 1), 'a');
    EXPECT_EQ(feedInPieces(loose, 1024), Names{"TooLong"});
    EXPECT_EQ(feedInPieces(loose + "\nhello\n", 1000), (Names{"TooLong", "R:hello\n"}));
}

TEST(RequestFramer, AConnectionBeginningWithAnHttpRequestLineFramesNothing)
{
    const std::string post = "POST / HTTP/1.1\r\nHost: 127.0.0.1:48888\r\nContent-Type: text/plain\r\n"
                             "Content-Length: 12\r\n\r\n{\"red\":true}";
    const std::string http[] = {post, "GET /{\"red\":true} HTTP/1.1\r\n\r\n", "OPTIONS * HTTP/1.0\n{}"};
    for (const std::string& input : http) {
        const std::string line = input.substr(0, input.find_first_of("\r\n") + 1);
        for (std::size_t size = 1; size <= input.size(); ++size)
            EXPECT_EQ(feedInPieces(input, size), Names{"HTTP:" + line}) << input << " in pieces of " << size;
        RequestFramer framer;
        const auto frames = framer.feed(bytes(input));
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].kind, Frame::HttpRequest);
        EXPECT_TRUE(framer.feed(bytes("{}")).empty());
    }
    // What a client of the protocol sends is never taken for one.
    EXPECT_EQ(feedWhole("GET"), Names{"R:GET"});
    EXPECT_EQ(feedWhole("HELLO\n{}"), (Names{"R:HELLO\n", "R:{}"}));
    EXPECT_EQ(feedWhole("POST{\"red\":true}"), Names{R"(R:{"red":true})"});
    EXPECT_EQ(feedWhole("GET / HTTP/1.1 {}\n"), Names{"R:{}"});
    EXPECT_EQ(feedWhole(" GET / HTTP/1.1\n"), Names{"R: GET / HTTP/1.1\n"});
    EXPECT_EQ(feedWhole("{}GET / HTTP/1.1\n"), (Names{"R:{}", "R:GET / HTTP/1.1\n"}));
}

TEST(RequestFramer, BytesReachTheReaderAsTheyCame)
{
    const std::string odd = "{\"a\":\"\xC3\x28\xFF\xEF\xBB\xBF\",\"red\":true}";
    EXPECT_EQ(feedWhole("\xEF\xBB\xBF" + odd), Names{"R:" + odd});
    EXPECT_EQ(feedWhole("\xC3" + odd), Names{"R:" + odd});
    EXPECT_EQ(feedWhole(std::string("{\"a\":\"\0\",\"b\":1}", 15)), Names{std::string("R:{\"a\":\"\0\",\"b\":1}", 17)});
}

TEST(RequestFramer, DeepNestingNeedsNoRecursion)
{
    const std::size_t levels = 20000;
    const std::string input = std::string(levels, '{') + std::string(levels, '}');
    const auto frames = feedWhole(input);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], "R:" + input);
}

TEST(RequestFramer, RequestsUpTo64KiBAreWhole)
{
    const std::string largest = requestOfSize(RequestFramer::maxRequestSize);
    RequestFramer framer;
    EXPECT_EQ(feedPieces(framer, largest, 1024), Names{"R:" + largest});
}

TEST(RequestFramer, OverlongRequestGetsOneTooLongAndItsRestIsSkipped)
{
    // Objects inside the overlong request's remainder must not pass for requests.
    std::string overlong = requestOfSize(RequestFramer::maxRequestSize + 1);
    overlong.insert(overlong.size() - 1, R"(,"inner":{"red":false},"s":"}{")");
    RequestFramer framer;
    EXPECT_EQ(feedPieces(framer, overlong, 1024), Names{"TooLong"});
    EXPECT_FALSE(framer.isPending());
    EXPECT_EQ(describe(framer.feed(bytes(R"({"green":true})"))), Names{R"(R:{"green":true})"});

    const std::string justOver = requestOfSize(RequestFramer::maxRequestSize + 1);
    EXPECT_EQ(feedWhole(justOver + "{}"), (Names{"TooLong", "R:{}"}));
}

TEST(RequestFramer, OverlongLooseTextGetsOneTooLong)
{
    const std::string loose(RequestFramer::maxRequestSize + 10, 'a');
    EXPECT_EQ(feedWhole(loose), Names{"TooLong"});
    EXPECT_EQ(feedWhole(loose + "{}"), (Names{"TooLong", "R:{}"}));
    EXPECT_EQ(feedWhole(std::string(RequestFramer::maxRequestSize, 'a')),
              Names{"R:" + std::string(RequestFramer::maxRequestSize, 'a')});
}

} // namespace
} // namespace Norvik
