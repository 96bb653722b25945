#pragma once

#include "light/JsonScanner.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Norvik {

// Cuts the byte stream of one connection into requests. An object request runs from its "{" to
// the "}" that balances it; braces inside JSON strings and comments never count, inside an object
// or outside. Bytes before a "{" and a "}" with nothing open are dropped; other text outside any
// object is handed out, unless it is blank (white space, NUL bytes, comments), at its line end or
// when the client pauses, so a client that sends a bare non-object gets one answer for it however
// the bytes were split. Such text is bounded as a request is. A connection that begins with an
// HTTP request line is no client of this protocol: nothing of it is framed.
class RequestFramer {
public:
    static constexpr std::size_t maxRequestSize = 64 * 1024;

    struct Frame {
        // HttpRequest: the connection began with this HTTP request line; nothing follows it.
        enum Kind { Request, TooLong, HttpRequest };
        Kind kind;
        std::vector<std::uint8_t> bytes;
    };

    std::vector<Frame> feed(const std::uint8_t* data, std::size_t size);
    std::vector<Frame> feed(const std::vector<std::uint8_t>& data) { return feed(data.data(), data.size()); }
    // The client has paused: text outside any object that is still held is complete.
    std::vector<Frame> pause();

    // Bytes of an unfinished request are held (or an overlong one is being skipped).
    bool isPending() const { return depth > 0; }
    // pause() may hand something out or end a skip: a first line that may be an HTTP request
    // line, or text outside any object.
    bool awaitsPause() const { return start == MaybeHttp || (depth == 0 && (skipping || !buffer.empty())); }

private:
    void takeByte(std::uint8_t byte, std::vector<Frame>& frames);
    void takeHttpByte(std::uint8_t byte, std::vector<Frame>& frames);
    void releaseHttpLine(std::vector<Frame>& frames);
    void takeObjectByte(std::uint8_t byte, std::vector<Frame>& frames);
    void takeLooseByte(std::uint8_t byte, std::vector<Frame>& frames);
    void store(std::uint8_t byte, std::vector<Frame>& frames);
    void flushLooseText(std::vector<Frame>& frames);

    std::vector<std::uint8_t> buffer;
    std::size_t depth = 0;
    // Where the walk stands, inside an object or between objects.
    JsonScanner scanner;
    // After an overlong request: skip the rest of it (or of the loose text) without storing it.
    bool skipping = false;
    // The connection's first line while it may still be an HTTP request line, and what was found.
    enum Start { Blank, MaybeHttp, Decided, Http };
    Start start = Blank;
    std::vector<std::uint8_t> firstLine;
};

} // namespace Norvik
