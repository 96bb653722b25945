// InitAutoBrillLamp reading the lamp type and port from the settings: an INI file (Posix), the
// registry (Windows).

#include "tests/driver/Chip.h"
#include "tests/driver/LampExports.h"
#include "tests/driver/SerialLine.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>

#include <stdexcept>
#else
#include "tests/driver/DriverTestSupport.h"

#include <map>
#include <stdlib.h>
#endif

namespace {

const std::string SettingsKey = "SOFTWARE\\BrillDeviceSetting\\1.0\\XDeviceSetting";
constexpr int Refused = -1;

// The settings start empty where the driver in this process reads them: the key in the registry
// of the session's Wine prefix (Windows), an INI file of the test's own (Posix).
class SettingsTest : public ::testing::Test {
protected:
#if defined(_WIN32)
    SettingsTest()
    {
        removeKey();
    }
    ~SettingsTest() override
    {
        removeKey();
    }
    static void removeKey()
    {
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, SettingsKey.c_str(), KEY_WOW64_32KEY, 0);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, SettingsKey.c_str(), KEY_WOW64_64KEY, 0);
    }
    // The driver reads the registry view of its own bitness: the 32-bit view for the shipped DLL.
    static void write(const char* name, DWORD type, const void* data, std::size_t size, bool ownView = true)
    {
        const REGSAM view = (sizeof(void*) == 8) == ownView ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
        HKEY key = nullptr;
        LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, SettingsKey.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr,
                                      &key, nullptr);
        if (result == ERROR_SUCCESS) {
            result = RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
            RegCloseKey(key);
        }
        if (result != ERROR_SUCCESS)
            throw std::runtime_error("cannot write the settings, error " + std::to_string(result));
    }
    static void text(const char* name, const std::string& value)
    {
        write(name, REG_SZ, value.c_str(), value.size() + 1);
    }
#else
    SettingsTest()
    {
        ::setenv("BRILLLAMP_SETTINGS", dir.file("settings.ini").c_str(), 1);
    }
    ~SettingsTest() override
    {
        ::unsetenv("BRILLLAMP_SETTINGS");
    }
    // The key's section, written whole.
    void text(const char* name, const std::string& value)
    {
        values[name] = value;
        std::string section = "[" + SettingsKey + "]\n";
        for (const auto& entry : values)
            section += entry.first + "=" + entry.second + "\n";
        dir.write("settings.ini", section);
    }

    TestSupport::TempDir dir;
    std::map<std::string, std::string> values;
#endif
    // The I/O port that red on touches first after InitAutoBrillLamp: the lamp type reached.
    // 0 when it touches none, Refused when initialisation fails.
    int redPort()
    {
        if (!lamp.InitAutoBrillLamp())
            return Refused;
        const std::uint64_t from = chip.accessCount();
        lamp.RedOpenBrillLamp();
        const auto log = chip.accesses();
        return from < log.size() ? log[static_cast<std::size_t>(from)].port : 0;
    }

    DriverTest::Chip chip;
    DriverTest::LampExports lamp;
};

TEST_F(SettingsTest, NoSettingsMeanLampType0)
{
    ASSERT_TRUE(lamp.InitAutoBrillLamp());
    const std::string init = chip.log();
    EXPECT_NE(std::string::npos, init.find("W1 2E=25 R1 2F=")) << init;
    EXPECT_EQ(std::string::npos, init.find("A0")) << "lamp type 0 leaves the outputs as they were: " << init;
    EXPECT_EQ(0xA03, redPort());
}

TEST_F(SettingsTest, LampTypeIsReadAsAtoiReadsIt)
{
    const struct {
        const char* text;
        int redPort;
    } rows[] = {{"6", 0xA09}, {" 6", 0xA09}, {"06", 0xA09}, {"6x", 0xA09}, {"x6", 0xA03},
                {"", 0xA03},  {"7", 0xA00},  {"2", 0xA07},  {"9", Refused}};
    for (const auto& row : rows) {
        text("LampType", row.text);
        EXPECT_EQ(row.redPort, redPort()) << "LampType \"" << row.text << '"';
    }
}

TEST_F(SettingsTest, LampComHoldsTheBareNumber)
{
    DriverTest::SerialLine line;
    text("LampType", "4");
    text("LampCOM", std::to_string(line.port()));
    ASSERT_TRUE(lamp.InitAutoBrillLamp());
    lamp.GreenOpenBrillLamp();
    EXPECT_TRUE(line.received({0xF1}));
    lamp.CloseConnectBrillLamp();
    EXPECT_TRUE(line.received({0xF0}));

    // "COMn" is not a number: it reads as port 0, which the line does not provide.
    text("LampCOM", "COM" + std::to_string(line.port()));
    EXPECT_FALSE(lamp.InitAutoBrillLamp());
    lamp.GreenOpenBrillLamp();
    EXPECT_TRUE(line.silent());
}

#if defined(_WIN32)
TEST_F(SettingsTest, OnlyTextInTheDriversOwnRegistryViewCounts)
{
    const DWORD six = 6;
    write("LampType", REG_DWORD, &six, sizeof six);
    EXPECT_EQ(0xA03, redPort()) << "a number";
    write("LampType", REG_SZ, "6", 2, false);
    EXPECT_EQ(0xA03, redPort()) << "text in the other view";
}
#else
TEST_F(SettingsTest, OnlyTheKeysSectionCountsAndNamesIgnoreCase)
{
    const std::string section = "[" + SettingsKey + "]\n";
    const struct {
        std::string file;
        int redPort;
    } rows[] = {{section + "LampType= 6\r\n", 0xA09},
                {section + "lamptype=6x", 0xA09},
                {"[Other]\nLampType=6\n", 0xA03},
                {section + "LampCOM=6\n", 0xA03},
                {"LampType=5\n[Other]\n" + section + "LampType=6\n[Next]\nLampType=3\n", 0xA09}};
    for (const auto& row : rows) {
        dir.write("settings.ini", row.file);
        EXPECT_EQ(row.redPort, redPort()) << row.file;
    }
}

// Here a port 0 can exist: the text reaches it.
TEST_F(SettingsTest, ComPortTextReachesPort0)
{
    TestSupport::TempDir ports;
    DriverTest::Pty com0;
    ports.link(com0.slavePath(), "com0");
    ::setenv("BRILLLAMP_PORTS", ports.path().c_str(), 1);
    text("LampType", "4");
    text("LampCOM", "COM5");
    EXPECT_EQ(0, redPort());
    EXPECT_EQ("F2", DriverTest::hex(com0.readRest()));
    lamp.CloseConnectBrillLamp();
    ::unsetenv("BRILLLAMP_PORTS");
}
#endif

} // namespace
