// Shows the lamp: the light column drawn in the terminal, or one line for scripts. It reads the
// simulated chip, or with --hardware the real output ports through the port-access module, and
// never writes a port, so looking does not switch anything.

#include "tools/lampview/LampDrawing.h"
#include "tools/lampview/LampReader.h"
#include "lampdriver/LampWiring.h"
#include "tools/lampview/ViewOptions.h"
#include "utils/loader/SharedLibrary.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Norvik::Tools;

enum ExitStatus { Shown = 0, Failed = 2, NoPermission = 77 };

volatile std::sig_atomic_t stopRequested = 0;

int fail(const std::string& message)
{
    std::fprintf(stderr, "lampview: %s\n", message.c_str());
    return Failed;
}

// Redraws whenever the lamp changes, until Ctrl+C or a termination request.
void watch(const LampReader& reader, Lamp lamp, int lampType)
{
    std::signal(SIGINT, [](int) { stopRequested = 1; });
    std::signal(SIGTERM, [](int) { stopRequested = 1; });
    while (!stopRequested) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const Lamp now = reader.read();
        if (now != lamp) {
            lamp = now;
            drawLamp(lamp, lampType, reader.source(), true);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    // The port-access module may be named bare (--module WinRing0.dll).
    Norvik::SharedLibrary::restrictSearch();
    ViewOptions options;
    try {
        options = ViewOptions::parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const ViewUsageError& error) {
        if (*error.what() == '\0') {
            std::fputs(ViewUsage, stderr);
            return Failed;
        }
        return fail(error.what());
    }
    if (options.help) {
        std::fputs(ViewUsage, stdout);
        return Shown;
    }
    const BrillLamp::LampWiring* wiring = BrillLamp::ioPortWiring(options.lampType);
    if (!wiring) {
        const std::string type = std::to_string(options.lampType);
        if (options.lampType >= 3 && options.lampType <= 5)
            return fail("lamp type " + type + " is a serial lamp: the chip has no outputs for it");
        return fail("no lamp type " + type + " (0 to 7)");
    }
    try {
        const LampReader reader(options, *wiring);
        const Lamp lamp = reader.read();
        if (options.plain) {
            std::printf("%s\n", plainLine(lamp).c_str());
            return Shown;
        }
        drawLamp(lamp, options.lampType, reader.source(), options.watch);
        if (options.watch)
            watch(reader, lamp, options.lampType);
        return Shown;
    } catch (const PortRefusal& refusal) {
        std::fprintf(stderr, "lampview: %s\n", refusal.what());
        return NoPermission;
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}
