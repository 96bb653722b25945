#pragma once

namespace Norvik {

// Runs the program as the service of the system's service manager (Windows: the service control
// dispatcher; POSIX: a systemd unit of Type=notify).
class ServiceHost {
public:
    static ServiceHost* create();
    virtual ~ServiceHost() = default;

    // Returns when the service has stopped and its server is destroyed: 0, or -1 when the program
    // was not started by the service manager (nothing printed then).
    virtual int dispatch() = 0;
};

} // namespace Norvik
