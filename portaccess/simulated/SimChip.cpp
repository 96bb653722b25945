#include "portaccess/simulated/ChipState.h"

#include <cstring>

namespace LampSim {

namespace {

constexpr std::uint8_t KeyLength = sizeof(UnlockKey);
constexpr std::uint8_t ChipIdHigh = 0x87;
constexpr std::uint8_t ChipIdLow = 0x86;
constexpr std::uint32_t Floating = 0xFFFFFFFFu; // what an unanswered read returns

std::uint8_t* configRegister(ChipState& chip, std::uint8_t index)
{
    if (index < FirstDeviceRegister)
        return &chip.globalRegisters[index];
    return &chip.deviceRegisters[chip.logicalDevice % LogicalDevices][index];
}

void keyByte(ChipState& chip, std::uint8_t value)
{
    if (value == UnlockKey[chip.keyProgress])
        ++chip.keyProgress;
    else
        chip.keyProgress = value == UnlockKey[0] ? 1 : 0;
}

std::uint32_t widthMask(unsigned width)
{
    return width >= 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

void record(ChipState& chip, Access::Kind kind, unsigned width, std::uint16_t port,
            std::uint32_t value)
{
    LogEntry& entry = chip.log[chip.accessCount % LogEntries];
    entry.kind = kind;
    entry.width = static_cast<std::uint8_t>(width);
    entry.port = port;
    entry.value = value;
    ++chip.accessCount;
}

} // namespace

void powerOn(ChipState& chip)
{
    // The header keeps its values all along: a program that opens the file meanwhile finds a chip.
    const std::uint16_t lock = chip.accessLock;
    constexpr std::size_t body = offsetof(ChipState, keyProgress);
    std::memset(reinterpret_cast<unsigned char*>(&chip) + body, 0, sizeof chip - body);
    chip.accessLock = lock;
    chip.magic = Magic;
    chip.version = LayoutVersion;
    chip.globalRegisters[0x20] = ChipIdHigh;
    chip.globalRegisters[0x21] = ChipIdLow;
    // Outputs idle high: every lamp type that lights on a cleared bit starts dark.
    std::memset(chip.outputs, 0xFF, sizeof chip.outputs);
}

bool chipLocked(const ChipState& chip)
{
    return chip.keyProgress < KeyLength;
}

std::uint8_t* outputByte(ChipState& chip, std::uint16_t port)
{
    if (port < OutputPortFirst || port >= OutputPortFirst + OutputPortCount)
        return nullptr;
    return &chip.outputs[port - OutputPortFirst];
}

std::uint32_t* dwordRegister(ChipState& chip, std::uint16_t port)
{
    for (std::size_t i = 0; i < sizeof DwordPorts / sizeof DwordPorts[0]; ++i)
        if (DwordPorts[i] == port)
            return &chip.dwords[i];
    return nullptr;
}

std::uint32_t chipRead(ChipState& chip, unsigned width, std::uint16_t port)
{
    std::uint32_t value = Floating;
    if (width == 1) {
        if (port == DataPort && !chipLocked(chip))
            value = *configRegister(chip, chip.index);
        else if (port == IndexPort && !chipLocked(chip))
            value = chip.index;
        else if (std::uint8_t* out = outputByte(chip, port))
            value = *out;
    } else if (width == 4) {
        if (std::uint32_t* reg = dwordRegister(chip, port))
            value = *reg;
    }
    value &= widthMask(width);
    record(chip, Access::Read, width, port, value);
    return value;
}

void chipWrite(ChipState& chip, unsigned width, std::uint16_t port, std::uint32_t value)
{
    value &= widthMask(width);
    record(chip, Access::Write, width, port, value);
    const auto byte = static_cast<std::uint8_t>(value);
    if (width == 1) {
        if (port == IndexPort) {
            if (chipLocked(chip))
                keyByte(chip, byte);
            else
                chip.index = byte;
        } else if (port == DataPort) {
            if (chipLocked(chip))
                return;
            if (chip.index == LogicalDeviceRegister)
                chip.logicalDevice = byte;
            else if (chip.index == ConfigControlRegister && (byte & ReturnToWaitForKey))
                chip.keyProgress = 0;
            else
                *configRegister(chip, chip.index) = byte;
        } else if (std::uint8_t* out = outputByte(chip, port)) {
            *out = byte;
        }
    } else if (width == 4) {
        if (std::uint32_t* reg = dwordRegister(chip, port))
            *reg = value;
    }
}

} // namespace LampSim
