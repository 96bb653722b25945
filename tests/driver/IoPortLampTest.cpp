// I/O-port lamp types against the simulated chip, through the exports called in this process.

#include "tests/driver/Chip.h"
#include "tests/driver/LampExports.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

using LampSim::Access;

namespace {

class IoPortLampTest : public ::testing::Test {
protected:
    // Expected accesses, written out as the chip's log writes them.
    void add(Access::Kind kind, std::uint16_t port, std::uint32_t value, std::uint8_t width)
    {
        expected += (expected.empty() ? "" : " ") + Access{kind, width, port, value}.toString();
    }
    void w(std::uint16_t port, std::uint32_t value, std::uint8_t width = 1) { add(Access::Write, port, value, width); }
    void r(std::uint16_t port, std::uint32_t value, std::uint8_t width = 1) { add(Access::Read, port, value, width); }
    void unlockAndSelectGpio()
    {
        for (std::uint8_t key : {0x87, 0x01, 0x55, 0x55})
            w(0x2E, key);
        w(0x2E, 0x07);
        w(0x2F, 0x07);
    }
    template <std::size_t N>
    void setBits(const std::pair<std::uint8_t, std::uint8_t> (&steps)[N]) // each register from 0
    {
        for (auto [index, bits] : steps) {
            w(0x2E, index);
            r(0x2F, 0x00);
            w(0x2E, index);
            w(0x2F, bits);
        }
    }

