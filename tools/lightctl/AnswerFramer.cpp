#include "tools/lightctl/AnswerFramer.h"

#include <cstdint>

namespace Norvik::Tools {

AnswerFramer::State AnswerFramer::add(const std::string& bytes)
{
    for (const char c : bytes) {
        if (current != State::Incomplete)
            break;
        if (!started) {
            if (JsonScanner::isBlankByte(static_cast<std::uint8_t>(c)))
                continue;
            if (c != '{') {
                current = State::Malformed;
                break;
            }
            started = true;
        }
        text += c;
        if (!scanner.inPlainText(static_cast<std::uint8_t>(c)))
            continue;
        if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            current = State::Complete;
        }
    }
    return current;
}

} // namespace Norvik::Tools
