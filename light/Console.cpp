#include "light/Console.h"

#include <cstdio>

namespace Norvik {

void Console::writeLine(const std::string& line)
{
    std::string text = line;
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace Norvik
