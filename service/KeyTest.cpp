#include "service/KeyTest.h"

#include "light/LightColour.h"
#include "light/LightVelk77Service.h"
#include "service/ServiceTexts.h"

#include <memory>
#include <string>

namespace Norvik {

namespace {

const char* const helpLines[] = {
    "Use keys:",
    "- \"R\" - turn on the red color;",
    "- \"G\" - turn on the green color;",
    "- \"B\" - turn on the blue color;",
    "- \"r\" - turn off the red color;",
    "- \"g\" - turn off the green color;",
    "- \"b\" - turn off the blue color;",
    "- \"E\", \"e\" - exit;",
};

struct Key {
    char key;
    LightColour colour;
    bool on;
};

const Key keys[] = {
    {'R', Red, true}, {'G', Green, true}, {'B', Blue, true}, {'r', Red, false}, {'g', Green, false}, {'b', Blue, false},
};

} // namespace

void KeyTest::run(std::istream& input)
{
    for (const char* line : helpLines)
        printLine(line);

    const std::shared_ptr<LightVelk77Service> light(LightVelk77Service::create());
    std::wstring log;
    light->switchAllOff(log);

    // The end of the input counts as E: no further key can come, and the lamp still ends all off.
    char ch = 0;
    while (input >> ch && ch != 'E' && ch != 'e') {
        for (const Key& key : keys) {
            if (key.key == ch)
                light->switchColour(key.colour, key.on, log);
        }
    }
    light->switchAllOff(log);
}

} // namespace Norvik
