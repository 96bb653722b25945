#pragma once

#include <string>

// The log file this test program configures for itself, in a directory of its own that only
// the process which made it removes.
void useOwnLogFile();
std::string readOwnLogFile();
void removeOwnLogFiles();
