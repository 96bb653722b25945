#pragma once

#include <stdexcept>
#include <string>

namespace Norvik::Tools {

// The service could not be reached, or gave no complete answer in time.
class ClientFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class LightClient {
public:
    // Connects to 127.0.0.1:port, writes the request and reads until one complete answer object
    // has arrived; the whole exchange must end within the timeout. Raises ClientFailure.
    static std::string exchange(unsigned short port, const std::string& request, double timeoutSeconds);
};

} // namespace Norvik::Tools
