#pragma once

#include <string>

namespace Norvik {

// Standard output of the light service: one event per line, written whole and flushed, so lines
// of concurrent connections never interleave.
class Console {
public:
    static void writeLine(const std::string& line);
};

} // namespace Norvik
