#include "utils/text/StringUtils.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

using namespace Norvik::Utils::StringUtils;

using Pieces = std::vector<std::wstring>;

TEST(Split, KeepEmptyDecidesAboutEmptyPieces)
{
    EXPECT_EQ(split(L"a;;b", L";", true), (Pieces{L"a", L"", L"b"}));
    EXPECT_EQ(split(L"a;;b", L";", false), (Pieces{L"a", L"b"}));
    EXPECT_EQ(split(L";a;", L";", true), (Pieces{L"", L"a", L""}));
    EXPECT_EQ(split(L"", L";", true), (Pieces{L""}));
    EXPECT_EQ(split(L"", L";", false), Pieces{});
    EXPECT_EQ(split(L"путь;к, файлу", L"; ,", false), (Pieces{L"путь", L"к", L"файлу"}));
    EXPECT_EQ(split(L"abc", L"", false), (Pieces{L"abc"}));
}

TEST(Trim, SidesAreIndependent)
{
    EXPECT_EQ(trim(L"word\r\n", false, true, L"\r\n"), L"word");
    EXPECT_EQ(trim(L"\r\nword\r\n", false, true, L"\r\n"), L"\r\nword");
    EXPECT_EQ(trim(L"\r\nword\r\n", true, false, L"\r\n"), L"word\r\n");
    EXPECT_EQ(trim(L"  a b  ", true, true, L" "), L"a b");
    EXPECT_EQ(trim(L"\r\n\r", true, true, L"\r\n"), L"");
    EXPECT_EQ(trim(L"", true, true, L" "), L"");
    EXPECT_EQ(trim(L" x ", false, false, L" "), L" x ");
}

TEST(Format, ResultsLongerThanTheFirstBuffer)
{
    for (std::size_t length : {254u, 255u, 256u, 257u, 511u, 512u, 5000u}) {
        const std::wstring wide(length, L'ж');
        EXPECT_EQ(format(L"%ls", wide.c_str()), wide) << length;
        const std::string narrow(length, 'z');
        EXPECT_EQ(format("%s", narrow.c_str()), narrow) << length;
    }
    EXPECT_EQ(format(L"[%d] (%ls)", -7, L"текст"), L"[-7] (текст)");
    EXPECT_EQ(format("Exception %d", 7), "Exception 7");
}

TEST(Format, PersistentFailureEndsWithEmptyText)
{
    // Wider than the largest buffer that is tried: the doubling has to give up.
    EXPECT_EQ(format(L"%17000000d", 1), L"");
}

TEST(Format, WideArgumentsIndependentOfTheLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"C", "C.UTF-8"}) {
        if (std::setlocale(LC_ALL, locale) == nullptr) {
            continue;
        }
        SCOPED_TRACE(locale);
        EXPECT_EQ(format(L"Исключение в потоке (%ls)", L"сбой"), L"Исключение в потоке (сбой)");
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Format, EncodingErrorGivesEmptyText)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    // The "C" locale cannot write Cyrillic as narrow text.
    EXPECT_EQ(format("a %ls b", L"Привет"), "");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(SystemErrorText, KnownAndUnknownCodes)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    const std::wstring text = getSystemErrorText(ENOENT, 0);
    EXPECT_EQ(toNarrow(text, Utf8), std::strerror(ENOENT));
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), L'\n');
    EXPECT_EQ(getSystemErrorText(987654, 0), L"");
    std::setlocale(LC_ALL, saved.c_str());
}
