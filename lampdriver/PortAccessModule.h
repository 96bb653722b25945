#pragma once

#include <string>

namespace BrillLamp {

using EntryPoint = void (*)();

// Loads the port-access module by its bare name; it is never freed. Null when it cannot be loaded.
void* loadPortAccessModule();
EntryPoint findEntryPoint(void* module, const char* name);

// Where the platform looks when the bare name was not found; null when it looks nowhere else.
void* loadBesideDriver(const std::string& fileName);

} // namespace BrillLamp
