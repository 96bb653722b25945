#pragma once

#include "light/JsonScanner.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Norvik {

// Cuts the byte stream of one connection into requests. An object request runs from its "{" to
// the "}" that balances it; braces inside JSON strings and comments never count, inside an object
// or outside. Bytes before a "{" and a "}" with nothing open are dropped; other text outside any
// object is handed out at the end of each chunk unless it is blank (white space, NUL bytes,
// comments), so a client that sends a bare non-object still gets an answer.
class RequestFramer {
public:
    static constexpr std::size_t maxRequestSize = 64 * 1024;

    struct Frame {
        enum Kind { Request, TooLong };
        Kind kind;
        std::vector<std::uint8_t> bytes;
    };

    std::vector<Frame> feed(const std::uint8_t* data, std::size_t size);
    std::vector<Frame> feed(const std::vector<std::uint8_t>& data) { return feed(data.data(), data.size()); }

    // Bytes of an unfinished request are held (or an overlong one is being skipped).
    bool isPending() const { return depth > 0; }

private:
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
};

} // namespace Norvik
