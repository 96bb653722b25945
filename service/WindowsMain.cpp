#if defined(_WIN32)

#include "service/CommandLine.h"
#include "utils/loader/SharedLibrary.h"

#include <string>
#include <vector>

int wmain(int argc, wchar_t* argv[])
{
    // Before anything is loaded: the lamp library and its port-access module go by bare names.
    Norvik::SharedLibrary::restrictSearch();
    return Norvik::CommandLine::run(Norvik::CommandLine::select(std::vector<std::wstring>(argv, argv + argc)));
}

#endif
