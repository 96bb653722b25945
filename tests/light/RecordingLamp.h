#pragma once

#include "light/LightVelk77Service.h"

#include <cstddef>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace Norvik::Testing {

// Stands in for the lamp: remembers every switching it is asked for instead of reaching a
// chip, and answers as told (success when nothing is said).
class RecordingLamp : public LightVelk77Service {
public:
    using Call = std::tuple<bool, bool, bool>;

    int setLights(bool red, bool green, bool blue, std::wstring& log) override
    {
        calls.emplace_back(red, green, blue);
        const int result = behaviour ? behaviour(log) : 0;
        if (result == 0)
            ++switched;
        return result;
    }
    int switchAllOff(std::wstring& log) override { return setLights(false, false, false, log); }
    int switchColour(int, bool, std::wstring&) override { return 0; }

    std::vector<Call> calls;
    // The asks answered with success.
    std::size_t switched = 0;
    std::function<int(std::wstring&)> behaviour;
};

} // namespace Norvik::Testing
