#pragma once

namespace BrillLamp {

using EntryPoint = void (*)();

// Loads the port-access module by its bare name; it is never freed. Null when it cannot be loaded.
void* loadPortAccessModule();
EntryPoint findEntryPoint(void* module, const char* name);

} // namespace BrillLamp
