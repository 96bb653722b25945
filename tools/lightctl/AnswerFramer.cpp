#include "AnswerFramer.h"

namespace Norvik::Tools {

AnswerFramer::State AnswerFramer::add(const std::string& bytes)
{
    for (const char c : bytes) {
        if (current != State::Incomplete)
            break;
        if (!started) {
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
                continue;
            if (c != '{') {
                current = State::Malformed;
                break;
            }
            started = true;
        }
        text += c;
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            current = State::Complete;
        }
    }
    return current;
}

} // namespace Norvik::Tools
