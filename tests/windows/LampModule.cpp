#if defined(_WIN32)
#include "tests/windows/LampModule.h"

#include <cstdlib>
#include <stdexcept>

namespace WinTest {
namespace {

std::string required(const char* name)
{
    const std::string value = environment(name);
    if (value.empty())
        throw std::runtime_error(std::string(name) + " is not set (run through tests/windows/wine-session.sh)");
    return value;
}

} // namespace

std::string environment(const char* name)
{
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

int environmentNumber(const char* name)
{
    return std::atoi(required(name).c_str());
}

} // namespace WinTest
#endif
