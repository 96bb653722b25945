#pragma once

#include <string>

namespace Norvik {

// Switches the lamp. Building one loads and initialises the lamp once; a failure there is kept
// as a text that every later setLights/switchAllOff hands out with -1.
class LightVelk77Service {
public:
    // A new WindowsLightVelk77Service; the caller owns it (kept in a shared pointer).
    static LightVelk77Service* create();

    virtual int setLights(bool red, bool green, bool blue, std::wstring& log) = 0;
    virtual int switchAllOff(std::wstring& log) = 0;
    virtual int switchColour(int colour, bool on, std::wstring& log) = 0;
    // Why the lamp could not be loaded or initialised; empty when it is ready.
    virtual std::wstring startFailure() const { return std::wstring(); }
    virtual ~LightVelk77Service() = default;
};

} // namespace Norvik
