#pragma once

#include <cstdint>

namespace Norvik {

// Walks JSON text byte by byte and tells which bytes stand in plain text, outside strings and
// comments ("/* */" and "//" up to the line's end): only there do braces count, inside an object
// or between objects. Shared by the service's request framing and the client's answer framing.
class JsonScanner {
public:
    // Moves the walk past one byte; true when the byte stands in plain text.
    bool inPlainText(std::uint8_t byte)
    {
        switch (state) {
        case InString:
            if (byte == '\\')
                state = InEscape;
            else if (byte == '"')
                state = Plain;
            return false;
        case InEscape:
            state = InString;
            return false;
        case AfterSlash:
            state = byte == '*' ? InBlockComment : byte == '/' ? InLineComment : Plain;
            if (state != Plain)
                return false;
            break;
        case InBlockComment:
            if (byte == '*')
                state = InBlockCommentStar;
            return false;
        case InBlockCommentStar:
            state = byte == '/' ? Plain : byte == '*' ? InBlockCommentStar : InBlockComment;
            return false;
        case InLineComment:
            if (isLineEnd(byte))
                state = Plain;
            return false;
        case Plain:
            break;
        }

        if (byte == '"') {
            state = InString;
            return false;
        }
        if (byte == '/') {
            state = AfterSlash;
            return false;
        }
        return true;
    }

    // Nothing is open: no string, comment or slash that may start one.
    bool atPlainText() const { return state == Plain; }
    bool inString() const { return state == InString || state == InEscape; }
    // Leaves an open string, as if it had ended here.
    void endString() { state = Plain; }

    // White space between JSON values; NUL bytes count too (C clients send their terminator).
    static bool isBlankByte(std::uint8_t byte) { return byte == ' ' || byte == '\t' || isLineEnd(byte) || byte == 0; }
    static bool isLineEnd(std::uint8_t byte) { return byte == '\n' || byte == '\r'; }

private:
    enum State { Plain, InString, InEscape, AfterSlash, InBlockComment, InBlockCommentStar, InLineComment };
    State state = Plain;
};

} // namespace Norvik
