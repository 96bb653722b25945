#pragma once

namespace Norvik {

// Installs, removes and starts the service; each prints its one result line.
class ServiceInstaller {
public:
    static ServiceInstaller* create();
    virtual ~ServiceInstaller() = default;

    virtual void install() = 0;
    virtual void remove() = 0;
    virtual void start() = 0;
};

} // namespace Norvik
