#if !defined(_WIN32)

#include "tools/console/ToolConsole.h"

namespace Norvik::Tools {

void writeText(std::FILE* stream, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}

std::vector<std::string> commandArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}

} // namespace Norvik::Tools

#endif
