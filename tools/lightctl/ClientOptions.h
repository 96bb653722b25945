#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace Norvik::Tools {

// A command line that cannot be carried out; the text says what is wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ClientOptions {
    static constexpr unsigned short DefaultPort = 48888;
    static constexpr double DefaultTimeout = 2.0;

    bool help = false;
    std::string request; // the exact bytes to send
    unsigned short port = DefaultPort;
    double timeoutSeconds = DefaultTimeout;

    // Raises UsageError.
    static ClientOptions parse(const std::vector<std::string>& arguments);
};

// The request that switches exactly the named colours on: all three members, compact, no line end.
std::string lightRequest(bool red, bool green, bool blue);

extern const char* const ClientUsage;

} // namespace Norvik::Tools
