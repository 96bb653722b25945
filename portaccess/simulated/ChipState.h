#pragma once

#include "portaccess/simulated/LampSimState.h"

#include <cstddef>
#include <cstdint>

namespace LampSim {

constexpr std::uint16_t IndexPort = 0x2E;
constexpr std::uint16_t DataPort = 0x2F;
constexpr std::uint16_t OutputPortFirst = 0xA00;
constexpr std::size_t OutputPortCount = 10;
constexpr std::uint16_t DwordPorts[] = {0x580, 0x584, 0x588};
constexpr std::uint8_t UnlockKey[] = {0x87, 0x01, 0x55, 0x55};
constexpr std::uint8_t ConfigControlRegister = 0x02;
constexpr std::uint8_t ReturnToWaitForKey = 0x02;
constexpr std::uint8_t LogicalDeviceRegister = 0x07;
constexpr std::uint8_t FirstDeviceRegister = 0x30; // below: global registers
constexpr std::size_t LogicalDevices = 16;
constexpr std::size_t LogEntries = 4096;
constexpr std::uint32_t Magic = 0x4C53494D; // "LSIM"
constexpr std::uint32_t LayoutVersion = 1;

struct LogEntry {
    std::uint8_t kind;
    std::uint8_t width;
    std::uint16_t port;
    std::uint32_t value;
};

// Layout of the state file; plain data so that every process maps the same bytes.
struct ChipState {
    std::uint32_t magic;
    std::uint32_t version;
    std::uint8_t keyProgress; // bytes of the unlock key seen in order; all of them: unlocked
    std::uint8_t index;
    std::uint8_t logicalDevice;
    std::uint8_t reserved;
    std::uint8_t globalRegisters[FirstDeviceRegister];
    std::uint8_t deviceRegisters[LogicalDevices][256];
    std::uint8_t outputs[OutputPortCount];
    // Zero when free, else the mark of the access in progress: the lock every process honours,
    // Windows programs under Wine and Linux programs alike, without a system call.
    std::uint16_t accessLock;
    std::uint32_t dwords[3];
    std::uint64_t accessCount;
    LogEntry log[LogEntries];
};

static_assert(offsetof(ChipState, accessLock) == 4166 && offsetof(ChipState, log) == 4192 &&
                  sizeof(ChipState) == 4192 + LogEntries * sizeof(LogEntry),
              "the state file's layout is shared by every build that reads it");

// Power-on values everywhere but in the access lock, which stays with its holder.
void powerOn(ChipState& chip);
std::uint32_t chipRead(ChipState& chip, unsigned width, std::uint16_t port);
void chipWrite(ChipState& chip, unsigned width, std::uint16_t port, std::uint32_t value);
bool chipLocked(const ChipState& chip);
std::uint8_t* outputByte(ChipState& chip, std::uint16_t port);
std::uint32_t* dwordRegister(ChipState& chip, std::uint16_t port);

} // namespace LampSim
