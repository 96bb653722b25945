#if !defined(_WIN32)
// What serial lamps do with a pseudo-terminal that the port link directory names as a COM port:
// its line settings, its lock, its loss, the port names; lampcall in a process of its own.

#include "tests/driver/DriverTestSupport.h"
#include "lampdriver/PosixLineSettings.h"
#include "lampdriver/SerialPort.h"

#include <gtest/gtest.h>

#include <termios.h>

using DriverTest::Coil0Off;
using DriverTest::Coil2On;
using DriverTest::hex;

namespace {

class PosixSerialLampTest : public ::testing::Test {
protected:
    PosixSerialLampTest() { ports.link(pty.slavePath(), "com7"); }

    TestSupport::Environment env() const { return {{"BRILLLAMP_PORTS", ports.path()}}; }
    std::string call(const std::vector<std::string>& commands) { return DriverTest::lampCall(commands, env()); }
    // lampcall running COMMANDS, which end in a pause; its result lines up to the pause are LINES.
    std::unique_ptr<TestSupport::ChildProcess> start(std::vector<std::string> commands,
                                                     const std::vector<std::string>& lines)
    {
        commands.insert(commands.begin(), {TestSupport::binDir() + "/lampcall", DriverTest::libraryPath()});
        auto child = std::make_unique<TestSupport::ChildProcess>(commands, env());
        for (const std::string& line : lines)
            EXPECT_EQ(line, child->readLine());
        return child;
    }
    termios lineSettings() const
    {
        termios settings{};
        ::tcgetattr(pty.slaveFd(), &settings);
        return settings;
    }

    TestSupport::TempDir ports;
    DriverTest::Pty pty;
};

TEST_F(PosixSerialLampTest, LampType4LeavesTheLineSettingsAsTheyAre)
{
    termios before = lineSettings();
    before.c_oflag |= OPOST | ONLCR;
    before.c_cflag |= PARODD; // a pty drops PARENB by itself
    before.c_iflag |= INPCK;
    ::cfsetospeed(&before, B1200);
    ASSERT_EQ(0, ::tcsetattr(pty.slaveFd(), TCSANOW, &before));
    auto child = start({"init", "4", "7", "red-on", "pause"}, {"init=true", "red-on", "paused"});
    const termios after = lineSettings();
    EXPECT_EQ(before.c_iflag, after.c_iflag);
    EXPECT_EQ(before.c_oflag, after.c_oflag);
    EXPECT_EQ(before.c_cflag, after.c_cflag);
    EXPECT_EQ(before.c_lflag, after.c_lflag);
    // Output processing stays on, yet the state byte (0xF0 to 0xF7) passes it unchanged.
    EXPECT_EQ("F2", hex(pty.readRest()));
}

TEST_F(PosixSerialLampTest, LampType3SetsTheLineAndKeepsTheParityKind)
{
    termios before = lineSettings();
    before.c_cflag |= PARODD | CSTOPB;
    before.c_iflag |= INPCK;
    before.c_oflag |= OPOST | ONLCR;
    before.c_lflag |= ECHO | ICANON;
    ::cfsetispeed(&before, B115200);
    ::cfsetospeed(&before, B115200);
    ASSERT_EQ(0, ::tcsetattr(pty.slaveFd(), TCSANOW, &before));
    auto child = start({"init", "3", "7", "pause"}, {"init=true", "paused"});
    const termios after = lineSettings();
    EXPECT_TRUE(after.c_cflag & PARODD);
    EXPECT_FALSE(after.c_iflag & INPCK);
    EXPECT_EQ(static_cast<tcflag_t>(CS8), after.c_cflag & CSIZE);
    EXPECT_FALSE(after.c_cflag & CSTOPB);
    EXPECT_FALSE(after.c_oflag & OPOST);
    EXPECT_FALSE(after.c_lflag & (ECHO | ICANON));
    EXPECT_EQ(static_cast<speed_t>(B9600), ::cfgetospeed(&after));
    EXPECT_TRUE(pty.readRest().empty()) << "nothing is sent on open";
}

// A pty cannot hold a parity setting (it forces PARENB off), so the even-parity case is
// checked on the settings themselves.
TEST(LampLineSettings, EvenParityStaysWhileItsCheckingGoes)
{
    termios settings{};
    settings.c_cflag = PARENB | CS7 | CSTOPB;
    settings.c_iflag = INPCK | ICRNL;
    ::cfsetospeed(&settings, B115200);
    BrillLamp::lampLineSettings(settings);
    EXPECT_TRUE(settings.c_cflag & PARENB);
    EXPECT_FALSE(settings.c_cflag & PARODD);
    EXPECT_FALSE(settings.c_iflag & (INPCK | ICRNL));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), settings.c_cflag & CSIZE);
    EXPECT_FALSE(settings.c_cflag & CSTOPB);
    EXPECT_EQ(static_cast<speed_t>(B9600), ::cfgetospeed(&settings));
}

TEST_F(PosixSerialLampTest, APortOpenForOneTypeCannotBeOpenedAgain)
{
    EXPECT_EQ("init=true\ninit=false\ninit=false\n", call({"init", "3", "7", "init", "5", "7", "init", "4", "7"}));
    auto holder = start({"init", "5", "7", "pause"}, {"init=true", "paused"});
    EXPECT_EQ("init=false\n", call({"init", "3", "7"})) << "another process got the port";
    holder->write("\n");
    holder->closeInput();
    EXPECT_EQ(0, holder->wait());
    EXPECT_EQ("init=true\n", call({"init", "3", "7"})) << "released with its holder";
}

TEST_F(PosixSerialLampTest, AFailedWriteDoesNotStopTheNextCommand)
{
    DriverTest::Pty replacement;
    ports.link(replacement.slavePath(), "com8");
    auto child = start({"init", "3", "7", "pause", "red-on", "green-on", "close", "init", "3", "8", "blue-on"},
                       {"init=true", "paused"});
    pty.closeMaster(); // the device goes away: writes on the port fail from now on
    child->write("\n");
    child->closeInput();
    EXPECT_EQ(0, child->wait());
    EXPECT_EQ("red-on\ngreen-on\nclosed\ninit=true\nblue-on\n", child->unread());
    EXPECT_EQ(hex(Coil2On), hex(replacement.readRest()));
}

TEST_F(PosixSerialLampTest, PortNumbersMapToTheirLinks)
{
    for (const char* number : {"0", "9", "10", "-1"}) {
        SCOPED_TRACE(number);
        ports.link(pty.slavePath(), std::string("com") + number);
        EXPECT_EQ("init=true\nred-off\n", call({"init", "3", number, "red-off"}));
        EXPECT_EQ(hex(Coil0Off), hex(pty.readRest()));
    }
    EXPECT_EQ("init=false\n", call({"init", "3", "11"})) << "no link, no device";
}

TEST(SerialPortName, ShortFormBelowTenElseDeviceNamespace)
{
    EXPECT_EQ("COM0", BrillLamp::serialPortName(0));
    EXPECT_EQ("COM9", BrillLamp::serialPortName(9));
    EXPECT_EQ("\\\\.\\COM10", BrillLamp::serialPortName(10));
    EXPECT_EQ("\\\\.\\COM-1", BrillLamp::serialPortName(-1));
    EXPECT_EQ("\\\\.\\COM-2147483648", BrillLamp::serialPortName(-2147483647 - 1));
}

} // namespace
#endif
