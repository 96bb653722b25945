#include "tools/lampview/ViewOptions.h"

#include <cstdlib>

namespace Norvik::Tools {

const char* const ViewUsage =
    "usage: lampview [--type N] [--state FILE | --hardware [--module PATH]] [--plain | --watch]\n"
    "Shows the lamp wired to the simulated Super I/O chip, or to the real one.\n"
    "  --type N       lamp type whose wiring to read (default 6)\n"
    "  --state FILE   chip state file (default: $LAMPSIM_STATE, else the chip's default file)\n"
    "  --hardware     read the lamp's output ports on this machine (needs root, on Windows an\n"
    "                 administrator; there the default without --state); never writes\n"
    "  --module PATH  port-access module for --hardware (default: the installed one)\n"
    "  --plain        print one line: red=on green=off blue=off\n"
    "  --watch        redraw whenever the lamp changes, until Ctrl+C\n";

ViewOptions ViewOptions::parse(const std::vector<std::string>& arguments)
{
    ViewOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        } else if (arg == "--plain") {
            options.plain = true;
        } else if (arg == "--watch") {
            options.watch = true;
        } else if (arg == "--hardware") {
            options.hardware = true;
        } else if ((arg == "--type" || arg == "--state" || arg == "--module") && i + 1 < arguments.size()) {
            const std::string& value = arguments[++i];
            if (arg == "--state") {
                options.statePath = value;
            } else if (arg == "--module") {
                options.modulePath = value;
                options.hardware = true;
            } else {
                char* end = nullptr;
                options.lampType = static_cast<int>(std::strtol(value.c_str(), &end, 10));
                if (value.empty() || *end)
                    throw ViewUsageError("--type needs a number: " + value);
            }
        } else {
            throw ViewUsageError("");
        }
    }
    if (options.plain && options.watch)
        throw ViewUsageError("--plain and --watch exclude each other");
    if (options.hardware && !options.statePath.empty())
        throw ViewUsageError("--state and --hardware exclude each other");
    return options;
}

} // namespace Norvik::Tools
