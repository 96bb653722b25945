#pragma once

namespace Norvik {

// Colour codes of the light switch and of switchColour; other values switch nothing.
enum LightColour { Red = 0, Green = 1, Blue = 2 };

} // namespace Norvik
