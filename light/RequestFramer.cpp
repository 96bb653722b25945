#include "light/RequestFramer.h"

namespace Norvik {

namespace {

constexpr std::uint8_t openBrace = '{';
constexpr std::uint8_t closeBrace = '}';
constexpr std::uint8_t slash = '/';
constexpr std::uint8_t star = '*';
constexpr std::uint8_t byteOrderMark[] = {0xEF, 0xBB, 0xBF};

bool startsAt(const std::vector<std::uint8_t>& text, std::size_t at, std::uint8_t first, std::uint8_t second)
{
    return at + 1 < text.size() && text[at] == first && text[at + 1] == second;
}

// Blank bytes, byte-order marks and comments only.
bool isBlank(const std::vector<std::uint8_t>& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t byte = text[i];
        if (JsonScanner::isBlankByte(byte))
            continue;
        if (byte == byteOrderMark[0] && i + 2 < text.size() && text[i + 1] == byteOrderMark[1] &&
            text[i + 2] == byteOrderMark[2]) {
            i += 2;
            continue;
        }
        if (startsAt(text, i, slash, star)) {
            for (i += 2; i < text.size() && !startsAt(text, i, star, slash); ++i) {}
            ++i;
            continue;
        }
        if (startsAt(text, i, slash, slash)) {
            while (i + 1 < text.size() && !JsonScanner::isLineEnd(text[i + 1]))
                ++i;
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
    // Loose text that ends inside a string or comment waits for its end, as an object would.
    if (depth == 0 && scanner.atPlainText())
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
    if (!scanner.inPlainText(byte))
        return;
    if (byte == openBrace) {
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
    // A JSON string cannot hold a line break: outside any object, one left open ends with its line
    // instead of swallowing the requests that follow.
    if (scanner.inString() && JsonScanner::isLineEnd(byte))
        scanner.endString();
    const bool plain = scanner.inPlainText(byte);
    if (plain && byte == openBrace) {
        buffer.clear();
        buffer.push_back(byte);
        depth = 1;
        skipping = false;
    } else if (plain && byte == closeBrace) {
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
