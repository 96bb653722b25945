#if defined(_WIN32)
#include "tests/windows/LampModule.h"

#include "tests/windows/WineTest.h"

namespace WinTest {
namespace {

template <typename T>
T bound(HMODULE module, const char* name)
{
    FARPROC address = GetProcAddress(module, name);
    if (!address)
        fail(std::string("no export ") + name, __FILE__, __LINE__);
    return reinterpret_cast<T>(reinterpret_cast<void*>(address));
}

std::string statePath()
{
    const std::string path = environment("LAMPSIM_STATE");
    if (path.empty())
        fail("LAMPSIM_STATE is not set (run through scripts/windows-tests.sh)", __FILE__, __LINE__);
    return path;
}

} // namespace

BrillLamp::BrillLamp() : module(LoadLibraryW(L"BrillLamp.dll"))
{
    if (!module)
        fail("LoadLibraryW(BrillLamp.dll) failed, error " + std::to_string(GetLastError()), __FILE__, __LINE__);
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

Chip::Chip() : LampSim::StateFile(statePath())
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

} // namespace WinTest
#endif
