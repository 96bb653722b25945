// I/O-port lamp types against the simulated chip, through the exports called in this process.

#include "tests/driver/Chip.h"
#include "tests/driver/LampExports.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

namespace {

// The chip's log of unlocking the Super I/O chip and selecting its GPIO device.
const std::string UnlockAndSelectGpio = "W1 2E=87 W1 2E=1 W1 2E=55 W1 2E=55 W1 2E=7 W1 2F=7";

// The log of setting bits of index registers that read 0, register by register.
template <std::size_t N>
std::string setBits(const std::pair<unsigned, unsigned> (&steps)[N])
{
    std::string log;
    char step[48];
    for (auto [index, bits] : steps) {
        std::snprintf(step, sizeof step, " W1 2E=%X R1 2F=0 W1 2E=%X W1 2F=%X", index, index, bits);
        log += step;
    }
    return log;
}

class IoPortLampTest : public ::testing::Test {
protected:
    DriverTest::Chip chip;
    DriverTest::LampExports lamp;
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
    const std::pair<unsigned, unsigned> steps[] = {{0x27, 0x80}, {0xC2, 0x80}, {0xCA, 0x80}, {0xD8, 0x08},
                                                   {0xD7, 0x08}, {0x29, 0x10}, {0xC4, 0x10}, {0xCC, 0x10}};
    EXPECT_EQ(UnlockAndSelectGpio + setBits(steps) + " R1 A09=0 W1 A09=8 R1 A04=0 W1 A04=10 R1 A02=0 W1 A02=80",
              chip.log());
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
    const std::pair<unsigned, unsigned> steps[] = {
        {0x25, 0x05}, {0x26, 0x08}, {0x27, 0xC0}, {0x28, 0x01}, {0x29, 0x42}, {0xC0, 0x05}, {0xC8, 0x05}, {0xC1, 0x08},
        {0xC9, 0x08}, {0xC2, 0xC0}, {0xCA, 0xC0}, {0xC3, 0x01}, {0xCB, 0x01}, {0xC4, 0x42}, {0xCC, 0x42}};
    EXPECT_EQ(UnlockAndSelectGpio + setBits(steps), chip.log());
    EXPECT_EQ(0x5A, chip.readByte(0xA00));
    EXPECT_EQ(0x00, chip.readByte(0xA03));
}

TEST_F(IoPortLampTest, LampType1InitWritesItsDwordRegistersInTurn)
{
    chip.setDword(0x580, 0x00000011);
    chip.setDword(0x584, 0xFFFFFFFF);
    chip.setDword(0x588, 0x00800000);
    EXPECT_TRUE(lamp.InitBrillLamp(1, 0));
    EXPECT_EQ(UnlockAndSelectGpio + " R4 580=11 W4 580=400011 W4 580=C00011 W4 580=1C00011" +
                  " R4 584=FFFFFFFF W4 584=FFBFFFFF W4 584=FF3FFFFF W4 584=FE3FFFFF",
              chip.log());
    EXPECT_EQ(0x00800000u, chip.readDword(0x588)) << "the lamp keeps its state";
}

TEST_F(IoPortLampTest, LampType2InitSetsRegisterCFBitByBit)
{
    EXPECT_TRUE(lamp.InitBrillLamp(2, 0));
    EXPECT_EQ(UnlockAndSelectGpio + " W1 2E=CF R1 2F=0 W1 2E=CF W1 2F=1 W1 2E=CF W1 2F=3 W1 2E=CF W1 2F=7", chip.log());
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
