#pragma once

#include <string>
#include <vector>

namespace Norvik {

// The program's command line: the administrator check, then the mode named by the last word.
class CommandLine {
public:
    enum Word { Dispatcher, Install, Remove, Start, Run, Test, Unknown };

    // arguments[0] is the program; only the last argument counts and case matters.
    static Word select(const std::vector<std::wstring>& arguments);
    // The program result.
    static int run(const std::vector<std::wstring>& arguments);
};

} // namespace Norvik