    DriverTest::Chip chip;
    DriverTest::LampExports lamp;
    std::string expected;
};

// Wants the driver as the process loaded it: ctest runs each case alone, and this one comes first.
TEST_F(IoPortLampTest, ColourBeforeAnyInitialisationChangesNothing)
{
    lamp.RedOpenBrillLamp();
    lamp.GreenOpenBrillLamp();
    lamp.BlueOpenBrillLamp();
    lamp.CloseConnectBrillLamp();
    EXPECT_EQ("", chip.log());
    EXPECT_EQ(0xFF, chip.readByte(0xA03));
}

TEST_F(IoPortLampTest, LampType6InitProgramsThePinsAndTurnsEverythingOff)
{
    for (std::uint16_t port : {0xA02, 0xA04, 0xA09})
        chip.setByte(port, 0x00); // all lit, other bits low
    EXPECT_TRUE(lamp.InitBrillLamp(6, 0));
    unlockAndSelectGpio();
    setBits({{0x27, 0x80},
             {0xC2, 0x80},
             {0xCA, 0x80},
             {0xD8, 0x08},
             {0xD7, 0x08},
             {0x29, 0x10},
             {0xC4, 0x10},
             {0xCC, 0x10}});
    r(0xA09, 0x00);
    w(0xA09, 0x08);
    r(0xA04, 0x00);
    w(0xA04, 0x10);
    r(0xA02, 0x00);
    w(0xA02, 0x80);
    EXPECT_EQ(expected, chip.log());
    EXPECT_FALSE(chip.locked()) << "left unlocked until the close";
    EXPECT_EQ(0x80, chip.configRegister(7, 0xC2));
}

TEST_F(IoPortLampTest, LampType7InitTurnsItsOwnOutputsOff)
{
    chip.setByte(0xA00, 0x00);
    chip.setByte(0xA02, 0x00);
    EXPECT_TRUE(lamp.InitBrillLamp(7, 0));
    EXPECT_EQ(0x04, chip.readByte(0xA00));
    EXPECT_EQ(0xC0, chip.readByte(0xA02));
    EXPECT_EQ("R1 A00=0 W1 A00=4 R1 A02=0 W1 A02=40 R1 A02=40 W1 A02=C0", chip.log(chip.accessCount() - 6));
}

TEST_F(IoPortLampTest, LampType0InitSetsItsRegistersAndLeavesTheOutputs)
{
    chip.setByte(0xA00, 0x5A);
    chip.setByte(0xA03, 0x00);
    EXPECT_TRUE(lamp.InitBrillLamp(0, 0));
    unlockAndSelectGpio();
    setBits({{0x25, 0x05},
             {0x26, 0x08},
             {0x27, 0xC0},
             {0x28, 0x01},
             {0x29, 0x42},
             {0xC0, 0x05},
             {0xC8, 0x05},
             {0xC1, 0x08},
             {0xC9, 0x08},
             {0xC2, 0xC0},
             {0xCA, 0xC0},
             {0xC3, 0x01},
             {0xCB, 0x01},
             {0xC4, 0x42},
             {0xCC, 0x42}});
    EXPECT_EQ(expected, chip.log());
    EXPECT_EQ(0x5A, chip.readByte(0xA00));
    EXPECT_EQ(0x00, chip.readByte(0xA03));
}

TEST_F(IoPortLampTest, LampType1InitWritesItsDwordRegistersInTurn)
{
    chip.setDword(0x580, 0x00000011);
    chip.setDword(0x584, 0xFFFFFFFF);
    chip.setDword(0x588, 0x00800000);
    EXPECT_TRUE(lamp.InitBrillLamp(1, 0));
    unlockAndSelectGpio();
    r(0x580, 0x00000011, 4);
    w(0x580, 0x00400011, 4);
    w(0x580, 0x00C00011, 4);
    w(0x580, 0x01C00011, 4);
    r(0x584, 0xFFFFFFFF, 4);
    w(0x584, 0xFFBFFFFF, 4);
    w(0x584, 0xFF3FFFFF, 4);
    w(0x584, 0xFE3FFFFF, 4);
    EXPECT_EQ(expected, chip.log());
    EXPECT_EQ(0x00800000u, chip.readDword(0x588)) << "the lamp keeps its state";
}

TEST_F(IoPortLampTest, LampType2InitSetsRegisterCFBitByBit)
{
    EXPECT_TRUE(lamp.InitBrillLamp(2, 0));
    unlockAndSelectGpio();
    w(0x2E, 0xCF);
    r(0x2F, 0x00);
    for (std::uint8_t value : {0x01, 0x03, 0x07}) {
        w(0x2E, 0xCF);
        w(0x2F, value);
    }
    EXPECT_EQ(expected, chip.log());
    EXPECT_EQ(0x07, chip.configRegister(7, 0xCF));
}

TEST_F(IoPortLampTest, ColoursReadAndWriteTheirOwnBitOnly)
{
    ASSERT_TRUE(lamp.InitBrillLamp(6, 0));
    EXPECT_EQ("R1 A09=FF W1 A09=F7", chip.during(lamp.RedOpenBrillLamp));
    EXPECT_EQ("R1 A09=F7 W1 A09=FF", chip.during(lamp.RedCloseBrillLamp));

    chip.setByte(0xA02, 0x15);
    ASSERT_TRUE(lamp.InitBrillLamp(7, 0));
    EXPECT_EQ(0xD5, chip.readByte(0xA02)) << "green and blue off share 0xA02, other bits kept";
    lamp.GreenOpenBrillLamp();
    lamp.BlueOpenBrillLamp();
    lamp.RedOpenBrillLamp();
    EXPECT_EQ(0x15, chip.readByte(0xA02));
    EXPECT_EQ(0x00, chip.readByte(0xA00) & 0x04);
}

TEST_F(IoPortLampTest, LampType1SwitchesBitsOfTheDwordRegister)
{
    ASSERT_TRUE(lamp.InitBrillLamp(1, 0));
    chip.setDword(0x588, 0);
    EXPECT_EQ("R4 588=0 W4 588=800000", chip.during(lamp.GreenOpenBrillLamp));
    EXPECT_EQ("R4 588=800000 W4 588=0", chip.during(lamp.GreenCloseBrillLamp));
    lamp.GreenOpenBrillLamp();
    lamp.RedOpenBrillLamp();
    lamp.BlueOpenBrillLamp();
    EXPECT_EQ("R4 588=1C00000 W4 588=1400000", chip.during(lamp.GreenCloseBrillLamp));
    EXPECT_EQ(0x01400000u, chip.readDword(0x588));
}

TEST_F(IoPortLampTest, CloseLocksWithTwoWritesAndColoursStillSwitch)
{
    ASSERT_TRUE(lamp.InitBrillLamp(6, 0));
    EXPECT_EQ("W1 2E=2 W1 2F=2", chip.during(lamp.CloseConnectBrillLamp));
    EXPECT_TRUE(chip.locked());
    lamp.RedOpenBrillLamp();
    EXPECT_EQ(0xF7, chip.readByte(0xA09)) << "red on after the close";
}

TEST_F(IoPortLampTest, OutOfRangeTypesAndMissingColoursDoNothing)
{
    EXPECT_FALSE(lamp.InitBrillLamp(9, 0));
    lamp.RedOpenBrillLamp();
    lamp.CloseConnectBrillLamp();
    EXPECT_FALSE(lamp.InitBrillLamp(-1, 0));
    const auto start = std::chrono::steady_clock::now();
    lamp.GreenOpenBrillLamp();
    lamp.BlueCloseBrillLamp();
    lamp.YellowOpenBrillLamp();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140)) << "each still waits 50 ms";
    EXPECT_EQ("", chip.log());
    ASSERT_TRUE(lamp.InitBrillLamp(6, 0));
    EXPECT_EQ("", chip.during([&] {
        lamp.YellowOpenBrillLamp();
        lamp.YellowCloseBrillLamp();
    })) << "yellow touched a port";
}

} // namespace
