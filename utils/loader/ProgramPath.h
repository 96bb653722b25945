#pragma once

// The running program's own file, header only so that every deliverable compiles its own copy.
// The platform's part is in PosixProgramPath.h and WindowsProgramPath.h.
#if defined(_WIN32)
#include "utils/loader/WindowsProgramPath.h"
#else
#include "utils/loader/PosixProgramPath.h"
#endif

#include <string>

namespace Norvik {

// The folder of the running program with its final separator; empty when it is unknown.
inline std::string programDirectory()
{
    const std::string program = programPath();
    const std::size_t separator = program.find_last_of(programPathSeparators);
    return separator == std::string::npos ? std::string() : program.substr(0, separator + 1);
}

} // namespace Norvik
