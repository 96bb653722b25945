#pragma once

#include "utils/threading/Routine.h"

#include <atomic>
#include <memory>

namespace Norvik {

namespace Utils::Threading {
class Thread;
}

// Switches one colour once, on a thread of its own. When given a start flag, the pass waits for
// it so that the colours of one request change together.
class LightSwitch : public Utils::Threading::Routine {
public:
    LightSwitch(int colour, bool on, const std::atomic<bool>* startFlag = nullptr);
    virtual ~LightSwitch();

    void run() override;
    virtual bool isFinished() const;
    // Whether the lamp call was made: false when the thread could not be created.
    bool hasSwitched() const { return switched.load(std::memory_order_acquire); }

    // Runs run() once on the switch's thread.
    void start();
    // Waits until that pass has ended.
    void join();

    // The lamp call for a colour and state; a colour outside Red..Blue calls nothing.
    static void switchColour(int colour, bool on);

    LightSwitch(const LightSwitch&) = delete;
    LightSwitch& operator=(const LightSwitch&) = delete;

private:
    std::unique_ptr<Utils::Threading::Thread> thread;
    int colour;
    bool on;
    const std::atomic<bool>* startFlag;
    std::atomic<bool> switched{false};
};

} // namespace Norvik
