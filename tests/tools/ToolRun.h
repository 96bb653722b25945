#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ToolTest {

struct Run {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
    double seconds = 0;
};

using Environment = std::vector<std::pair<std::string, std::string>>;

// Runs a program of the build to its end, with extra environment variables.
Run run(const std::vector<std::string>& argv, const Environment& env = {});

std::string binDir();

// A scratch directory removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return path + "/" + name; }

private:
    std::string path;
};

} // namespace ToolTest
