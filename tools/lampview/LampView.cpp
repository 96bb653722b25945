// Shows the lamp: the light column drawn in the terminal, or one line for scripts. It reads the
// simulated chip, or with --hardware the real output ports through the port-access module, and
// never writes a port, so looking does not switch anything.

#include "LampSimState.h"
#include "LampWiring.h"
#include "PortModule.h"
#include "ToolConsole.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <thread>

namespace {

constexpr const char* Usage =
    "usage: lampview [--type N] [--state FILE | --hardware [--module PATH]] [--plain | --watch]\n"
    "Shows the lamp wired to the simulated Super I/O chip, or to the real one.\n"
    "  --type N       lamp type whose wiring to read (default 6)\n"
    "  --state FILE   chip state file (default: $LAMPSIM_STATE, else the chip's default file)\n"
    "  --hardware     read the lamp's output ports on this machine (needs root, on Windows an\n"
    "                 administrator; there the default without --state); never writes\n"
    "  --module PATH  port-access module for --hardware (default: the installed one)\n"
    "  --plain        print one line: red=on green=off blue=off\n"
    "  --watch        redraw whenever the lamp changes, until Ctrl+C\n";

// Exit status when the process may not access I/O ports.
constexpr int NoPermission = 77;

volatile std::sig_atomic_t stopRequested = 0;

struct Lamp {
    bool red, green, blue;
    bool operator!=(const Lamp& other) const
    {
        return red != other.red || green != other.green || blue != other.blue;
    }
};

// Reads one output register of the given width in bytes.
using PortReader = std::function<std::uint32_t(unsigned width, std::uint16_t port)>;

Lamp readLamp(const PortReader& read, const BrillLamp::LampWiring& wiring)
{
    auto lit = [&](const BrillLamp::LampOutput& out) {
        return BrillLamp::outputLit(wiring, out, read(wiring.width, out.port));
    };
    return {lit(wiring.red), lit(wiring.green), lit(wiring.blue)};
}

bool isFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFREG;
}

std::string plainLine(const Lamp& lamp)
{
    auto state = [](bool on) { return on ? "on" : "off"; };
    return std::string("red=") + state(lamp.red) + " green=" + state(lamp.green) +
           " blue=" + state(lamp.blue);
}

void draw(const Lamp& lamp, int lampType, const std::string& path, bool clear)
{
    struct Row {
        const char* name;
        bool on;
        const char* litColour;
    } rows[] = {{"red", lamp.red, "\033[1;91m"},
                {"green", lamp.green, "\033[1;92m"},
                {"blue", lamp.blue, "\033[1;94m"}};
    std::string text = clear ? "\033[H\033[2J" : "";
    text += "   \u250c\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2510\n";
    for (const Row& row : rows) {
        const char* colour = row.on ? row.litColour : "\033[2;90m";
        const char* block = row.on ? "\u2588\u2588\u2588\u2588\u2588\u2588\u2588\u2588"
                                   : "\u2591\u2591\u2591\u2591\u2591\u2591\u2591\u2591";
        for (int line = 0; line < 2; ++line) {
            text += std::string("   \u2502") + colour + block + "\033[0m\u2502";
            if (line == 0)
                text += std::string("  ") + row.name + (row.on ? "  on" : "  off");
            text += "\n";
        }
    }
    text += "   \u2514\u2500\u2500\u2500\u252c\u252c\u2500\u2500\u2500\u2518\n";
    text += "       \u2502\u2502\n";
    text += "   lamp type " + std::to_string(lampType) + ", " + path + "\n";
    Norvik::Tools::writeText(stdout, text);
    std::fflush(stdout);
}

int fail(const std::string& message)
{
    std::fprintf(stderr, "lampview: %s\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    int lampType = 6;
    std::string path;
    std::string modulePath;
    bool hardware = false;
    bool plain = false;
    bool watch = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (arg == "--plain") {
            plain = true;
        } else if (arg == "--watch") {
            watch = true;
        } else if (arg == "--hardware") {
            hardware = true;
        } else if ((arg == "--type" || arg == "--state" || arg == "--module") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--state") {
                path = value;
                continue;
            }
            if (arg == "--module") {
                modulePath = value;
                hardware = true;
                continue;
            }
            char* end = nullptr;
            lampType = static_cast<int>(std::strtol(value.c_str(), &end, 10));
            if (value.empty() || *end)
                return fail("--type needs a number: " + value);
        } else {
            std::fputs(Usage, stderr);
            return 2;
        }
    }
    if (plain && watch)
        return fail("--plain and --watch exclude each other");
    if (hardware && !path.empty())
        return fail("--state and --hardware exclude each other");
    if (path.empty() && Norvik::Tools::PortModule::readsByDefault())
        hardware = true;

    const BrillLamp::LampWiring* wiring = BrillLamp::ioPortWiring(lampType);
    if (!wiring) {
        if (lampType >= 3 && lampType <= 5)
            return fail("lamp type " + std::to_string(lampType) +
                        " is a serial lamp: the chip has no outputs for it");
        return fail("no lamp type " + std::to_string(lampType) + " (0 to 7)");
    }

    try {
        std::unique_ptr<LampSim::StateFile> chip;
        std::unique_ptr<Norvik::Tools::PortModule> module;
        PortReader read;
        if (hardware) {
            if (modulePath.empty()) {
                std::string tried;
                for (const std::string& candidate : Norvik::Tools::PortModule::defaultPaths()) {
                    if (isFile(candidate)) {
                        modulePath = candidate;
                        break;
                    }
                    tried += " " + candidate;
                }
                if (modulePath.empty())
                    return fail("no port-access module found (looked for" + tried + "); give --module PATH");
            }
            module = Norvik::Tools::PortModule::open(modulePath);
            if (!module->initialize()) {
                std::fprintf(stderr, "lampview: %s\n", Norvik::Tools::PortModule::refusalText().c_str());
                return NoPermission;
            }
            read = [&module](unsigned width, std::uint16_t port) -> std::uint32_t {
                return width == 4 ? module->readDword(port) : module->readByte(port);
            };
            path = modulePath;
        } else {
            if (path.empty())
                path = LampSim::StateFile::defaultPath();
            chip = std::make_unique<LampSim::StateFile>(path);
            read = [&chip](unsigned width, std::uint16_t port) -> std::uint32_t {
                return width == 4 ? chip->readDword(port) : chip->readByte(port);
            };
        }
        Lamp lamp = readLamp(read, *wiring);
        if (plain) {
            std::printf("%s\n", plainLine(lamp).c_str());
            return 0;
        }
        draw(lamp, lampType, path, watch);
        if (!watch)
            return 0;
        std::signal(SIGINT, [](int) { stopRequested = 1; });
        std::signal(SIGTERM, [](int) { stopRequested = 1; });
        while (!stopRequested) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const Lamp now = readLamp(read, *wiring);
            if (now != lamp) {
                lamp = now;
                draw(lamp, lampType, path, true);
            }
        }
        return 0;
    } catch (const std::exception& error) {
        return fail(error.what());
    }
}
