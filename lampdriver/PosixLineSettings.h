#pragma once

#include <termios.h>

namespace BrillLamp {

// The line settings of the relay lamp types, made from what the port reported.
void lampLineSettings(termios& settings);

} // namespace BrillLamp
