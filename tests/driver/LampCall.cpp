// Test helper: loads a copy of the lamp driver by path, as the service loads it, and makes the
// calls named on the command line, one result line each.
//   lampcall LIBRARY (init TYPE PORT | auto | close | pause | red-on | ... | yellow-off)...
// "pause" prints "paused" and waits for a line on standard input.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <iostream>
#include <string>

namespace {

using InitCall = bool (*)(int, int);
using AutoCall = bool (*)();
using VoidCall = void (*)();

template <typename Call>
Call entry(void* library, const char* name)
{
    void* address = ::dlsym(library, name);
    if (!address) {
        std::fprintf(stderr, "lampcall: %s missing\n", name);
        std::exit(2);
    }
    Call call;
    std::memcpy(&call, &address, sizeof call);
    return call;
}

std::string exportName(const std::string& command)
{
    const auto dash = command.find('-');
    if (dash == std::string::npos)
        return {};
    std::string colour = command.substr(0, dash);
    const std::string action = command.substr(dash + 1);
    if (action != "on" && action != "off")
        return {};
    colour[0] = static_cast<char>(colour[0] - 'a' + 'A');
    return colour + (action == "on" ? "Open" : "Close") + "BrillLamp";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: lampcall LIBRARY COMMAND...\n");
        return 2;
    }
    void* library = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "lampcall: %s\n", ::dlerror());
        return 2;
    }
    std::cout << std::boolalpha;
    for (int i = 2; i < argc; ++i) {
        const std::string command = argv[i];
        if (command == "init" && i + 2 < argc) {
            const int type = std::atoi(argv[++i]);
            const int port = std::atoi(argv[++i]);
            std::cout << "init=" << entry<InitCall>(library, "InitBrillLamp")(type, port) << std::endl;
        } else if (command == "auto") {
            std::cout << "auto=" << entry<AutoCall>(library, "InitAutoBrillLamp")() << std::endl;
        } else if (command == "close") {
            entry<VoidCall>(library, "CloseConnectBrillLamp")();
            std::cout << "closed" << std::endl;
        } else if (command == "pause") {
            std::cout << "paused" << std::endl;
            std::string line;
            std::getline(std::cin, line);
        } else if (const std::string name = exportName(command); !name.empty()) {
            entry<VoidCall>(library, name.c_str())();
            std::cout << command << std::endl;
        } else {
            std::fprintf(stderr, "lampcall: unknown command %s\n", command.c_str());
            return 2;
        }
    }
    return 0;
}
