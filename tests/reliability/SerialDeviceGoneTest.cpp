// A serial lamp whose device goes away while in use, through the driver's exports: the calls
// keep returning, and once the device is back the next initialisation works.

#include "tests/driver/DriverTestSupport.h"
#include "tests/driver/LampExports.h"
#include "tests/reliability/ReliabilitySupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace Reliability {
namespace {

using DriverTest::Bytes;
constexpr int comNumber = 5;

// A pseudo-terminal the driver opens by the link's name, as a serial adapter's device; unplugged,
// its far end is gone.
class Device {
public:
    explicit Device(const std::string& link)
    {
        std::filesystem::remove(link);
        std::filesystem::create_symlink(pty.slavePath(), link);
    }
    void unplug() { pty.closeMaster(); }
    Bytes read(std::size_t count) { return pty.read(count); }

private:
    DriverTest::Pty pty;
};

class SerialDeviceGone : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("BRILLLAMP_PORTS", ports.path().c_str(), 1);
        ::setenv("LAMPSIM_STATE", ports.file("chip.state").c_str(), 1);
    }
    std::string link() const { return ports.file("com" + std::to_string(comNumber)); }
    bool init(int lampType) { return lamp.InitBrillLamp(lampType, comNumber); }
    // Returns how long the export took.
    std::chrono::milliseconds colour(const char* name)
    {
        const auto begun = std::chrono::steady_clock::now();
        lamp.action(name)();
        return elapsedSince(begun);
    }

    TempDir ports;
    const DriverTest::LampExports lamp;
};

TEST_F(SerialDeviceGone, StateByteLampKeepsAnsweringAndComesBack)
{
    auto device = std::make_unique<Device>(link());
    ASSERT_TRUE(init(4));
    colour("RedOpenBrillLamp");
    EXPECT_EQ(device->read(1), Bytes{0xF2});

    device->unplug();
    std::filesystem::remove(link());
    for (const char* call : {"RedCloseBrillLamp", "GreenOpenBrillLamp", "BlueOpenBrillLamp", "GreenCloseBrillLamp"})
        EXPECT_LT(colour(call), 1000ms) << call;
    lamp.CloseConnectBrillLamp();
    // Gone for good: the port cannot be opened.
    EXPECT_FALSE(init(4));

    device = std::make_unique<Device>(link());
    ASSERT_TRUE(init(4));
    colour("GreenOpenBrillLamp");
    EXPECT_EQ(device->read(1), Bytes{0xF1});
    lamp.CloseConnectBrillLamp();
    EXPECT_EQ(device->read(1), Bytes{0xF0});
}

TEST_F(SerialDeviceGone, RelayBoardKeepsAnsweringAndComesBack)
{
    auto device = std::make_unique<Device>(link());
    ASSERT_TRUE(init(3));
    colour("RedOpenBrillLamp");
    EXPECT_EQ(device->read(8), (Bytes{0xFE, 0x05, 0x00, 0x00, 0xFF, 0x00, 0x98, 0x35}));

    device->unplug();
    for (const char* call : {"RedCloseBrillLamp", "GreenOpenBrillLamp", "BlueOpenBrillLamp"})
        EXPECT_LT(colour(call), 1000ms) << call;

    // Back under the same name, as a re-plugged adapter would be.
    device = std::make_unique<Device>(link());
    lamp.CloseConnectBrillLamp();
    ASSERT_TRUE(init(3));
    colour("GreenOpenBrillLamp");
    EXPECT_EQ(device->read(8), (Bytes{0xFE, 0x05, 0x00, 0x01, 0xFF, 0x00, 0xC9, 0xF5}));
    lamp.CloseConnectBrillLamp();
}

} // namespace
} // namespace Reliability
