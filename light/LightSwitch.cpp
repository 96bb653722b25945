#include "light/LightSwitch.h"

#include "light/LightColour.h"

#include "utils/loader/BrillLampLibrary.h"
#include "utils/threading/Thread.h"

#include <thread>

namespace Norvik {

namespace {

using Utils::BrillLampLibrary;
using LampCall = void (BrillLampLibrary::*)();

struct ColourCalls {
    LampCall open;
    LampCall close;
};

const ColourCalls colourCalls[] = {
    {&BrillLampLibrary::redOpenBrillLamp, &BrillLampLibrary::redCloseBrillLamp},
    {&BrillLampLibrary::greenOpenBrillLamp, &BrillLampLibrary::greenCloseBrillLamp},
    {&BrillLampLibrary::blueOpenBrillLamp, &BrillLampLibrary::blueCloseBrillLamp},
};

constexpr int runOnce = 1;
constexpr int pauseMs = 1;

} // namespace

LightSwitch::LightSwitch(int colour, bool on, const std::atomic<bool>* startFlag)
    : thread(Utils::Threading::Thread::create(this)), colour(colour), on(on), startFlag(startFlag)
{
}

LightSwitch::~LightSwitch()
{
    // Never free the routine under a running pass; a thread never started returns at once.
    thread->join();
}

void LightSwitch::run()
{
    if (startFlag) {
        while (!startFlag->load(std::memory_order_acquire))
            std::this_thread::yield();
    }
    switchColour(colour, on);
    switched.store(true, std::memory_order_release);
}

bool LightSwitch::isFinished() const
{
    return thread->isFinished();
}

void LightSwitch::start()
{
    thread->start(pauseMs, runOnce);
}

void LightSwitch::join()
{
    thread->join();
}

void LightSwitch::switchColour(int colour, bool on)
{
    if (colour < Red || colour > Blue)
        return;
    const ColourCalls& calls = colourCalls[colour];
    BrillLampLibrary& library = BrillLampLibrary::instance();
    (library.*(on ? calls.open : calls.close))();
}

} // namespace Norvik
