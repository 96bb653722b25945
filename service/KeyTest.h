#pragma once

#include <istream>

namespace Norvik {

// "test": switches single colours from the keyboard (R G B on, r g b off, E or e ends).
class KeyTest {
public:
    static void run(std::istream& keys);
};

} // namespace Norvik
