// InitAutoBrillLamp reading the lamp type and port from the settings file.

#include "tests/driver/DriverTestSupport.h"
#include "portaccess/simulated/LampSimState.h"

#include <gtest/gtest.h>

#include <unistd.h>

using DriverTest::hex;

namespace {

const std::string Section = "[SOFTWARE\\BrillDeviceSetting\\1.0\\XDeviceSetting]\n";

class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() : chip(dir.file("chip.state")) { dir.link(pty.slavePath(), "com0"); }

    // Runs InitAutoBrillLamp and a red-on; answers the lamp type that it reached.
    std::string lampTypeReached(const std::string& settings)
    {
        dir.write("settings.ini", settings);
        chip.reset();
        const std::string out = DriverTest::lampCall(DriverTest::libraryPath(), {"auto", "red-on"},
                                                     {{"LAMPSIM_STATE", chip.path()},
                                                      {"BRILLLAMP_SETTINGS", dir.file("settings.ini")},
                                                      {"BRILLLAMP_PORTS", dir.path()}});
        if (out != "auto=true\nred-on\n")
            return out;
        if (chip.readByte(0xA09) == 0xF7)
            return "6";
        if (chip.readByte(0xA03) == 0xFE)
            return "0";
        const DriverTest::Bytes frame = pty.readRest();
        return frame.empty() ? "?" : "serial " + hex(frame);
    }

    DriverTest::TempDir dir;
    DriverTest::Pty pty;
    LampSim::StateFile chip;
};

TEST_F(SettingsTest, LampTypeIsReadAsAtoiReadsIt)
{
    EXPECT_EQ("6", lampTypeReached(Section + "LampType=6\n"));
    EXPECT_EQ("6", lampTypeReached(Section + "LampType= 6\r\n"));
    EXPECT_EQ("6", lampTypeReached(Section + "LampType=06\n"));
    EXPECT_EQ("6", lampTypeReached(Section + "lamptype=6x"));
    EXPECT_EQ("0", lampTypeReached(Section + "LampType=x6\n"));
    EXPECT_EQ("0", lampTypeReached(Section + "LampType=\n"));
}

TEST_F(SettingsTest, MissingFileSectionOrValueMeansLampType0)
{
    EXPECT_EQ("0", lampTypeReached("[Other]\nLampType=6\n"));
    EXPECT_EQ("0", lampTypeReached(Section + "LampCOM=6\n"));
    EXPECT_EQ("6", lampTypeReached("LampType=5\n[Other]\n" + Section + "LampType=6\n[Next]\nLampType=3\n"));

    chip.reset();
    EXPECT_EQ("auto=true\nred-on\n",
              DriverTest::lampCall(DriverTest::libraryPath(), {"auto", "red-on"},
                                   {{"LAMPSIM_STATE", chip.path()}, {"BRILLLAMP_SETTINGS", dir.file("absent.ini")}}));
    EXPECT_EQ(0xFE, chip.readByte(0xA03)) << "no file: lamp type 0";
}

TEST_F(SettingsTest, LampComHoldsTheBareNumber)
{
    DriverTest::Pty com0;
    ::unlink(dir.file("com0").c_str());
    dir.link(com0.slavePath(), "com0");
    dir.link(pty.slavePath(), "com5");
    EXPECT_EQ("serial F2", lampTypeReached(Section + "LampType=4\nLampCOM=5\n"));
    EXPECT_TRUE(com0.readRest().empty());
    // "COM5" converts to 0.
    EXPECT_EQ("?", lampTypeReached(Section + "LampType=4\nLampCOM=COM5\n"));
    EXPECT_EQ("F2", hex(com0.readRest()));
}

} // namespace
