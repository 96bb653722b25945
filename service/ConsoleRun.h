#pragma once

namespace Norvik {

// "run": the request server in the console until Ctrl+C (or SIGTERM, or the console is closed).
class ConsoleRun {
public:
    // The program result: 0 after a clean end, 1 when the server could not be built.
    static int run();
};

} // namespace Norvik
