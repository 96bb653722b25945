#pragma once

#include "utils/handle/PosixDescriptor.h"

#include <chrono>
#include <string>

namespace TestSupport {

// A datagram socket standing in for the service manager's notification socket.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& path);

    // Reads messages until one received so far contains text or the time is up.
    bool waitFor(const std::string& text, std::chrono::milliseconds timeout);
    // Every message read so far, each followed by a newline.
    const std::string& received() const { return messages; }

private:
    Norvik::Utils::UniqueFd fd;
    std::string messages;
};

} // namespace TestSupport
