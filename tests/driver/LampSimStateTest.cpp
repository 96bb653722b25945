#include "portaccess/simulated/LampSimState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using LampSim::Access;
using LampSim::StateFile;

namespace {

class LampSimStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = ::testing::TempDir() + "lampsim-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".state";
        ::unlink(path.c_str());
        chip = std::make_unique<StateFile>(path);
    }
    void TearDown() override
    {
        chip.reset();
        ::unlink(path.c_str());
    }
    void write(std::uint16_t port, std::uint8_t value) { chip->portWrite(1, port, value); }
    std::uint8_t read(std::uint16_t port) { return static_cast<std::uint8_t>(chip->portRead(1, port)); }
    void key(std::initializer_list<std::uint8_t> bytes)
    {
        for (std::uint8_t byte : bytes)
            write(0x2E, byte);
    }
    void unlock() { key({0x87, 0x01, 0x55, 0x55}); }
    void configWrite(std::uint8_t index, std::uint8_t value)
    {
        write(0x2E, index);
        write(0x2F, value);
    }
    std::uint8_t configRead(std::uint8_t index)
    {
        write(0x2E, index);
        return read(0x2F);
    }

    std::string path;
    std::unique_ptr<StateFile> chip;
};

TEST_F(LampSimStateTest, PowersOnLockedWithOutputsHigh)
{
    EXPECT_TRUE(chip->locked());
    for (std::uint16_t port = 0xA00; port <= 0xA09; ++port)
        EXPECT_EQ(0xFF, chip->readByte(port)) << std::hex << port;
    EXPECT_EQ(0u, chip->readDword(0x588));
    EXPECT_EQ(0u, chip->accessCount());
}

TEST_F(LampSimStateTest, UnlocksOnlyAfterTheWholeKeyInOrder)
{
    key({0x87, 0x01, 0x55, 0x87, 0x01, 0x55}); // broken after three bytes
    EXPECT_TRUE(chip->locked());
    write(0x2E, 0x55);
    EXPECT_FALSE(chip->locked()) << "a restarted key counts from its first byte";

    chip->reset();
    key({0x01, 0x87, 0x55, 0x55});
    EXPECT_TRUE(chip->locked());
}

TEST_F(LampSimStateTest, ConfigurationRegistersAnswerOnlyWhileUnlocked)
{
    configWrite(0x27, 0x80); // ignored: locked
    EXPECT_EQ(0xFF, read(0x2F));
    unlock();
    EXPECT_EQ(0x87, configRead(0x20));
    EXPECT_EQ(0x00, configRead(0x27));
    write(0x2F, 0x80);
    EXPECT_EQ(0x80, configRead(0x27));
    configWrite(0x02, 0x02);
    EXPECT_TRUE(chip->locked());
    EXPECT_EQ(0xFF, configRead(0x27));
    EXPECT_EQ(0x80, chip->configRegister(7, 0x27)) << "locking keeps the registers";
}

TEST_F(LampSimStateTest, DeviceRegistersBelongToTheSelectedLogicalDevice)
{
    unlock();
    configWrite(0x07, 0x07);
    configWrite(0xC2, 0x80);
    configWrite(0x29, 0x10);
    configWrite(0x07, 0x04);
    EXPECT_EQ(0x04, chip->logicalDevice());
    EXPECT_EQ(0x00, configRead(0xC2));
    EXPECT_EQ(0x10, configRead(0x29)) << "global registers are shared";
    EXPECT_EQ(0x80, chip->configRegister(7, 0xC2));
}

TEST_F(LampSimStateTest, OutputsAndDwordsIgnoreTheLock)
{
    write(0xA09, 0xF7);
    EXPECT_EQ(0xF7, read(0xA09));
    chip->portWrite(4, 0x588, 0x00800000);
    EXPECT_EQ(0x00800000u, chip->portRead(4, 0x588));
    EXPECT_EQ(0xFFFFFFFFu, chip->portRead(4, 0x58C)) << "nothing answers there";
    EXPECT_EQ(0xFF, read(0x588)) << "the dword registers take dword accesses only";
}

