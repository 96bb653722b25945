// I/O-port lamp types against the simulated chip, through the exports in a process of their own.

#include "tests/driver/DriverTestSupport.h"
#include "portaccess/simulated/LampSimState.h"

#include <gtest/gtest.h>

using DriverTest::lampCall;
using LampSim::Access;

namespace {

class IoPortLampTest : public ::testing::Test {
protected:
    IoPortLampTest() : chip(dir.file("chip.state")) {}

    std::string call(const std::vector<std::string>& commands)
    {
        return lampCall(DriverTest::libraryPath(), commands, {{"LAMPSIM_STATE", chip.path()}});
    }

    // Expected accesses, written out as the chip sees them.
    void w(std::uint16_t port, std::uint32_t value, std::uint8_t width = 1)
    {
        expected.push_back({Access::Write, width, port, value});
    }
    void r(std::uint16_t port, std::uint32_t value, std::uint8_t width = 1)
    {
        expected.push_back({Access::Read, width, port, value});
    }
    void unlockAndSelectGpio()
    {
        for (std::uint8_t key : {0x87, 0x01, 0x55, 0x55})
            w(0x2E, key);
        w(0x2E, 0x07);
        w(0x2F, 0x07);
    }
    void setBits(std::uint8_t index, std::uint8_t was, std::uint8_t bits)
    {
        w(0x2E, index);
        r(0x2F, was);
        w(0x2E, index);
        w(0x2F, static_cast<std::uint8_t>(was | bits));
    }
    void checkAccesses()
    {
        const auto actual = chip.accesses();
        std::string text;
        for (const Access& a : actual)
            text += a.toString() + "\n";
        EXPECT_EQ(expected, actual) << text;
    }

