#pragma once
// The test's view of the modules in its folder: BrillLamp.dll bound by name as the service binds
// it, and the simulated chip behind WinRing0.dll, read through its state file.
#include <windows.h>

#include "portaccess/simulated/LampSimState.h"

#include <string>

namespace WinTest {

struct BrillLamp {
    using Init = bool(__stdcall*)(int lampType, int comPort);
    using Call = bool (*)();
    using Action = void (*)();

    BrillLamp(); // fails the case when the DLL or one of its exports is missing

    HMODULE module;
    Init InitBrillLamp;
    Call InitAutoBrillLamp;
    Action CloseConnectBrillLamp;
    Action RedOpenBrillLamp, RedCloseBrillLamp;
    Action GreenOpenBrillLamp, GreenCloseBrillLamp;
    Action BlueOpenBrillLamp, BlueCloseBrillLamp;
    Action YellowOpenBrillLamp, YellowCloseBrillLamp;
};

// The chip's state file named by LAMPSIM_STATE (set by the test script), reset to power-on.
class Chip : public LampSim::StateFile {
public:
    Chip();
    // The accesses after the first `from`, e.g. "W1 2E=87 R1 2F=0 W4 588=800000".
    std::string log(std::size_t from = 0) const;
};

} // namespace WinTest
