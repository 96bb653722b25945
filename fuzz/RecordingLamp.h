#pragma once

#include "LightVelk77Service.h"

#include <string>
#include <vector>

// Stands in for the lamp: remembers every switching instead of reaching a chip.
class RecordingLamp : public Norvik::LightVelk77Service {
public:
    struct Call {
        bool red, green, blue;
    };

    explicit RecordingLamp(std::wstring notReadyText = std::wstring()) : notReadyText(std::move(notReadyText)) {}

    int setLights(bool red, bool green, bool blue, std::wstring& log) override
    {
        if (!notReadyText.empty()) {
            log = notReadyText;
            return -1;
        }
        calls.push_back({red, green, blue});
        return 0;
    }
    int switchAllOff(std::wstring& log) override { return setLights(false, false, false, log); }
    int switchColour(int, bool, std::wstring&) override { return 0; }

    std::vector<Call> calls;

private:
    std::wstring notReadyText;
};
