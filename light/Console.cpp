#include "light/Console.h"

#include "utils/logging/ConsoleWriter.h"
#include "utils/logging/LogEnvironment.h"

#include <cstdint>
#include <cstdio>
#include <utf8.h>

namespace Norvik {

namespace {

std::string escaped(unsigned char byte)
{
    switch (byte) {
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    default: {
        char text[5];
        std::snprintf(text, sizeof text, "\\x%02X", byte);
        return text;
    }
    }
}

bool isControl(std::uint32_t code)
{
    return code < 0x20 || (code >= 0x7F && code < 0xA0);
}

} // namespace

std::string Console::shown(const std::string& line)
{
    std::size_t kept = line.size();
    if (kept > maxLineBytes) {
        kept = maxLineBytes;
        // Not inside a character: continuation bytes are 10xxxxxx.
        for (int step = 0; step < 3 && (static_cast<unsigned char>(line[kept]) & 0xC0) == 0x80; ++step) {
            --kept;
        }
    }
    std::string result;
    result.reserve(kept + 16);
    const auto end = line.begin() + static_cast<std::ptrdiff_t>(kept);
    for (auto at = line.begin(); at != end;) {
        auto next = at;
        std::uint32_t code = 0;
        try {
            code = utf8::next(next, end);
        } catch (const utf8::exception&) {
            result += escaped(static_cast<unsigned char>(*at));
            ++at;
            continue;
        }
        if (isControl(code)) {
            for (; at != next; ++at) {
                result += escaped(static_cast<unsigned char>(*at));
            }
        } else {
            result.append(at, next);
            at = next;
        }
    }
    if (kept < line.size()) {
        result += "... [" + std::to_string(line.size()) + " bytes]";
    }
    return result;
}

void Console::writeLine(const std::string& line)
{
    // In the log's console encoding: both write to the same standard output.
    Utils::ConsoleWriter::writeLine(Utils::LogEnvironment::toConsoleText(shown(line)));
}

} // namespace Norvik
