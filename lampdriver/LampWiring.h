#pragma once

// Where each I/O-port lamp type's colours are wired, and the chip's configuration access.
// Header only: the lamp viewer reads the same table.

#include <cstdint>

namespace BrillLamp {

struct LampOutput {
    std::uint16_t port;
    std::uint32_t bit;
};

struct LampWiring {
    int lampType;
    unsigned width; // register width in bytes
    LampOutput red, green, blue;
    bool litWhenSet;
};

constexpr LampWiring IoPortLamps[] = {
    {0, 1, {0xA03, 0x01}, {0xA00, 0x01}, {0xA00, 0x04}, false},
    {1, 4, {0x588, 0x00400000}, {0x588, 0x00800000}, {0x588, 0x01000000}, true},
    {2, 1, {0xA07, 0x01}, {0xA07, 0x02}, {0xA07, 0x04}, false},
    {6, 1, {0xA09, 0x08}, {0xA04, 0x10}, {0xA02, 0x80}, false},
    {7, 1, {0xA00, 0x04}, {0xA02, 0x40}, {0xA02, 0x80}, false},
};

constexpr const LampWiring* ioPortWiring(int lampType)
{
    for (const LampWiring& wiring : IoPortLamps)
        if (wiring.lampType == lampType)
            return &wiring;
    return nullptr;
}

constexpr bool outputLit(const LampWiring& wiring, const LampOutput& output, std::uint32_t value)
{
    return ((value & output.bit) != 0) == wiring.litWhenSet;
}

namespace SuperIo {
constexpr std::uint16_t IndexPort = 0x2E;
constexpr std::uint16_t DataPort = 0x2F;
constexpr std::uint8_t UnlockKey[] = {0x87, 0x01, 0x55, 0x55};
constexpr std::uint8_t LogicalDeviceRegister = 0x07;
constexpr std::uint8_t GpioDevice = 0x07;
constexpr std::uint8_t LockRegister = 0x02;
constexpr std::uint8_t LockValue = 0x02;
} // namespace SuperIo

struct RegisterBits {
    std::uint8_t index;
    std::uint8_t bits;
};

// Pin set-up of lamp type 0.
constexpr RegisterBits LampType0Setup[] = {
    {0x25, 0x05}, {0x26, 0x08}, {0x27, 0xC0}, {0x28, 0x01}, {0x29, 0x42},
    {0xC0, 0x05}, {0xC8, 0x05}, {0xC1, 0x08}, {0xC9, 0x08}, {0xC2, 0xC0},
    {0xCA, 0xC0}, {0xC3, 0x01}, {0xCB, 0x01}, {0xC4, 0x42}, {0xCC, 0x42},
};

// Pin set-up of lamp types 6 and 7.
constexpr RegisterBits LampType6Setup[] = {
    {0x27, 0x80}, {0xC2, 0x80}, {0xCA, 0x80}, {0xD8, 0x08},
    {0xD7, 0x08}, {0x29, 0x10}, {0xC4, 0x10}, {0xCC, 0x10},
};

// Lamp type 1: the 32-bit set-up registers and the values written to them in turn.
constexpr std::uint16_t LampType1EnablePort = 0x580;
constexpr std::uint32_t LampType1EnableOr[] = {0x00400000, 0x00C00000, 0x01C00000};
constexpr std::uint16_t LampType1DirectionPort = 0x584;
constexpr std::uint32_t LampType1DirectionAnd[] = {0xFFBFFFFF, 0xFF3FFFFF, 0xFE3FFFFF};

// Lamp type 2: one register, its bits set one after the other.
constexpr std::uint8_t LampType2Register = 0xCF;
constexpr std::uint8_t LampType2Or[] = {0x01, 0x03, 0x07};

} // namespace BrillLamp
