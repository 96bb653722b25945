#include "tests/service/TestSupport.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace ServiceTests {

std::string programPath()
{
    return LIGHTSERVICE_PROGRAM;
}

ChildOptions withoutModeVariables(ChildOptions options)
{
    options.removed.push_back("NOTIFY_SOCKET");
    options.removed.push_back("INVOCATION_ID");
    return options;
}

ProgramResult runProgram(const std::string& program, const ChildOptions& options, const std::string& input,
                         int timeoutMs)
{
    return TestSupport::runChild(program, withoutModeVariables(options), input, timeoutMs);
}

long cpuTicks(int pid)
{
    std::string text = readFile("/proc/" + std::to_string(pid) + "/stat");
    // Fields after the command name: state is the first, utime and stime the 12th and 13th.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 1; i <= 13 && fields >> field; ++i) {
        if (i >= 12)
            ticks += std::stol(field);
    }
    return ticks;
}

} // namespace ServiceTests
