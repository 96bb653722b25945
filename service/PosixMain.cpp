#if !defined(_WIN32)

#include "CommandLine.h"
#include "StringUtils.h"

#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(Norvik::Utils::StringUtils::toWide(argv[i], Norvik::Utils::StringUtils::Utf8));
    return Norvik::CommandLine::run(arguments);
}

#endif
