#include "RequestFramer.h"

namespace Norvik {

namespace {

constexpr std::uint8_t openBrace = '{';
constexpr std::uint8_t closeBrace = '}';
constexpr std::uint8_t quote = '"';
constexpr std::uint8_t backslash = '\\';
constexpr std::uint8_t slash = '/';
constexpr std::uint8_t star = '*';
constexpr std::uint8_t lineFeed = '\n';
constexpr std::uint8_t carriageReturn = '\r';
constexpr std::uint8_t byteOrderMark[] = {0xEF, 0xBB, 0xBF};

bool isBlank(const std::vector<std::uint8_t>& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t byte = text[i];
        if (byte == ' ' || byte == '\t' || byte == lineFeed || byte == carriageReturn)
            continue;
        if (byte == byteOrderMark[0] && i + 2 < text.size() && text[i + 1] == byteOrderMark[1] &&
            text[i + 2] == byteOrderMark[2]) {
            i += 2;
            continue;
        }
        return false;
    }
    return true;
}

} // namespace

std::vector<RequestFramer::Frame> RequestFramer::feed(const std::uint8_t* data, std::size_t size)
{
    std::vector<Frame> frames;
    for (std::size_t i = 0; i < size; ++i) {
        if (depth > 0)
            takeObjectByte(data[i], frames);
        else
            takeLooseByte(data[i], frames);
    }
    if (depth == 0)
        flushLooseText(frames);
    return frames;
}

void RequestFramer::store(std::uint8_t byte, std::vector<Frame>& frames)
{
    if (skipping)
        return;
    buffer.push_back(byte);
    if (buffer.size() > maxRequestSize) {
        frames.push_back({Frame::TooLong, {}});
        buffer.clear();
        buffer.shrink_to_fit();
        skipping = true;
    }
}

void RequestFramer::takeObjectByte(std::uint8_t byte, std::vector<Frame>& frames)
{
    store(byte, frames);

    switch (lexical) {
    case InString:
        if (byte == backslash)
            lexical = InEscape;
        else if (byte == quote)
            lexical = Plain;
        return;
    case InEscape:
        lexical = InString;
        return;
    case AfterSlash:
        lexical = byte == star ? InBlockComment : byte == slash ? InLineComment : Plain;
        if (lexical != Plain)
            return;
        break;
    case InBlockComment:
        if (byte == star)
            lexical = InBlockCommentStar;
        return;
    case InBlockCommentStar:
        lexical = byte == slash ? Plain : byte == star ? InBlockCommentStar : InBlockComment;
        return;
    case InLineComment:
        if (byte == lineFeed || byte == carriageReturn)
            lexical = Plain;
        return;
    case Plain:
        break;
    }

    if (byte == quote) {
        lexical = InString;
    } else if (byte == slash) {
        lexical = AfterSlash;
    } else if (byte == openBrace) {
        ++depth;
    } else if (byte == closeBrace && --depth == 0) {
        if (!skipping)
            frames.push_back({Frame::Request, std::move(buffer)});
        buffer.clear();
        skipping = false;
    }
}

void RequestFramer::takeLooseByte(std::uint8_t byte, std::vector<Frame>& frames)
{
    if (byte == openBrace) {
        buffer.clear();
        buffer.push_back(byte);
        depth = 1;
        lexical = Plain;
        skipping = false;
    } else if (byte == closeBrace) {
        buffer.clear();
        skipping = false;
    } else {
        store(byte, frames);
    }
}

void RequestFramer::flushLooseText(std::vector<Frame>& frames)
{
    if (!buffer.empty() && !isBlank(buffer))
        frames.push_back({Frame::Request, std::move(buffer)});
    buffer.clear();
    skipping = false;
}

} // namespace Norvik
