#pragma once

#include <string>

namespace Norvik {

// Standard output of the light service: one event per line, in order, never holding up the
// caller (Utils::ConsoleWriter), in the console encoding of the log's console appender (code
// page 866 on Windows). A line is shown safe for a terminal: control characters and bytes that
// are not UTF-8 escaped, cut after maxLineBytes.
class Console {
public:
    static void writeLine(const std::string& line);
    // The line as written: "\n", "\r", "\t" and "\xNN" for the other control bytes (C1 controls
    // included) and for bytes that are not UTF-8; a longer line keeps its first maxLineBytes
    // bytes and ends in "... [N bytes]", N its whole length.
    static std::string shown(const std::string& line);

    static constexpr std::size_t maxLineBytes = 1024;
};

} // namespace Norvik
