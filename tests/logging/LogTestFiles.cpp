#include "LogTestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <utime.h>
#include <vector>
#include <zlib.h>

namespace LogTestFiles {

std::string makeTempDirectory()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/lamplog-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    return buffer.data();
}

void removeTree(const std::string& directory)
{
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

void removeTreeAtExit(const std::string& directory)
{
    static std::vector<std::string> trees;
    if (trees.empty()) {
        std::atexit([] {
            for (const std::string& tree : trees) {
                removeTree(tree);
            }
        });
    }
    trees.push_back(directory);
}

bool isDirectory(const std::string& path)
{
    struct stat status{};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

void setModificationTime(const std::string& path, std::time_t time)
{
    utimbuf times{time, time};
    utime(path.c_str(), &times);
}

std::string readGzip(const std::string& path)
{
    gzFile input = gzopen(path.c_str(), "rb");
    if (!input) {
        return std::string();
    }
    std::string text;
    char block[4096];
    int count;
    while ((count = gzread(input, block, sizeof block)) > 0) {
        text.append(block, static_cast<std::size_t>(count));
    }
    gzclose(input);
    return text;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string localDate(std::time_t time)
{
    std::tm day{};
    localtime_r(&time, &day);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &day);
    return text;
}

void useDataHome(const std::string& directory)
{
    setenv("XDG_DATA_HOME", directory.c_str(), 1);
    unsetenv("DRV_LOG_CONFIG_FILE");
}

} // namespace LogTestFiles
