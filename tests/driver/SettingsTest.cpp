// InitAutoBrillLamp reading the lamp type and port from the settings: an INI file (Posix), the
// registry (Windows).

#include "tests/driver/Chip.h"
#include "tests/driver/LampExports.h"
#include "tests/driver/SerialLine.h"
#include "tests/driver/SettingsStore.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include "tests/driver/DriverTestSupport.h"

#include <stdlib.h>
#endif

namespace {

constexpr int Refused = -1;

class SettingsTest : public ::testing::Test {
protected:
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

    DriverTest::SettingsStore settings;
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
        settings.text("LampType", row.text);
        EXPECT_EQ(row.redPort, redPort()) << "LampType \"" << row.text << '"';
    }
}

TEST_F(SettingsTest, LampComHoldsTheBareNumber)
{
    DriverTest::SerialLine line;
    settings.text("LampType", "4");
    settings.text("LampCOM", std::to_string(line.port()));
    ASSERT_TRUE(lamp.InitAutoBrillLamp());
    lamp.GreenOpenBrillLamp();
    EXPECT_TRUE(line.received({0xF1}));
    lamp.CloseConnectBrillLamp();
    EXPECT_TRUE(line.received({0xF0}));

    // "COMn" is not a number: it reads as port 0, which the line does not provide.
    settings.text("LampCOM", "COM" + std::to_string(line.port()));
    EXPECT_FALSE(lamp.InitAutoBrillLamp());
    lamp.GreenOpenBrillLamp();
    EXPECT_TRUE(line.silent());
}

#if defined(_WIN32)
TEST_F(SettingsTest, DwordLampTypeReadsAsLampType0)
{
    settings.number("LampType", 6);
    EXPECT_EQ(0xA03, redPort());
}

TEST_F(SettingsTest, OnlyTheDriversOwnRegistryViewCounts)
{
    DriverTest::SettingsStore other(DriverTest::SettingsStore::Other);
    other.text("LampType", "6");
    EXPECT_EQ(0xA03, redPort());
}
#else
TEST_F(SettingsTest, OnlyTheKeysSectionCountsAndNamesIgnoreCase)
{
    const std::string section = "[" + DriverTest::SettingsKey + "]\n";
    const struct {
        std::string file;
        int redPort;
    } rows[] = {{section + "LampType= 6\r\n", 0xA09},
                {section + "lamptype=6x", 0xA09},
                {"[Other]\nLampType=6\n", 0xA03},
                {section + "LampCOM=6\n", 0xA03},
                {"LampType=5\n[Other]\n" + section + "LampType=6\n[Next]\nLampType=3\n", 0xA09}};
    for (const auto& row : rows) {
        settings.file(row.file);
        EXPECT_EQ(row.redPort, redPort()) << row.file;
    }
}

// Here a port 0 can exist: the text reaches it.
TEST_F(SettingsTest, ComPortTextReachesPort0)
{
    DriverTest::TempDir ports;
    DriverTest::Pty com0;
    ports.link(com0.slavePath(), "com0");
    ::setenv("BRILLLAMP_PORTS", ports.path().c_str(), 1);
    settings.text("LampType", "4");
    settings.text("LampCOM", "COM5");
    EXPECT_EQ(0, redPort());
    EXPECT_EQ("F2", DriverTest::hex(com0.readRest()));
    lamp.CloseConnectBrillLamp();
    ::unsetenv("BRILLLAMP_PORTS");
}
#endif

} // namespace
