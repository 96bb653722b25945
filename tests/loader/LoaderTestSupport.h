#pragma once

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <algorithm>
#include <string>
#include <vector>

namespace LoaderTest {

// A fresh directory of this test process, removed when it (not a forked child) exits.
inline const std::string& scratchDirectory()
{
    static const TestSupport::TempDir scratch;
    return scratch.path();
}

// Where the test tree's lamp libraries lie ("full", "no-init", ...).
inline std::string libraryDirectory(const std::string& variant)
{
    return std::string(LOADER_TEST_LIBS) + "/" + variant;
}

// The lamp library of one of them.
inline std::string lampIn(const std::string& variant)
{
    return libraryDirectory(variant) + "/libBrillLamp.so";
}

inline std::wstring wide(const std::string& ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// Lines that start with prefix, with it removed.
inline std::vector<std::string> withPrefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            found.push_back(line.substr(prefix.size()));
        }
    }
    return found;
}

// The process's log: "DL" at INFO as "<priority> <message>" lines. Must exist before the first
// log call, since it sets DRV_LOG_CONFIG_FILE. newLines gives what was written since the last call.
class LogCapture {
public:
    LogCapture()
    {
        TestSupport::useLogFile(file, "log4cpp.rootCategory=ERROR, file\nlog4cpp.category.DL=INFO, file\n", "%p %m%n");
    }
    std::vector<std::string> newLines()
    {
        const std::string text = TestSupport::readFile(file);
        const std::string fresh = text.substr(std::min(seen, text.size()));
        seen = text.size();
        return TestSupport::lines(fresh);
    }

private:
    std::string file = scratchDirectory() + "/dl.log";
    std::size_t seen = 0;
};

} // namespace LoaderTest