TEST_F(LampSimStateTest, RecordsEveryAccessInOrderAndBoundsTheLog)
{
    write(0xA02, 0x3F);
    read(0xA02);
    chip->portWrite(4, 0x584, 0x12345678);
    const std::vector<Access> expected = {
        {Access::Write, 1, 0xA02, 0x3F}, {Access::Read, 1, 0xA02, 0x3F}, {Access::Write, 4, 0x584, 0x12345678}};
    EXPECT_EQ(expected, chip->accesses());
    EXPECT_EQ("W4 584=12345678", chip->accesses().back().toString());

    const std::size_t extra = StateFile::logCapacity() + 5;
    for (std::size_t i = 0; i < extra; ++i)
        write(0xA00, static_cast<std::uint8_t>(i));
    const auto log = chip->accesses();
    ASSERT_EQ(StateFile::logCapacity(), log.size());
    EXPECT_EQ(static_cast<std::uint8_t>(extra - 1), log.back().value);
    EXPECT_EQ(static_cast<std::uint8_t>(extra - StateFile::logCapacity()), log.front().value);
    EXPECT_EQ(3 + extra, chip->accessCount());
    chip->clearLog();
    EXPECT_TRUE(chip->accesses().empty());
}

TEST_F(LampSimStateTest, AnotherProcessSeesAndChangesTheSameChip)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StateFile other(path);
        other.portWrite(1, 0xA04, 0xEF);
        ::_exit(other.readByte(0xA04) == 0xEF ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(0xEF, chip->readByte(0xA04));
    EXPECT_EQ(1u, chip->accessCount());
    StateFile again(path); // an existing state file is kept as it is
    EXPECT_EQ(0xEF, again.readByte(0xA04));
}

// Every access counts once however many processes and threads reach the chip at the same time.
TEST_F(LampSimStateTest, AccessesOfProcessesAndThreadsExcludeEachOther)
{
    // Two threads in each of two processes write for the same stretch of time; the count of
    // accesses each made is the number the chip must have recorded.
    auto hammer = [this](std::chrono::steady_clock::time_point until) {
        StateFile own(path);
        std::atomic<std::uint64_t> made{0};
        auto writes = [&] {
            std::uint64_t count = 0;
            while (std::chrono::steady_clock::now() < until) {
                own.portWrite(1, 0xA00, static_cast<std::uint32_t>(count));
                ++count;
            }
            made += count;
        };
        std::thread second(writes);
        writes();
        second.join();
        return made.load();
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    int report[2];
    ASSERT_EQ(0, ::pipe(report));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const std::uint64_t made = hammer(until);
        ::_exit(::write(report[1], &made, sizeof made) == sizeof made ? 0 : 1);
    }
    const std::uint64_t made = hammer(until);
    std::uint64_t childMade = 0;
    ASSERT_EQ(static_cast<ssize_t>(sizeof childMade), ::read(report[0], &childMade, sizeof childMade));
    ::close(report[0]);
    ::close(report[1]);
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GT(childMade, 0u);
    EXPECT_EQ(made + childMade, chip->accessCount());
}

// A program that ended inside an access leaves its mark in the file; the next one goes on.
TEST_F(LampSimStateTest, ALockAbandonedInTheFileIsTakenOver)
{
    chip.reset();
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4166); // the access lock
        file.write("\x2A\x00", 2);
    }
    chip = std::make_unique<StateFile>(path);
    const auto begin = std::chrono::steady_clock::now();
    write(0xA04, 0xEF);
    const auto waited = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(0xEF, chip->readByte(0xA04));
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::seconds(10));
    const auto again = std::chrono::steady_clock::now();
    write(0xA04, 0xFF);
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(100)) << "the lock is free again";
}

TEST_F(LampSimStateTest, ReplacesAFileThatIsNoStateFile)
{
    chip.reset();
    ASSERT_TRUE(std::ofstream(path) << "not a chip");
    chip = std::make_unique<StateFile>(path);
    EXPECT_TRUE(chip->locked());
    EXPECT_EQ(0xFF, chip->readByte(0xA09));
}

TEST(LampSimPath, ComesFromTheEnvironment)
{
    ::setenv("LAMPSIM_STATE", "/tmp/elsewhere.state", 1);
    EXPECT_EQ("/tmp/elsewhere.state", StateFile::defaultPath());
    ::unsetenv("LAMPSIM_STATE");
    EXPECT_EQ("/tmp/lampsim.state", StateFile::defaultPath());
}

} // namespace
