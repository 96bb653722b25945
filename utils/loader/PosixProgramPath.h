#pragma once

#include <unistd.h>

#include <string>
#include <vector>

namespace Norvik {

constexpr const char* programPathSeparators = "/";

// The full path of the running program; empty when it is unknown.
inline std::string programPath()
{
    for (std::vector<char> buffer(4096);; buffer.resize(buffer.size() * 2)) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length <= 0)
            return std::string();
        // A full buffer may hold a cut-off path.
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
}

} // namespace Norvik
