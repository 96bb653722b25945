#include "tools/lampview/LampDrawing.h"

#include "tools/console/ToolConsole.h"

#include <cstdio>

namespace Norvik::Tools {

std::string plainLine(const Lamp& lamp)
{
    auto state = [](bool on) { return on ? "on" : "off"; };
    return std::string("red=") + state(lamp.red) + " green=" + state(lamp.green) + " blue=" + state(lamp.blue);
}

void drawLamp(const Lamp& lamp, int lampType, const std::string& source, bool clear)
{
    struct Row {
        const char* name;
        bool on;
        const char* litColour;
    } rows[] = {
        {"red", lamp.red, "\033[1;91m"}, {"green", lamp.green, "\033[1;92m"}, {"blue", lamp.blue, "\033[1;94m"}};
    std::string text = clear ? "\033[H\033[2J" : "";
    text += "   \u250c\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2510\n";
    for (const Row& row : rows) {
        const char* colour = row.on ? row.litColour : "\033[2;90m";
        const char* block = row.on ? "\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588"
                                   : "\u2591\u2591\u2591\u2591\u2591\u2591\u2591\u2591";
        for (int line = 0; line < 2; ++line) {
            text += std::string("   \u2502") + colour + block + "\033[0m\u2502";
            if (line == 0)
                text += std::string("  ") + row.name + (row.on ? "  on" : "  off");
            text += "\n";
        }
    }
    text += "   \u2514\u2500\u2500\u2500\u252c\u252c\u2500\u2500\u2500\u2518\n";
    text += "       \u2502\u2502\n";
    text += "   lamp type " + std::to_string(lampType) + ", " + source + "\n";
    writeText(stdout, text);
    std::fflush(stdout);
}

} // namespace Norvik::Tools
