#include "lampdriver/IoPortLamp.h"

#include "lampdriver/LampWiring.h"
#include "portaccess/OlsFunctions.h"
#include "lampdriver/PortAccessModule.h"

#include <cstddef>

namespace BrillLamp::IoPortLamp {

namespace {

#define OLS_INDEX(name, result, params, failure, used) name##Index,
enum OlsIndex { OLS_FUNCTIONS(OLS_INDEX) OlsCount };
#undef OLS_INDEX

#define OLS_NAME(name, result, params, failure, used) #name,
constexpr const char* OlsNames[OlsCount] = {OLS_FUNCTIONS(OLS_NAME)};
#undef OLS_NAME

#define OLS_TYPE(name, result, params, failure, used) using name##Call = result(OLS_CALL*) params;
OLS_FUNCTIONS(OLS_TYPE)
#undef OLS_TYPE

// Process-wide and trivially destructible: unloading the library tears nothing down.
EntryPoint entryPoints[OlsCount] = {};

template <typename Call>
Call entry(OlsIndex index)
{
    return reinterpret_cast<Call>(entryPoints[index]);
}

int setUpPortAccess()
{
    void* module = loadPortAccessModule();
    if (!module)
        return 0;
    bool complete = true;
    for (std::size_t i = 0; i < OlsCount; ++i) {
        entryPoints[i] = findEntryPoint(module, OlsNames[i]);
        complete = complete && entryPoints[i] != nullptr;
    }
    if (!complete)
        return 0;
    return entry<InitializeOlsCall>(InitializeOlsIndex)();
}

std::uint8_t readByte(std::uint16_t port)
{
    return entry<ReadIoPortByteCall>(ReadIoPortByteIndex)(port);
}

void writeByte(std::uint16_t port, std::uint8_t value)
{
    entry<WriteIoPortByteCall>(WriteIoPortByteIndex)(port, value);
}

std::uint32_t readDword(std::uint16_t port)
{
    return entry<ReadIoPortDwordCall>(ReadIoPortDwordIndex)(port);
}

void writeDword(std::uint16_t port, std::uint32_t value)
{
    entry<WriteIoPortDwordCall>(WriteIoPortDwordIndex)(port, value);
}

bool bound(OlsIndex read, OlsIndex write)
{
    return entryPoints[read] && entryPoints[write];
}

void setRegisterBits(std::uint8_t index, std::uint8_t bits)
{
    writeByte(SuperIo::IndexPort, index);
    const std::uint8_t value = readByte(SuperIo::DataPort);
    writeByte(SuperIo::IndexPort, index);
    writeByte(SuperIo::DataPort, value | bits);
}

template <std::size_t N>
void setRegisterBits(const RegisterBits (&steps)[N])
{
    for (const RegisterBits& step : steps)
        setRegisterBits(step.index, step.bits);
}

const LampOutput* output(const LampWiring& wiring, Colour colour)
{
    switch (colour) {
    case Colour::Red:
        return &wiring.red;
    case Colour::Green:
        return &wiring.green;
    case Colour::Blue:
        return &wiring.blue;
    case Colour::Yellow:
        break;
    }
    return nullptr;
}

void switchOutput(const LampWiring& wiring, const LampOutput& out, bool on)
{
    const bool set = on == wiring.litWhenSet;
    if (wiring.width == 4) {
        if (!bound(ReadIoPortDwordIndex, WriteIoPortDwordIndex))
            return;
        const std::uint32_t value = readDword(out.port);
        writeDword(out.port, set ? value | out.bit : value & ~out.bit);
    } else {
        if (!bound(ReadIoPortByteIndex, WriteIoPortByteIndex))
            return;
        const auto bit = static_cast<std::uint8_t>(out.bit);
        const std::uint8_t value = readByte(out.port);
        writeByte(out.port, static_cast<std::uint8_t>(set ? value | bit : value & ~bit));
    }
}

void allOff(const LampWiring& wiring)
{
    switchOutput(wiring, wiring.red, false);
    switchOutput(wiring, wiring.green, false);
    switchOutput(wiring, wiring.blue, false);
}

void setUpLampType1()
{
    const std::uint32_t enable = readDword(LampType1EnablePort);
    for (std::uint32_t bits : LampType1EnableOr)
        writeDword(LampType1EnablePort, enable | bits);
    const std::uint32_t direction = readDword(LampType1DirectionPort);
    for (std::uint32_t mask : LampType1DirectionAnd)
        writeDword(LampType1DirectionPort, direction & mask);
}

void setUpLampType2()
{
    writeByte(SuperIo::IndexPort, LampType2Register);
    const std::uint8_t value = readByte(SuperIo::DataPort);
    for (std::uint8_t bits : LampType2Or) {
        writeByte(SuperIo::IndexPort, LampType2Register);
        writeByte(SuperIo::DataPort, value | bits);
    }
}

} // namespace

bool init(int lampType, int)
{
    const LampWiring* wiring = ioPortWiring(lampType);
    if (!wiring || setUpPortAccess() == 0)
        return false;
    for (std::uint8_t key : SuperIo::UnlockKey)
        writeByte(SuperIo::IndexPort, key);
    writeByte(SuperIo::IndexPort, SuperIo::LogicalDeviceRegister);
    writeByte(SuperIo::DataPort, SuperIo::GpioDevice);
    switch (lampType) {
    case 0:
        setRegisterBits(LampType0Setup);
        break;
    case 1:
        setUpLampType1();
        break;
    case 2:
        setUpLampType2();
        break;
    default: // 6 and 7
        setRegisterBits(LampType6Setup);
        allOff(*wiring);
        break;
    }
    return true;
}

void colour(int lampType, Colour colour, bool on)
{
    const LampWiring* wiring = ioPortWiring(lampType);
    const LampOutput* out = wiring ? output(*wiring, colour) : nullptr;
    if (out)
        switchOutput(*wiring, *out, on);
}

void close(int)
{
    if (!entryPoints[WriteIoPortByteIndex])
        return;
    writeByte(SuperIo::IndexPort, SuperIo::LockRegister);
    writeByte(SuperIo::DataPort, SuperIo::LockValue);
}

} // namespace BrillLamp::IoPortLamp
