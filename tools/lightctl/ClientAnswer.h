#pragma once

#include <string>

namespace Norvik::Tools {

struct ClientAnswer {
    long long error = 0;
    std::string log; // UTF-8

    // The answer object's "error" and "log"; raises ClientFailure when it has not got them.
    static ClientAnswer parse(const std::string& text);
};

} // namespace Norvik::Tools
