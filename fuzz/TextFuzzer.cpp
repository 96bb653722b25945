// Round trips of the text conversions for every charset, and format/split/trim on arbitrary text.

#include "utils/text/StringUtils.h"

#include <utf8.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

namespace SU = Norvik::Utils::StringUtils;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool startsWithByteOrderMark(const std::string& text)
{
    return text.size() > 3 && text.compare(0, 3, "\xEF\xBB\xBF") == 0;
}

void checkUtf8(const std::string& bytes)
{
    const std::string body = startsWithByteOrderMark(bytes) ? bytes.substr(3) : bytes;
    // Decoding stops at the first invalid sequence: what comes back is exactly the valid prefix.
    const std::string valid(body.begin(), utf8::find_invalid(body.begin(), body.end()));
    const std::wstring wide = SU::toWide(bytes, SU::Utf8);
    require(SU::toNarrow(wide, SU::Utf8) == valid);
    require(wide.size() <= valid.size());
}

void checkCodePages(const std::string& bytes)
{
    // DOS Cyrillic maps all 256 bytes one to one.
    const std::wstring dos = SU::toWide(bytes, SU::Cp866);
    require(dos.size() == bytes.size());
    require(SU::toNarrow(dos, SU::Cp866) == bytes);

    // Windows-1251 leaves 0x98 undefined; it comes back as NUL and everything else as it was.
    const std::wstring windows = SU::toWide(bytes, SU::Cp1251);
    require(windows.size() == bytes.size());
    std::string expected = bytes;
    for (char& byte : expected)
        if (static_cast<unsigned char>(byte) == 0x98)
            byte = '\0';
    require(SU::toNarrow(windows, SU::Cp1251) == expected);

    // Any wide text narrows to one byte per character; what the page cannot hold becomes a blank.
    const std::wstring decoded = SU::toWide(bytes, SU::Utf8);
    for (int charset : {SU::Cp866, SU::Cp1251}) {
        const std::string narrow = SU::toNarrow(decoded, charset);
        require(narrow.size() == decoded.size());
        const std::wstring back = SU::toWide(narrow, charset);
        for (std::size_t i = 0; i < decoded.size(); ++i)
            require(back[i] == decoded[i] || (narrow[i] == ' ' && decoded[i] != L' ') ||
                    (charset == SU::Cp1251 && decoded[i] == L'\0'));
    }
}

void checkFormat(const std::wstring& left, const std::wstring& right, int number)
{
    if (left.find(L'\0') != std::wstring::npos || right.find(L'\0') != std::wstring::npos)
        return;
    const std::wstring joined = SU::format(L"%ls - %ls", left.c_str(), right.c_str());
    // A character the C library cannot print gives an empty result rather than a cut one.
    require(joined.empty() || joined == left + L" - " + right);
    require(SU::format(L"%d", number) == std::to_wstring(number));
    const std::string narrow = SU::toNarrow(left, SU::Utf8);
    require(SU::format("%s|%d", narrow.c_str(), number) == narrow + "|" + std::to_string(number));
}

void checkSplitAndTrim(const std::wstring& text, const std::wstring& symbols)
{
    std::size_t delimiters = 0;
    std::wstring kept;
    for (wchar_t ch : text) {
        if (symbols.find(ch) != std::wstring::npos)
            ++delimiters;
        else
            kept += ch;
    }
    const std::vector<std::wstring> pieces = SU::split(text, symbols, true);
    require(pieces.size() == delimiters + 1);
    std::wstring rejoined;
    for (const std::wstring& piece : pieces)
        rejoined += piece;
    require(rejoined == kept);
    for (const std::wstring& piece : SU::split(text, symbols, false))
        require(!piece.empty());

    const std::wstring trimmed = SU::trim(text, true, true, symbols);
    require(text.find(trimmed) != std::wstring::npos);
    if (!trimmed.empty()) {
        require(symbols.find(trimmed.front()) == std::wstring::npos);
        require(symbols.find(trimmed.back()) == std::wstring::npos);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    checkUtf8(bytes);
    checkCodePages(bytes);

    const std::wstring wide = SU::toWide(bytes, SU::Utf8);
    const std::size_t half = wide.size() / 2;
    int number = 0;
    for (std::size_t i = 0; i < size && i < sizeof number; ++i)
        number = static_cast<int>(static_cast<unsigned>(number) << 8 | data[i]);
    checkFormat(wide.substr(0, half), wide.substr(half), number);
    checkSplitAndTrim(wide.substr(half), wide.substr(0, half < 4 ? half : 4));
    return 0;
}
