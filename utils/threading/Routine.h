#pragma once

namespace Norvik::Utils::Threading {

// One pass of work; a Thread calls run() pass after pass. The owner of a Routine also owns
// the Thread that runs it, so a Routine is never deleted through this interface.
class Routine {
public:
    virtual void run() = 0;
    // Asked on the routine's thread right after a pass that returned: true when the pass did
    // work, so that the next pass follows at once instead of after the pause.
    virtual bool passDidWork() const { return false; }

protected:
    ~Routine() = default;
};

} // namespace Norvik::Utils::Threading
