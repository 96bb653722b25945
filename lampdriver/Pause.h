#pragma once

namespace BrillLamp {

// Blocks the calling thread for the given time with the system's own sleep.
void pauseMs(unsigned milliseconds);

} // namespace BrillLamp
