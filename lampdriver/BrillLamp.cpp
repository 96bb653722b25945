#include "lampdriver/BrillLamp.h"

#include "lampdriver/IoPortLamp.h"
#include "lampdriver/LampSettings.h"
#include "lampdriver/SerialLamp.h"
#include "utils/threading/SystemSleep.h"

#include <cstdlib>
#include <mutex>

namespace BrillLamp {

namespace {

constexpr LampFamily IoPort = {IoPortLamp::init, IoPortLamp::colour, IoPortLamp::close};
constexpr LampFamily Serial = {SerialLamp::init, SerialLamp::colour, SerialLamp::close};

// Indexed by lamp type.
constexpr const LampFamily* LampTypes[] = {&IoPort, &IoPort, &IoPort, &Serial,
                                           &Serial, &Serial, &IoPort, &IoPort};
constexpr unsigned LampTypeCount = sizeof LampTypes / sizeof LampTypes[0];

constexpr unsigned ColourDelayMs = 50;

int lampType = 0;

// Colours may share a register (and the serial types share the state byte and the port): each
// colour's read-modify-write and each frame goes out whole. The colour wait stays outside, so the
// three colours of one request still wait at the same time.
std::mutex lampLock;

const LampFamily* currentFamily()
{
    return static_cast<unsigned>(lampType) < LampTypeCount ? LampTypes[lampType] : nullptr;
}

bool initialise(int type, int comPort)
{
    const std::lock_guard<std::mutex> lock(lampLock);
    lampType = type;
    const LampFamily* family = currentFamily();
    return family && family->init(type, comPort);
}

void switchColour(Colour colour, bool on)
{
    Norvik::Utils::Threading::systemSleepMs(ColourDelayMs);
    const std::lock_guard<std::mutex> lock(lampLock);
    if (const LampFamily* family = currentFamily())
        family->colour(lampType, colour, on);
}

} // namespace

} // namespace BrillLamp

using BrillLamp::Colour;

extern "C" {

bool BRILL_LAMP_STDCALL InitBrillLamp(int lampType, int comPort)
{
    return BrillLamp::initialise(lampType, comPort);
}

bool InitAutoBrillLamp()
{
    const int type = std::atoi(BrillLamp::readLampSetting(BrillLamp::LampTypeValue).c_str());
    const int comPort = std::atoi(BrillLamp::readLampSetting(BrillLamp::LampComValue).c_str());
    return BrillLamp::initialise(type, comPort);
}

void CloseConnectBrillLamp()
{
    const std::lock_guard<std::mutex> lock(BrillLamp::lampLock);
    if (const BrillLamp::LampFamily* family = BrillLamp::currentFamily())
        family->close(BrillLamp::lampType);
}

// clang-format off
void RedOpenBrillLamp() { BrillLamp::switchColour(Colour::Red, true); }
void RedCloseBrillLamp() { BrillLamp::switchColour(Colour::Red, false); }
void GreenOpenBrillLamp() { BrillLamp::switchColour(Colour::Green, true); }
void GreenCloseBrillLamp() { BrillLamp::switchColour(Colour::Green, false); }
void BlueOpenBrillLamp() { BrillLamp::switchColour(Colour::Blue, true); }
void BlueCloseBrillLamp() { BrillLamp::switchColour(Colour::Blue, false); }
void YellowOpenBrillLamp() { BrillLamp::switchColour(Colour::Yellow, true); }
void YellowCloseBrillLamp() { BrillLamp::switchColour(Colour::Yellow, false); }
// clang-format on

} // extern "C"
