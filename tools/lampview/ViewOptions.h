#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace Norvik::Tools {

// A command line that cannot be carried out. Without a text it is one the usage answers.
class ViewUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ViewOptions {
    bool help = false;
    int lampType = 6;
    std::string statePath; // the chip state file; empty for the default one
    std::string modulePath; // the port-access module; empty to look for the installed one
    bool hardware = false;
    bool plain = false;
    bool watch = false;

    // Raises ViewUsageError.
    static ViewOptions parse(const std::vector<std::string>& arguments);
};

extern const char* const ViewUsage;

} // namespace Norvik::Tools
