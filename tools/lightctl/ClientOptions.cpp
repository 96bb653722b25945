#include "tools/lightctl/ClientOptions.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace Norvik::Tools {

const char* const ClientUsage =
    "usage: lightctl [--port N] [--timeout SECONDS] COLOUR... | off | --json TEXT\n"
    "Switches the signal lamp through the light service on 127.0.0.1.\n"
    "  COLOUR...        red, green and/or blue: these colours on, the others off\n"
    "  off              all colours off\n"
    "  --json TEXT      send TEXT as the request, byte for byte\n"
    "  --port N         service port (default 48888)\n"
    "  --timeout S      seconds to wait for the answer (default 2)\n"
    "Exit status: 0 switched, 1 the service reported a failure, 2 no answer, 64 usage error.\n";

namespace {

std::string lowerCase(std::string word)
{
    for (char& c : word)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

unsigned short parsePort(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || value < 1 || value > 65535)
        throw UsageError("--port needs a number from 1 to 65535: " + text);
    return static_cast<unsigned short>(value);
}

double parseTimeout(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    // A day is more than any answer needs and keeps the millisecond count in range.
    if (text.empty() || *end || errno || !std::isfinite(value) || value <= 0 || value > 86400)
        throw UsageError("--timeout needs a positive number of seconds: " + text);
    return value;
}

} // namespace

std::string lightRequest(bool red, bool green, bool blue)
{
    auto state = [](bool on) { return on ? "true" : "false"; };
    return std::string("{\"red\":") + state(red) + ",\"green\":" + state(green) + ",\"blue\":" + state(blue) + "}";
}

ClientOptions ClientOptions::parse(const std::vector<std::string>& arguments)
{
    ClientOptions options;
    bool json = false, off = false, red = false, green = false, blue = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        } else if (arg == "--json" || arg == "--port" || arg == "--timeout") {
            if (!hasValue)
                throw UsageError(arg + " needs a value");
            const std::string& value = arguments[++i];
            if (arg == "--port") {
                options.port = parsePort(value);
            } else if (arg == "--timeout") {
                options.timeoutSeconds = parseTimeout(value);
            } else {
                if (json)
                    throw UsageError("--json given twice");
                if (value.empty())
                    throw UsageError("--json needs a request text");
                json = true;
                options.request = value;
            }
        } else {
            const std::string word = lowerCase(arg);
            if (word == "red")
                red = true;
            else if (word == "green")
                green = true;
            else if (word == "blue")
                blue = true;
            else if (word == "off")
                off = true;
            else
                throw UsageError("unknown word: " + arg);
        }
    }
    const bool colours = red || green || blue;
    if (json + off + colours > 1)
        throw UsageError("give colours, off or --json, one of them");
    if (!json && !off && !colours)
        throw UsageError("nothing to switch");
    if (!json)
        options.request = lightRequest(red, green, blue);
    return options;
}

} // namespace Norvik::Tools
