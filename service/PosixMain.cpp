#if !defined(_WIN32)

#include "service/CommandLine.h"
#include <csignal>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    // A console that has gone away (a closed pipe, an ended terminal) must not end the service:
    // its writes fail and it serves on.
    std::signal(SIGPIPE, SIG_IGN);
    // The words are compared as they came, byte for byte: no decoding may drop or stop at a byte.
    const std::vector<std::string> arguments(argv, argv + argc);
    return Norvik::CommandLine::run(Norvik::CommandLine::select(arguments));
}

#endif
