#pragma once

#include <string>

namespace Norvik {

// Standard output of the light service: one event per line, written whole and flushed, so lines
// of concurrent connections never interleave. Lines are given in UTF-8 and written in the console
// encoding of the log's console appender (code page 866 on Windows).
class Console {
public:
    static void writeLine(const std::string& line);
};

} // namespace Norvik
