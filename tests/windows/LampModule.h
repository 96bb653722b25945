#pragma once
// The test's view of the modules in its folder: BrillLamp.dll bound by name as the service binds
// it, and the simulated chip behind WinRing0.dll, read through its state file. A case's test suite
// names the folder it runs in (Lacking, InitFails, NoModule; every other suite main): the program beside
// BrillLamp.dll and one WinRing0.dll variant. What the session must provide (the DLL, the state
// file, the COM ports) throws when it is missing: GoogleTest fails the case with the text.
#include <windows.h>

#include "tests/driver/Chip.h"
#include "tests/driver/LampExports.h"

#include <string>

namespace WinTest {

// BrillLamp.dll bound by its bare name, as the driver suite binds it on every platform.
using BrillLamp = DriverTest::LampExports;

// The chip's state file named by LAMPSIM_STATE (set by the session), reset to power-on.
using Chip = DriverTest::Chip;

std::string environment(const char* name); // empty when unset
int environmentNumber(const char* name); // throws when unset

} // namespace WinTest
