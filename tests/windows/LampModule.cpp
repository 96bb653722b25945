#if defined(_WIN32)
#include "tests/windows/LampModule.h"

#include <cstdlib>
#include <stdexcept>

namespace WinTest {
namespace {

template <typename T>
T bound(HMODULE module, const char* name)
{
    FARPROC address = GetProcAddress(module, name);
    if (!address)
        throw std::runtime_error(std::string("no export ") + name);
    return reinterpret_cast<T>(reinterpret_cast<void*>(address));
}

std::string required(const char* name)
{
    const std::string value = environment(name);
    if (value.empty())
        throw std::runtime_error(std::string(name) + " is not set (run through tests/windows/wine-session.sh)");
    return value;
}

HMODULE lampModule()
{
    const HMODULE module = LoadLibraryW(L"BrillLamp.dll");
    if (!module)
        throw std::runtime_error("LoadLibraryW(BrillLamp.dll) failed, error " + std::to_string(GetLastError()));
    return module;
}

} // namespace

BrillLamp::BrillLamp() : module(lampModule())
{
    InitBrillLamp = bound<Init>(module, "InitBrillLamp");
    InitAutoBrillLamp = bound<Call>(module, "InitAutoBrillLamp");
    CloseConnectBrillLamp = bound<Action>(module, "CloseConnectBrillLamp");
    RedOpenBrillLamp = bound<Action>(module, "RedOpenBrillLamp");
    RedCloseBrillLamp = bound<Action>(module, "RedCloseBrillLamp");
    GreenOpenBrillLamp = bound<Action>(module, "GreenOpenBrillLamp");
    GreenCloseBrillLamp = bound<Action>(module, "GreenCloseBrillLamp");
    BlueOpenBrillLamp = bound<Action>(module, "BlueOpenBrillLamp");
    BlueCloseBrillLamp = bound<Action>(module, "BlueCloseBrillLamp");
    YellowOpenBrillLamp = bound<Action>(module, "YellowOpenBrillLamp");
    YellowCloseBrillLamp = bound<Action>(module, "YellowCloseBrillLamp");
}

Chip::Chip() : LampSim::StateFile(required("LAMPSIM_STATE"))
{
    reset();
}

std::string Chip::log(std::size_t from) const
{
    std::string text;
    const auto all = accesses();
    for (std::size_t i = from; i < all.size(); ++i) {
        if (!text.empty())
            text += ' ';
        text += all[i].toString();
    }
    return text;
}

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
