#if defined(_WIN32)

#include "service/CommandLine.h"

#include <string>
#include <vector>

int wmain(int argc, wchar_t* argv[])
{
    return Norvik::CommandLine::run(Norvik::CommandLine::select(std::vector<std::wstring>(argv, argv + argc)));
}

#endif
