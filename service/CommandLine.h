#pragma once

#include <string>
#include <vector>

namespace Norvik {

// The program's command line: the administrator check, then the mode named by the last word.
class CommandLine {
public:
    enum Word { Dispatcher, Install, Remove, Start, Run, Test, Unknown };

    // arguments[0] is the program; only the last argument counts, and it names a word only when it
    // is that word exactly, code unit for code unit (POSIX: bytes; Windows: UTF-16 units).
    static Word select(const std::vector<std::string>& arguments);
    static Word select(const std::vector<std::wstring>& arguments);
    // The program result.
    static int run(Word word);
};

} // namespace Norvik
