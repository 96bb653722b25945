#pragma once
#include <cstddef>
#include <string>

namespace TestSupport {

// A request that switches red on, padded to exactly size bytes.
inline std::string requestOfSize(std::size_t size)
{
    const std::string head = R"({"red":true,"pad":")";
    const std::string tail = R"("})";
    return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

} // namespace TestSupport
