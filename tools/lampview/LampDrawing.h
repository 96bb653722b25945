#pragma once

#include "tools/lampview/LampReader.h"

#include <string>

namespace Norvik::Tools {

// One line for scripts: red=on green=off blue=off
std::string plainLine(const Lamp& lamp);

// The light column drawn on standard output; clear first redraws over the previous picture.
void drawLamp(const Lamp& lamp, int lampType, const std::string& source, bool clear);

} // namespace Norvik::Tools
