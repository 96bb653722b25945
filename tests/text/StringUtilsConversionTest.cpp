#include "utils/text/StringUtils.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

using namespace Norvik::Utils::StringUtils;

namespace {

std::string bytes(std::initializer_list<unsigned char> values)
{
    return std::string(values.begin(), values.end());
}

// The C library's own decoding of one byte, as an independent reading of the code page.
std::wstring iconvDecode(const char* codePage, unsigned char byte)
{
    iconv_t cd = iconv_open("WCHAR_T", codePage);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return L"?";
    }
    char in[1] = {static_cast<char>(byte)};
    wchar_t out[4] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1;
    size_t outLeft = sizeof out;
    const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1)) {
        return L"?";
    }
    return std::wstring(out, (sizeof out - outLeft) / sizeof(wchar_t));
}

} // namespace

TEST(CodePages, CyrillicWordInBothCodePages)
{
    EXPECT_EQ(toNarrow(L"Привет", Cp1251), bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}));
    EXPECT_EQ(toNarrow(L"Привет", Cp866), bytes({0x8F, 0xE0, 0xA8, 0xA2, 0xA5, 0xE2}));
    EXPECT_EQ(toWide(bytes({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}), Cp1251), L"Привет");
    EXPECT_EQ(toWide(bytes({0x8F, 0xE0, 0xA8, 0xA2, 0xA5, 0xE2}), Cp866), L"Привет");
}

TEST(CodePages, MissingCharacterBecomesSpace)
{
    EXPECT_EQ(toNarrow(L"a€b", Cp866), "a b");
    EXPECT_EQ(toNarrow(L"€", Cp1251), bytes({0x88}));
    EXPECT_EQ(toNarrow(L"x\u4E2Dy", Cp1251), "x y");
    EXPECT_EQ(toNarrow(L"", Cp866), "");
    EXPECT_EQ(toWide("", Cp1251), L"");
}

TEST(CodePages, EveryByteMatchesTheCLibraryAndRoundTrips)
{
    for (int value = 0; value <= 0xFF; ++value) {
        const auto byte = static_cast<unsigned char>(value);
        const std::string narrow(1, static_cast<char>(byte));
        SCOPED_TRACE(value);

        const std::wstring dos = toWide(narrow, Cp866);
        EXPECT_EQ(dos, iconvDecode("CP866", byte));
        EXPECT_EQ(toNarrow(dos, Cp866), narrow);

        const std::wstring windows = toWide(narrow, Cp1251);
        if (value == 0x98) {
            // Undefined in the code page: read as U+0000, which writes back as the byte 0.
            EXPECT_EQ(windows, std::wstring(1, L'\0'));
            EXPECT_EQ(toNarrow(windows, Cp1251), std::string(1, '\0'));
        } else {
            EXPECT_EQ(windows, iconvDecode("CP1251", byte));
            EXPECT_EQ(toNarrow(windows, Cp1251), narrow);
        }
    }
}

TEST(Utf8, CyrillicRoundTrip)
{
    const std::string utf8 = toNarrow(L"Не удалось", Utf8);
    EXPECT_EQ(utf8, reinterpret_cast<const char*>(u8"Не удалось"));
    EXPECT_EQ(toWide(utf8, Utf8), L"Не удалось");
}

TEST(Utf8, ByteOrderMarkSkippedOnlyBeforeMoreText)
{
    EXPECT_EQ(toWide(bytes({0xEF, 0xBB, 0xBF, 0x61, 0x62}), Utf8), L"ab");
    EXPECT_EQ(toWide(bytes({0xEF, 0xBB, 0xBF}), Utf8), std::wstring(1, wchar_t(0xFEFF)));
    EXPECT_EQ(toWide(bytes({0x61, 0xEF, 0xBB, 0xBF, 0x62}), Utf8), std::wstring(L"a\uFEFFb"));
}

TEST(Utf8, InvalidInputStopsTheConversion)
{
    EXPECT_EQ(toWide(bytes({0x61, 0x62, 0xFF, 0x63}), Utf8), L"ab");
    EXPECT_EQ(toWide(bytes({0x61, 0xE2, 0x82}), Utf8), L"a");
    EXPECT_EQ(toWide(bytes({0x61, 0xC0, 0xAF, 0x62}), Utf8), L"a");

    const std::wstring loneHigh = L"ab" + std::wstring(1, static_cast<wchar_t>(0xD800)) + L"cd";
    EXPECT_EQ(toNarrow(loneHigh, Utf8), "ab");

    const std::wstring loneLow = std::wstring(1, static_cast<wchar_t>(0xDC00)) + L"x";
    EXPECT_EQ(toNarrow(loneLow, Utf8), "");
}

TEST(Utf8, CodePointsAboveTheBasicPlaneStayWhole)
{
    const std::string grinning = bytes({0xF0, 0x9F, 0x98, 0x80});
    std::wstring wide;
    if (sizeof(wchar_t) == 2) {
        wide = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    } else {
        wide = std::wstring(1, static_cast<wchar_t>(0x1F600));
    }
    EXPECT_EQ(toWide("a" + grinning + "b", Utf8), L"a" + wide + L"b");
    EXPECT_EQ(toNarrow(L"a" + wide + L"b", Utf8), "a" + grinning + "b");
}
