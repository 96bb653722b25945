#include "lampdriver/SerialLamp.h"

#include "lampdriver/SerialPort.h"

#include <cstdint>

namespace BrillLamp::SerialLamp {

namespace {

constexpr int FirstSerialType = 3;
constexpr int StateByteType = 4;

// Modbus RTU "write single coil" to unit 0xFE, CRC included: [coil][off, on].
// clang-format off
constexpr std::uint8_t CoilFrames[3][2][8] = {
    {{0xFE, 0x05, 0x00, 0x00, 0x00, 0x00, 0xD9, 0xC5}, {0xFE, 0x05, 0x00, 0x00, 0xFF, 0x00, 0x98, 0x35}},
    {{0xFE, 0x05, 0x00, 0x01, 0x00, 0x00, 0x88, 0x05}, {0xFE, 0x05, 0x00, 0x01, 0xFF, 0x00, 0xC9, 0xF5}},
    {{0xFE, 0x05, 0x00, 0x02, 0x00, 0x00, 0x78, 0x05}, {0xFE, 0x05, 0x00, 0x02, 0xFF, 0x00, 0x39, 0xF5}},
};
// clang-format on

constexpr int NoCoil = -1;
// Coil per colour (red, green, blue, yellow) of the relay boards, lamp types 3 and 5.
constexpr int Coils[2][4] = {
    {0, 1, 2, NoCoil},
    {0, 2, NoCoil, 1},
};

// Lamp type 4's state byte: colour bits under four high bits that are always set.
constexpr std::uint8_t StateIdle = 0xF0;
constexpr std::uint8_t StateBits[4] = {0x02, 0x01, 0x04, 0x00}; // red, green, blue, yellow

// Process-wide and trivially destructible: unloading the library closes no port.
PortHandle handles[3] = {InvalidPort, InvalidPort, InvalidPort};
std::uint8_t stateByte = 0;

PortHandle& handle(int lampType)
{
    return handles[lampType - FirstSerialType];
}

void send(int lampType, const std::uint8_t* bytes, std::size_t count)
{
    const PortHandle port = handle(lampType);
    if (port == InvalidPort)
        return;
    if (!writeSerialPort(port, bytes, count))
        purgeSerialInput(port);
}

void closePort(int lampType)
{
    PortHandle& port = handle(lampType);
    if (port != InvalidPort) {
        closeSerialPort(port);
        port = InvalidPort;
    }
}

} // namespace

bool init(int lampType, int comPort)
{
    // A port still open from an earlier initialisation would stay open for good, and block
    // this one: release it first.
    closePort(lampType);
    PortHandle& port = handle(lampType);
    port = openSerialPort(serialPortName(comPort));
    if (port == InvalidPort)
        return false;
    if (lampType == StateByteType)
        stateByte = StateIdle;
    else
        configureSerialPort(port);
    return true;
}

void colour(int lampType, Colour colour, bool on)
{
    const auto c = static_cast<int>(colour);
    if (lampType == StateByteType) {
        if (!StateBits[c])
            return;
        stateByte =
            static_cast<std::uint8_t>(on ? stateByte | StateBits[c] : stateByte & ~StateBits[c]);
        send(lampType, &stateByte, 1);
        return;
    }
    const int coil = Coils[lampType == FirstSerialType ? 0 : 1][c];
    if (coil != NoCoil)
        send(lampType, CoilFrames[coil][on ? 1 : 0], sizeof CoilFrames[coil][0]);
}

void close(int lampType)
{
    if (lampType == StateByteType) {
        stateByte = StateIdle;
        send(lampType, &stateByte, 1);
    }
    closePort(lampType);
}

} // namespace BrillLamp::SerialLamp
