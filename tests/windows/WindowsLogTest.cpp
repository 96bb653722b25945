#if defined(_WIN32)
// The Windows log environment: the data folder under AppData, the default configuration file
// written with CR LF, archives written through zlib's wide-name open, the console's code page.
#include "utils/logging/LogCompressor.h"
#include "utils/logging/LogEnvironment.h"
#include "utils/logging/Logger.h"
#include "utils/text/StringUtils.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace LE = Norvik::Utils::LogEnvironment;
namespace SU = Norvik::Utils::StringUtils;

namespace {

std::string readAll(const std::wstring& path)
{
    std::string text;
    if (std::FILE* file = LE::openFile(path, "rb")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, got);
        std::fclose(file);
    }
    return text;
}

std::wstring scratchFolder(const wchar_t* name)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + name;
    LE::createDirectories(folder);
    return folder;
}

} // namespace

// The session's Wine prefix is fresh: the file is the one this program's logger wrote.
TEST(WindowsLogEnvironment, DefaultConfigurationIsWrittenUnderAppDataWithCrLf)
{
    SetEnvironmentVariableW(L"DRV_LOG_CONFIG_FILE", nullptr);
    wchar_t appData[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData)));
    const std::wstring data = std::wstring(appData) + L"\\NORVIK\\tessarodriver";

    EXPECT_EQ(Norvik::getDataDirectory(), data);
    EXPECT_TRUE(LE::isDirectory(Norvik::getLogDirectory()));
    EXPECT_EQ(Norvik::getConfigPath(), data + L"\\tessarodriver_log.properties");
    Norvik::Logger::instance().error("DL", L"проверка журнала");

    const std::string written = readAll(Norvik::getConfigPath());
    std::string expected;
    for (char c : Norvik::getDefaultConfiguration())
        expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(written, expected);
    const std::string log = readAll(Norvik::getLogDirectory() + L"\\tdriver.log");
    EXPECT_NE(log.find("ERROR [DL] проверка журнала"), std::string::npos) << log;
}

// The folder and file names are not representable in the ANSI code page, so only the wide
// open reaches them.
TEST(WindowsLogEnvironment, RolledFileIsCompressedUnderAWideName)
{
    const std::wstring folder = scratchFolder(L"журнал-проверка");
    const std::wstring source = folder + L"\\tdriver.log.2026-01-02";
    std::string content;
    for (int i = 0; i < 2000; ++i)
        content += "строка " + std::to_string(i) + "\r\n";
    if (std::FILE* file = LE::openFile(source, "wb")) {
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
    }
    ASSERT_TRUE(LE::fileExists(source));

    Norvik::Utils::LogCompressor(source).run();

    EXPECT_FALSE(LE::fileExists(source));
    gzFile archive = gzopen_w((source + L".gz").c_str(), "rb");
    ASSERT_NE(archive, nullptr);
    std::string unpacked(content.size() + 16, '\0');
    const int got = gzread(archive, &unpacked[0], static_cast<unsigned>(unpacked.size()));
    gzclose(archive);
    ASSERT_GE(got, 0);
    unpacked.resize(static_cast<std::size_t>(got));
    EXPECT_EQ(unpacked, content);
    const auto entries = LE::listDirectory(folder);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, L"tdriver.log.2026-01-02.gz");
    LE::removeFile(source + L".gz");
}

// The configuration file is written, read and handed to log4cpp under a folder name that no
// single-byte code page holds.
TEST(WindowsLogEnvironment, ConfigurationFileOpensUnderAWideName)
{
    const std::wstring folder = scratchFolder(L"настройки-αβγ");
    const std::wstring path = folder + L"\\журнал.properties";
    std::ofstream output;
    LE::openOutput(output, path);
    output << "x=1";
    output.close();
    EXPECT_EQ(readAll(path), "x=1");
    std::ifstream input;
    LE::openInput(input, path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()), "x=1");
    std::ifstream narrow(LE::nativePath(path));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(narrow), std::istreambuf_iterator<char>()), "x=1");
    input.close();
    narrow.close();
    LE::removeFile(path);
}

TEST(WindowsLogEnvironment, ConsoleTextIsCodePage866)
{
    EXPECT_EQ(LE::toConsoleText("Привет, lamp"), SU::toNarrow(L"Привет, lamp", SU::Cp866));
    EXPECT_EQ(LE::toConsoleText("Привет"), std::string("\x8F\xE0\xA8\xA2\xA5\xE2"));
}
#endif
