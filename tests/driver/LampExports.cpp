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

LampExports::LampExports() : module(open())
{
    InitBrillLamp = bound<Init>("InitBrillLamp");
    InitAutoBrillLamp = bound<Call>("InitAutoBrillLamp");
    CloseConnectBrillLamp = bound<Action>("CloseConnectBrillLamp");
    RedOpenBrillLamp = bound<Action>("RedOpenBrillLamp");
    RedCloseBrillLamp = bound<Action>("RedCloseBrillLamp");
    GreenOpenBrillLamp = bound<Action>("GreenOpenBrillLamp");
    GreenCloseBrillLamp = bound<Action>("GreenCloseBrillLamp");
    BlueOpenBrillLamp = bound<Action>("BlueOpenBrillLamp");
    BlueCloseBrillLamp = bound<Action>("BlueCloseBrillLamp");
    YellowOpenBrillLamp = bound<Action>("YellowOpenBrillLamp");
    YellowCloseBrillLamp = bound<Action>("YellowCloseBrillLamp");
}

LampExports::Action LampExports::action(const char* name) const
{
    return bound<Action>(name);
}

} // namespace DriverTest
