#pragma once
// The simulated chip behind the port-access module, reset to power-on, in the state file the
// driver in this process reaches. Posix: a file of the test's own, named in LAMPSIM_STATE.
// Windows: the session's, named by LAMPSIM_STATE; missing, it throws.
#include "portaccess/simulated/LampSimState.h"

#include <string>

namespace DriverTest {

class Chip : public LampSim::StateFile {
public:
    Chip();
    // The accesses after the first FROM, e.g. "W1 2E=87 R1 2F=0 W4 588=800000".
    std::string log(std::uint64_t from = 0) const;
    // The accesses CALL makes.
    template <typename Call>
    std::string during(Call call)
    {
        const std::uint64_t from = accessCount();
        call();
        return log(from);
    }

private:
    static std::string statePath();
};

} // namespace DriverTest
