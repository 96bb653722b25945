#pragma once

#include <string>
#include <utility>
#include <vector>

namespace TestSupport {

struct ProgramRun {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
    double seconds = 0;
};

// Added to, or replacing entries of, the test's own environment.
using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs a program to its end with its standard input closed, capturing both outputs.
ProgramRun run(const std::vector<std::string>& argv, const Environment& env = {});

} // namespace TestSupport
