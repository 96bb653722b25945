#pragma once
// The test's view of the modules in its folder: BrillLamp.dll bound by name as the service binds
// it, and the simulated chip behind WinRing0.dll, read through its state file. A case's test suite
// names the folder it runs in (Lacking, InitFails, NoModule; every other suite main): the program beside
// BrillLamp.dll and one WinRing0.dll variant. What the session must provide (the DLL, the state
// file, the COM ports) throws when it is missing: GoogleTest fails the case with the text.
#include <windows.h>

#include "tests/driver/Chip.h"
#include "tests/driver/LampExports.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace WinTest {

// BrillLamp.dll bound by its bare name, as the driver suite binds it on every platform.
using BrillLamp = DriverTest::LampExports;

// The chip's state file named by LAMPSIM_STATE (set by the session), reset to power-on.
using Chip = DriverTest::Chip;

// The environment variable the session sets; throws when it is unset.
inline std::string environment(const char* name)
{
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    if (length == 0 || length >= sizeof value)
        throw std::runtime_error(std::string(name) + " is not set (run through tests/windows/wine-session.sh)");
    return value;
}

inline int environmentNumber(const char* name)
{
    return std::atoi(environment(name).c_str());
}

} // namespace WinTest
