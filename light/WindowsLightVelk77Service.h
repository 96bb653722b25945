#pragma once

#include "light/LightVelk77Service.h"

#include <mutex>
#include <string>

namespace Norvik {

// The light service over the BrillLamp library, lamp type 6. Lamp calls of concurrent requests
// are serialised: two changes of the same colour must never overlap inside the driver.
class WindowsLightVelk77Service : public LightVelk77Service {
public:
    WindowsLightVelk77Service();
    ~WindowsLightVelk77Service() override;

    int setLights(bool red, bool green, bool blue, std::wstring& log) override;
    int switchAllOff(std::wstring& log) override;
    int switchColour(int colour, bool on, std::wstring& log) override;
    std::wstring startFailure() const override { return lastError; }

    WindowsLightVelk77Service(const WindowsLightVelk77Service&) = delete;
    WindowsLightVelk77Service& operator=(const WindowsLightVelk77Service&) = delete;

private:
    std::wstring lastError;
    std::mutex lampLock;
};

} // namespace Norvik
