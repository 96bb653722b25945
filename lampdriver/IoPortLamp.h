#pragma once

#include "lampdriver/LampColour.h"

namespace BrillLamp::IoPortLamp {

bool init(int lampType, int comPort);
void colour(int lampType, Colour colour, bool on);
void close(int lampType);

} // namespace BrillLamp::IoPortLamp
