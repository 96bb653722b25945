#include "utils/text/Exception.h"

#include <gtest/gtest.h>

#include <string>

using Norvik::Utils::Exception;

TEST(Exception, CarriesCodeMessageAndUtf8Text)
{
    const Exception e(-1, L"Can't parse Json");
    EXPECT_EQ(e.getCode(), -1);
    EXPECT_EQ(e.getMessage(), L"Can't parse Json");
    EXPECT_STREQ(e.what(), "Can't parse Json");
}

TEST(Exception, CyrillicTextIsTwoBytesPerLetter)
{
    const Exception e(-2, L"Не удалось выполнить инициализацию устройства");
    // 41 letters and 4 spaces.
    EXPECT_EQ(std::string(e.what()).size(), 41u * 2 + 4);
    EXPECT_STREQ(e.what(), reinterpret_cast<const char*>(u8"Не удалось выполнить инициализацию устройства"));
}

TEST(Exception, EmptyOrUnconvertibleMessageNamesTheCode)
{
    EXPECT_STREQ(Exception(7, L"").what(), "Exception 7");
    const std::wstring lone = std::wstring(1, static_cast<wchar_t>(0xD800)) + L"tail";
    const Exception e(-3, lone);
    EXPECT_STREQ(e.what(), "Exception -3");
    EXPECT_EQ(e.getMessage(), lone);
}

TEST(Exception, CopiesOwnTheirText)
{
    auto* original = new Exception(4, L"сбой");
    const Exception copy(*original);
    delete original;
    EXPECT_EQ(copy.getCode(), 4);
    EXPECT_EQ(copy.getMessage(), L"сбой");
    EXPECT_STREQ(copy.what(), reinterpret_cast<const char*>(u8"сбой"));

    try {
        throw Exception(9, L"thrown");
    } catch (const std::exception& caught) {
        EXPECT_STREQ(caught.what(), "thrown");
    }
}
