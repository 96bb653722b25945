#include "tests/support/Proc.h"

#include "tests/support/Files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <string>

namespace TestSupport {

namespace {

std::string procPath(pid_t pid, const char* name)
{
    return "/proc/" + std::to_string(pid) + "/" + name;
}

} // namespace

long statusField(pid_t pid, const char* name)
{
    std::ifstream status(procPath(pid, "status"));
    const std::string prefix = std::string(name) + ":";
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

long openDescriptors(pid_t pid)
{
    long count = 0;
    std::error_code error;
    for (auto entry = std::filesystem::directory_iterator(procPath(pid, "fd"), error);
         !error && entry != std::filesystem::directory_iterator(); entry.increment(error))
        ++count;
    return error ? -1 : count;
}

long cpuTicks(pid_t pid)
{
    const std::string text = readFile(procPath(pid, "stat"));
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

void raiseOpenFilesLimit(unsigned long count)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < count) {
        limit.rlim_cur = limit.rlim_max == RLIM_INFINITY || limit.rlim_max > count ? count : limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace TestSupport
