#include "utils/loader/NotLoadedException.h"
#include "utils/loader/Path.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using Norvik::Utils::path;

namespace {

std::string joined(const path& p)
{
    std::string text;
    for (const std::string& component : p.getComponents()) {
        text += "[" + component + "]";
    }
    return text;
}

std::string joinError(const path& left, const path& right)
{
    try {
        (void)(left / right);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "joined";
}

} // namespace

TEST(Path, ParsesAndPrints)
{
    struct Case {
        const char* text;
        path::Type type;
        const char* components;
        bool absolute;
        const char* printed;
    };
    const Case cases[] = {
        {"a//b\\", path::Windows, "[a][b]", false, "a\\b"},
        {"\\\\?\\C:\\x\\lib.dll", path::Windows, "[C:][x][lib.dll]", true, "C:\\x\\lib.dll"},
        {"z:", path::Windows, "[z:]", true, "z:"},
        {"1:\\x", path::Windows, "[1:][x]", false, "1:\\x"},
        {"\xC4:\\x", path::Windows, "[\xC4:][x]", false, "\xC4:\\x"},
        {"\\\\server\\share\\lib.dll", path::Windows, "[server][share][lib.dll]", false, "server\\share\\lib.dll"},
        {"/usr//lib/", path::Posix, "[usr][lib]", true, "/usr/lib"},
        {"a\\b/c", path::Posix, "[a\\b][c]", false, "a\\b/c"},
        {"C:/x", path::Posix, "[C:][x]", false, "C:/x"},
        {"/", path::Posix, "", true, "/"},
        {"", path::Posix, "", false, ""},
    };
    for (const Case& c : cases) {
        const path p(c.text, c.type);
        EXPECT_EQ(joined(p), c.components) << c.text;
        EXPECT_EQ(p.isAbsolute(), c.absolute) << c.text;
        EXPECT_EQ(p.str(), c.printed) << c.text;
    }
    EXPECT_EQ(path("usr/lib", path::Posix).str(path::Windows), "usr\\lib");
}

TEST(Path, LongPathPrefixOnlyBeyond260)
{
    // Length sum: (2 + 1) + (n + 1).
    const std::string at260 = "C:\\" + std::string(256, 'a');
    const std::string at261 = "C:\\" + std::string(257, 'a');
    EXPECT_EQ(path(at260, path::Windows).str(), at260);
    EXPECT_EQ(path(at261, path::Windows).str(), "\\\\?\\" + at261);
    EXPECT_EQ(path(std::string(300, 'r'), path::Windows).str(), std::string(300, 'r'));
    EXPECT_EQ(path(at261, path::Windows).str(path::Posix), "/C:/" + std::string(257, 'a'));
}

TEST(Path, JoinsRelativePathsOfTheSameType)
{
    const path lib = path("C:\\dir", path::Windows) / path("sub/lib.dll", path::Windows);
    EXPECT_EQ(lib.str(), "C:\\dir\\sub\\lib.dll");
    EXPECT_TRUE(lib.isAbsolute());
    EXPECT_EQ((path() / path("x.dll", path::Windows)).str(), "x.dll");
    EXPECT_EQ(joinError(path("C:\\a", path::Windows), path("D:\\b", path::Windows)),
              "path::operator/(): expected a relative path!");
    EXPECT_EQ(joinError(path("C:\\a", path::Windows), path("b", path::Posix)),
              "path::operator/(): expected a path of the same type!");
}

TEST(Path, ParentAndFileName)
{
    const path lib("C:\\dir\\sub\\lib.dll", path::Windows);
    EXPECT_EQ(lib.parentPath().str(), "C:\\dir\\sub");
    EXPECT_TRUE(lib.parentPath().isAbsolute());
    EXPECT_EQ(path("lib.dll", path::Windows).parentPath().str(), "");
    EXPECT_EQ(path("/lib.so", path::Posix).parentPath().str(), "/");
    EXPECT_EQ(path().parentPath().str(), "..");
    const path rootParent = path("/", path::Posix).parentPath();
    EXPECT_TRUE(rootParent.isAbsolute() && rootParent.getComponents().empty());

    EXPECT_EQ(lib.fileName(), "lib.dll");
    EXPECT_EQ(lib.fileName(false), "lib");
    EXPECT_EQ(path("logs/tdriver.log.2026-01-01.gz", path::Posix).fileName(false), "tdriver.log.2026-01-01");
    EXPECT_EQ(path("bin/README", path::Posix).fileName(false), "README");
    EXPECT_EQ(path().fileName(), "");
}

TEST(NotLoadedException, MessageInUtf8)
{
    const Norvik::Utils::NotLoadedException error(L"C:\\Программы\\BrillLamp.dll", L"нет файла");
    EXPECT_STREQ(error.what(), u8"Library loading is failed C:\\Программы\\BrillLamp.dll (нет файла)");
}
