#include "light/Console.h"

#include "utils/logging/LogEnvironment.h"

#include <cstdio>

namespace Norvik {

void Console::writeLine(const std::string& line)
{
    // In the log's console encoding: both write to the same standard output.
    std::string text = Utils::LogEnvironment::toConsoleText(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

} // namespace Norvik
