#pragma once

#include <string>

namespace Norvik::Utils {

// Standard output that never holds up its caller: lines go out in order on a thread of their own.
// While nobody reads the console (a stopped terminal, a full pipe) at most a bounded backlog
// waits; lines beyond it are dropped and counted, and the count is said once writing works again.
class ConsoleWriter {
public:
    // The line as it is, followed by a line end.
    static void writeLine(const std::string& line);
    // Text that brings its own line ends.
    static void write(const std::string& text);
    // Waits until what was written has gone out, unless the console has stopped taking it.
    static void flush();

    // Lines waiting at most, and their bytes at most.
    static constexpr std::size_t backlogLines = 256;
    static constexpr std::size_t backlogBytes = 256 * 1024;
};

} // namespace Norvik::Utils