    DriverTest::TempDir dir;
    LampSim::StateFile chip;
    std::vector<Access> expected;
};

TEST_F(IoPortLampTest, LampType6InitProgramsThePinsAndTurnsEverythingOff)
{
    for (std::uint16_t port : {0xA02, 0xA04, 0xA09})
        chip.setByte(port, 0x00); // all lit, other bits low
    EXPECT_EQ("init=true\n", call({"init", "6", "0"}));
    unlockAndSelectGpio();
    const std::pair<std::uint8_t, std::uint8_t> steps[] = {{0x27, 0x80}, {0xC2, 0x80}, {0xCA, 0x80}, {0xD8, 0x08},
                                                           {0xD7, 0x08}, {0x29, 0x10}, {0xC4, 0x10}, {0xCC, 0x10}};
    for (auto [index, bits] : steps)
        setBits(index, 0x00, bits);
    r(0xA09, 0x00);
    w(0xA09, 0x08);
    r(0xA04, 0x00);
    w(0xA04, 0x10);
    r(0xA02, 0x00);
    w(0xA02, 0x80);
    checkAccesses();
    EXPECT_FALSE(chip.locked()) << "left unlocked until the close";
    EXPECT_EQ(0x80, chip.configRegister(7, 0xC2));
}

TEST_F(IoPortLampTest, LampType7InitTurnsItsOwnOutputsOff)
{
    chip.setByte(0xA00, 0x00);
    chip.setByte(0xA02, 0x00);
    EXPECT_EQ("init=true\n", call({"init", "7", "0"}));
    EXPECT_EQ(0x04, chip.readByte(0xA00));
    EXPECT_EQ(0xC0, chip.readByte(0xA02));
    const auto log = chip.accesses();
    ASSERT_GE(log.size(), 6u);
    const std::vector<Access> tail(log.end() - 6, log.end());
    expected = {{Access::Read, 1, 0xA00, 0x00},  {Access::Write, 1, 0xA00, 0x04}, {Access::Read, 1, 0xA02, 0x00},
                {Access::Write, 1, 0xA02, 0x40}, {Access::Read, 1, 0xA02, 0x40},  {Access::Write, 1, 0xA02, 0xC0}};
    EXPECT_EQ(expected, tail);
}

TEST_F(IoPortLampTest, LampType0InitSetsItsRegistersAndLeavesTheOutputs)
{
    chip.setByte(0xA00, 0x5A);
    chip.setByte(0xA03, 0x00);
    EXPECT_EQ("init=true\n", call({"init", "0", "0"}));
    unlockAndSelectGpio();
    const std::pair<std::uint8_t, std::uint8_t> steps[] = {
        {0x25, 0x05}, {0x26, 0x08}, {0x27, 0xC0}, {0x28, 0x01}, {0x29, 0x42}, {0xC0, 0x05}, {0xC8, 0x05}, {0xC1, 0x08},
        {0xC9, 0x08}, {0xC2, 0xC0}, {0xCA, 0xC0}, {0xC3, 0x01}, {0xCB, 0x01}, {0xC4, 0x42}, {0xCC, 0x42}};
    for (auto [index, bits] : steps)
        setBits(index, 0x00, bits);
    checkAccesses();
    EXPECT_EQ(0x5A, chip.readByte(0xA00));
    EXPECT_EQ(0x00, chip.readByte(0xA03));
}

TEST_F(IoPortLampTest, LampType1InitWritesItsDwordRegistersInTurn)
{
    chip.setDword(0x580, 0x00000011);
    chip.setDword(0x584, 0xFFFFFFFF);
    chip.setDword(0x588, 0x00800000);
    EXPECT_EQ("init=true\n", call({"init", "1", "0"}));
    unlockAndSelectGpio();
    r(0x580, 0x00000011, 4);
    w(0x580, 0x00400011, 4);
    w(0x580, 0x00C00011, 4);
    w(0x580, 0x01C00011, 4);
    r(0x584, 0xFFFFFFFF, 4);
    w(0x584, 0xFFBFFFFF, 4);
    w(0x584, 0xFF3FFFFF, 4);
    w(0x584, 0xFE3FFFFF, 4);
    checkAccesses();
    EXPECT_EQ(0x00800000u, chip.readDword(0x588)) << "the lamp keeps its state";
}

TEST_F(IoPortLampTest, LampType2InitSetsRegisterCFBitByBit)
{
    EXPECT_EQ("init=true\n", call({"init", "2", "0"}));
    unlockAndSelectGpio();
    w(0x2E, 0xCF);
    r(0x2F, 0x00);
    for (std::uint8_t value : {0x01, 0x03, 0x07}) {
        w(0x2E, 0xCF);
        w(0x2F, value);
    }
    checkAccesses();
    EXPECT_EQ(0x07, chip.configRegister(7, 0xCF));
}

TEST_F(IoPortLampTest, ColoursReadAndWriteTheirOwnBitOnly)
{
    call({"init", "6", "0"});
    chip.clearLog();
    call({"init", "6", "0", "red-on", "red-off"});
    const auto log = chip.accesses();
    ASSERT_GE(log.size(), 4u);
    expected = {{Access::Read, 1, 0xA09, 0xFF},
                {Access::Write, 1, 0xA09, 0xF7},
                {Access::Read, 1, 0xA09, 0xF7},
                {Access::Write, 1, 0xA09, 0xFF}};
    EXPECT_EQ(expected, std::vector<Access>(log.end() - 4, log.end()));

    chip.setByte(0xA02, 0x15);
    call({"init", "7", "0"});
    EXPECT_EQ(0xD5, chip.readByte(0xA02)) << "green and blue off share 0xA02, other bits kept";
    call({"init", "7", "0", "green-on", "blue-on", "red-on"});
    EXPECT_EQ(0x15, chip.readByte(0xA02));
    EXPECT_EQ(0x00, chip.readByte(0xA00) & 0x04);
}

TEST_F(IoPortLampTest, LampType1SwitchesBitsOfTheDwordRegister)
{
    chip.setDword(0x588, 0);
    call({"init", "1", "0", "green-on"});
    EXPECT_EQ(0x00800000u, chip.readDword(0x588));
    call({"init", "1", "0", "red-on", "blue-on", "green-off"});
    EXPECT_EQ(0x01400000u, chip.readDword(0x588));
    const auto log = chip.accesses();
    EXPECT_EQ((Access{Access::Write, 4, 0x588, 0x01400000}), log.back());
}

TEST_F(IoPortLampTest, CloseLocksWithTwoWritesAndColoursStillSwitch)
{
    DriverTest::ChildProcess child({DriverTest::binDir() + "/lampcall", DriverTest::libraryPath(), "init", "6", "0",
                                    "pause", "close", "pause", "red-on"},
                                   {{"LAMPSIM_STATE", chip.path()}});
    EXPECT_EQ("init=true", child.readLine());
    EXPECT_EQ("paused", child.readLine());
    chip.clearLog();
    child.write("\n");
    EXPECT_EQ("closed", child.readLine());
    EXPECT_EQ("paused", child.readLine());
    expected = {{Access::Write, 1, 0x2E, 0x02}, {Access::Write, 1, 0x2F, 0x02}};
    EXPECT_EQ(expected, chip.accesses());
    EXPECT_TRUE(chip.locked());
    child.write("\n");
    child.closeInput();
    EXPECT_EQ(0, child.wait());
    EXPECT_EQ(0xF7, chip.readByte(0xA09)) << "red on after the close";
}

TEST_F(IoPortLampTest, OutOfRangeTypesAndMissingColoursDoNothing)
{
    EXPECT_EQ("init=false\nred-on\nclosed\n", call({"init", "9", "0", "red-on", "close"}));
    EXPECT_EQ("init=false\ngreen-on\n", call({"init", "-1", "0", "green-on"}));
    EXPECT_EQ(0u, chip.accessCount());
    call({"init", "6", "0"});
    chip.clearLog();
    call({"init", "6", "0", "yellow-on", "yellow-off"});
    const auto afterInit = chip.accessCount();
    chip.clearLog();
    call({"init", "6", "0"});
    EXPECT_EQ(afterInit, chip.accessCount()) << "yellow touched a port";
}

TEST_F(IoPortLampTest, ColourBeforeAnyInitialisationChangesNothing)
{
    call({"red-on", "green-on", "blue-on", "close"});
    EXPECT_EQ(0u, chip.accessCount());
    EXPECT_EQ(0xFF, chip.readByte(0xA03));
}

} // namespace
