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

constexpr std::size_t maxMethodLength = 16;
constexpr std::size_t maxRequestLineLength = 8 * 1024;

enum class LineMatch { Possible, Matches, Impossible };

// "METHOD target HTTP/d.d" up to its line end, as browsers and HTTP libraries send it; Possible
// while the line read so far may still become one.
LineMatch matchHttpRequestLine(const std::vector<std::uint8_t>& line)
{
    static const char version[] = "HTTP/";
    std::size_t i = 0;
    while (i < line.size() && line[i] >= 'A' && line[i] <= 'Z')
        ++i;
    if (i == 0 || i > maxMethodLength)
        return i == 0 && line.empty() ? LineMatch::Possible : LineMatch::Impossible;
    if (i == line.size())
        return LineMatch::Possible;
    if (line[i++] != ' ')
        return LineMatch::Impossible;
    const std::size_t target = i;
    while (i < line.size() && line[i] > ' ' && line[i] != 0x7F)
        ++i;
    if (i == line.size())
        return line.size() > maxRequestLineLength ? LineMatch::Impossible : LineMatch::Possible;
    if (i == target || line[i++] != ' ')
        return LineMatch::Impossible;
    for (std::size_t k = 0; k < sizeof version - 1; ++k, ++i) {
        if (i == line.size())
            return LineMatch::Possible;
        if (line[i] != static_cast<std::uint8_t>(version[k]))
            return LineMatch::Impossible;
    }
    const std::size_t digits = i;
    while (i < line.size() && ((line[i] >= '0' && line[i] <= '9') || line[i] == '.'))
        ++i;
    if (i == line.size())
        return i - digits > 8 ? LineMatch::Impossible : LineMatch::Possible;
    if (i == digits || !JsonScanner::isLineEnd(line[i]) || i + 1 != line.size())
        return LineMatch::Impossible;
    return LineMatch::Matches;
}

} // namespace

std::vector<RequestFramer::Frame> RequestFramer::feed(const std::uint8_t* data, std::size_t size)
{
    std::vector<Frame> frames;
    for (std::size_t i = 0; i < size && start != Http; ++i) {
        if (start == Decided)
            takeByte(data[i], frames);
        else
            takeHttpByte(data[i], frames);
    }
    return frames;
}

std::vector<RequestFramer::Frame> RequestFramer::pause()
{
    std::vector<Frame> frames;
    if (start == MaybeHttp)
        releaseHttpLine(frames);
    // Loose text that ends inside a string or comment waits for its end, as an object would.
    if (depth == 0 && scanner.atPlainText())
        flushLooseText(frames);
    return frames;
}

// Until the first line has shown whether it is an HTTP request line, it is held back: a "{" in
// its target must not pass for a request.
void RequestFramer::takeHttpByte(std::uint8_t byte, std::vector<Frame>& frames)
{
    if (start == Blank) {
        if (JsonScanner::isBlankByte(byte) || byte < 'A' || byte > 'Z') {
            start = Decided;
            takeByte(byte, frames);
            return;
        }
        start = MaybeHttp;
    }
    firstLine.push_back(byte);
    switch (matchHttpRequestLine(firstLine)) {
    case LineMatch::Possible:
        return;
    case LineMatch::Matches:
        start = Http;
        frames.push_back({Frame::HttpRequest, std::move(firstLine)});
        firstLine.clear();
        return;
    case LineMatch::Impossible:
        releaseHttpLine(frames);
        return;
    }
}

void RequestFramer::releaseHttpLine(std::vector<Frame>& frames)
{
    start = Decided;
    std::vector<std::uint8_t> held;
    held.swap(firstLine);
    for (const std::uint8_t byte : held)
        takeByte(byte, frames);
}

void RequestFramer::takeByte(std::uint8_t byte, std::vector<Frame>& frames)
{
    if (depth > 0)
        takeObjectByte(byte, frames);
    else
        takeLooseByte(byte, frames);
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
        // A line of text outside any object is complete at its end (a comment's end counts too).
        if (JsonScanner::isLineEnd(byte) && scanner.atPlainText())
            flushLooseText(frames);
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
