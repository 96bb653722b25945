#include "tests/driver/Chip.h"

#include <cstdlib>
#include <stdexcept>
#if !defined(_WIN32)
#include "tests/support/TempDir.h"
#endif

namespace DriverTest {

Chip::Chip() : LampSim::StateFile(statePath())
{
    reset();
}

std::string Chip::log(std::uint64_t from) const
{
    std::string text;
    const auto all = accesses();
    for (std::uint64_t i = from; i < all.size(); ++i)
        text += (text.empty() ? "" : " ") + all[static_cast<std::size_t>(i)].toString();
    return text;
}

std::string Chip::statePath()
{
#if defined(_WIN32)
    const char* path = std::getenv("LAMPSIM_STATE");
    if (!path || !*path)
        throw std::runtime_error("LAMPSIM_STATE is not set (run through tests/windows/wine-session.sh)");
    return path;
#else
    static const TestSupport::TempDir dir;
    const std::string path = dir.file("chip.state");
    ::setenv("LAMPSIM_STATE", path.c_str(), 1);
    return path;
#endif
}

} // namespace DriverTest
