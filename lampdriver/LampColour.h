#pragma once

namespace BrillLamp {

enum class Colour { Red, Green, Blue, Yellow };

// Operations of one family of lamp types, each told which lamp type it serves.
struct LampFamily {
    bool (*init)(int lampType, int comPort);
    void (*colour)(int lampType, Colour colour, bool on);
    void (*close)(int lampType);
};

} // namespace BrillLamp
