#include "utils/text/StringUtils.h"

#include <utf8.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <vector>

namespace Norvik::Utils::StringUtils {

namespace {

using Table = char16_t[128];

// clang-format off
// Bytes 0x80..0xFF of the DOS Cyrillic code page.
constexpr Table cp866Table = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

// Bytes 0x80..0xFF of Windows-1251; 0x98 is undefined there and stands for U+0000.
constexpr Table cp1251Table = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};
// clang-format on

const Table* tableOf(int charset)
{
    switch (charset) {
    case Cp866:
        return &cp866Table;
    case Cp1251:
        return &cp1251Table;
    default:
        return nullptr;
    }
}

constexpr bool wideIsUtf16 = sizeof(wchar_t) == 2;

bool isHighSurrogate(std::uint32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(std::uint32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::string tableToNarrow(const std::wstring& text, const Table& table)
{
    std::string result;
    result.reserve(text.size());
    for (wchar_t ch : text) {
        if (static_cast<std::uint32_t>(ch) < 0x80) {
            result += static_cast<char>(ch);
            continue;
        }
        char byte = ' ';
        for (int index = 0; index < 128; ++index) {
            if (static_cast<std::uint32_t>(table[index]) == static_cast<std::uint32_t>(ch)) {
                byte = static_cast<char>(0x80 + index);
                break;
            }
        }
        result += byte;
    }
    return result;
}

std::wstring tableToWide(const std::string& text, const Table& table)
{
    std::wstring result;
    result.reserve(text.size());
    for (char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        result += byte < 0x80 ? static_cast<wchar_t>(byte) : static_cast<wchar_t>(table[byte - 0x80]);
    }
    return result;
}

std::string utf8ToNarrow(const std::wstring& text)
{
    std::string result;
    try {
        for (std::size_t i = 0; i < text.size(); ++i) {
            auto codePoint = static_cast<std::uint32_t>(text[i]);
            // A UTF-16 pair is one character; a lone half stops the conversion below.
            if (wideIsUtf16 && isHighSurrogate(codePoint) && i + 1 < text.size() &&
                isLowSurrogate(static_cast<std::uint32_t>(text[i + 1]))) {
                codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
                ++i;
            }
            utf8::append(codePoint, std::back_inserter(result));
        }
    } catch (const utf8::exception&) {
    }
    return result;
}

std::wstring utf8ToWide(const std::string& text)
{
    auto it = text.begin();
    if (text.size() > 3 && static_cast<unsigned char>(text[0]) == 0xEF && static_cast<unsigned char>(text[1]) == 0xBB &&
        static_cast<unsigned char>(text[2]) == 0xBF) {
        it += 3;
    }
    std::wstring result;
    try {
        while (it != text.end()) {
            const std::uint32_t codePoint = utf8::next(it, text.end());
            if (wideIsUtf16 && codePoint > 0xFFFF) {
                const std::uint32_t offset = codePoint - 0x10000;
                result += static_cast<wchar_t>(0xD800 + (offset >> 10));
                result += static_cast<wchar_t>(0xDC00 + (offset & 0x3FF));
            } else {
                result += static_cast<wchar_t>(codePoint);
            }
        }
    } catch (const utf8::exception&) {
    }
    return result;
}

int printInto(char* buffer, std::size_t size, const char* fmt, va_list args)
{
    return std::vsnprintf(buffer, size, fmt, args);
}

int printInto(wchar_t* buffer, std::size_t size, const wchar_t* fmt, va_list args)
{
    return std::vswprintf(buffer, size, fmt, args);
}

// Past this size a failing format is taken as persistent rather than as a short buffer.
constexpr std::size_t formatLimitBytes = 64u << 20;

template <typename Char>
std::basic_string<Char> formatInto(const Char* fmt, va_list args)
{
    const std::size_t limit = formatLimitBytes / sizeof(Char);
    std::vector<Char> buffer(256);
    while (true) {
        va_list copy;
        va_copy(copy, args);
        errno = 0;
        const int written = printInto(buffer.data(), buffer.size(), fmt, copy);
        va_end(copy);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size()) {
            return std::basic_string<Char>(buffer.data(), static_cast<std::size_t>(written));
        }
        if (written < 0 && errno == EILSEQ) {
            return {};
        }
        std::size_t next = buffer.size() * 2;
        if (written >= 0 && static_cast<std::size_t>(written) + 1 > next) {
            next = static_cast<std::size_t>(written) + 1;
        }
        if (buffer.size() >= limit || next > limit) {
            return {};
        }
        buffer.assign(next, Char());
    }
}

} // namespace

std::string toNarrow(const std::wstring& text, int charset)
{
    if (text.empty()) {
        return {};
    }
    if (charset == Utf8) {
        return utf8ToNarrow(text);
    }
    const Table* table = tableOf(charset);
    return table ? tableToNarrow(text, *table) : std::string();
}

std::wstring toWide(const std::string& text, int charset)
{
    if (text.empty()) {
        return {};
    }
    if (charset == Utf8) {
        return utf8ToWide(text);
    }
    const Table* table = tableOf(charset);
    return table ? tableToWide(text, *table) : std::wstring();
}

std::vector<std::wstring> split(const std::wstring& text, const std::wstring& delimiters, bool keepEmpty)
{
    const SymbolSet<wchar_t> set(delimiters);
    std::vector<std::wstring> pieces;
    std::wstring piece;
    for (wchar_t ch : text) {
        if (!set.contains(ch)) {
            piece += ch;
            continue;
        }
        if (keepEmpty || !piece.empty()) {
            pieces.push_back(piece);
        }
        piece.clear();
    }
    if (keepEmpty || !piece.empty()) {
        pieces.push_back(piece);
    }
    return pieces;
}

std::wstring trim(const std::wstring& text, bool left, bool right, const std::wstring& symbols)
{
    const SymbolSet<wchar_t> set(symbols);
    std::size_t begin = 0;
    std::size_t end = text.size();
    if (left) {
        while (begin < end && set.contains(text[begin])) {
            ++begin;
        }
    }
    if (right) {
        while (end > begin && set.contains(text[end - 1])) {
            --end;
        }
    }
    return text.substr(begin, end - begin);
}

std::wstring formatV(const wchar_t* fmt, va_list args)
{
    return formatInto(fmt, args);
}

std::string formatV(const char* fmt, va_list args)
{
    return formatInto(fmt, args);
}

std::wstring format(const wchar_t* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::wstring result = formatV(fmt, args);
    va_end(args);
    return result;
}

std::string format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string result = formatV(fmt, args);
    va_end(args);
    return result;
}

} // namespace Norvik::Utils::StringUtils
