#include "tests/driver/LampExports.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace DriverTest {

template <typename T>
T LampExports::bound(const char* name) const
{
    void* address = bind(name);
    if (!address)
        throw std::runtime_error(std::string("no export ") + name);
    T call;
    std::memcpy(&call, &address, sizeof call);
    return call;
}

// Here, where bound is defined: the members' initialisers bind the exports in their order.
LampExports::LampExports() = default;

LampExports::Action LampExports::action(const char* name) const
{
    return bound<Action>(name);
}

} // namespace DriverTest
