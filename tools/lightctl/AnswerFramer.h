#pragma once

#include "light/JsonScanner.h"

#include <cstddef>
#include <string>

namespace Norvik::Tools {

// Finds the end of the first JSON object in the bytes received so far. As in the service's own
// framing, braces inside strings and comments do not count: an answer's "log" text may hold any.
class AnswerFramer {
public:
    enum class State { Incomplete, Complete, Malformed };

    // Feeds more bytes; once Complete, answer() holds the object and later bytes are ignored.
    State add(const std::string& bytes);
    State state() const { return current; }
    const std::string& answer() const { return text; }

private:
    State current = State::Incomplete;
    std::string text;
    std::size_t depth = 0;
    bool started = false;
    JsonScanner scanner;
};

} // namespace Norvik::Tools
