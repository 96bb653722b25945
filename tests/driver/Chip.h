#pragma once
// The simulated chip behind the port-access module, reset to power-on, in the state file the
// driver in this process reaches. Posix: a file of the test's own, named in LAMPSIM_STATE.
// Windows: the session's, named by LAMPSIM_STATE; missing, it throws.
#include "portaccess/simulated/LampSimState.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#if !defined(_WIN32)
#include "tests/support/TempDir.h"
#endif

namespace DriverTest {

class Chip : public LampSim::StateFile {
public:
    Chip() : LampSim::StateFile(statePath()) { reset(); }
    // The accesses after the first FROM, e.g. "W1 2E=87 R1 2F=0 W4 588=800000".
    std::string log(std::uint64_t from = 0) const
    {
        std::string text;
        const auto all = accesses();
        for (std::uint64_t i = from; i < all.size(); ++i)
            text += (text.empty() ? "" : " ") + all[static_cast<std::size_t>(i)].toString();
        return text;
    }
    // The accesses CALL makes.
    template <typename Call>
    std::string during(Call call)
    {
        const std::uint64_t from = accessCount();
        call();
        return log(from);
    }

private:
    static std::string statePath()
    {
#if defined(_WIN32)
        const char* path = std::getenv("LAMPSIM_STATE");
        if (!path || !*path)
            throw std::runtime_error("LAMPSIM_STATE is not set (run through tests/windows/wine-session.sh)");
        return path;
#else
        static const TestSupport::TempDir dir;
        ::setenv("LAMPSIM_STATE", dir.file("chip.state").c_str(), 1);
        return dir.file("chip.state");
#endif
    }
};

} // namespace DriverTest
