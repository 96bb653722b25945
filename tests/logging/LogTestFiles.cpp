#include "tests/logging/LogTestFiles.h"

#include <cstdlib>
#include <utime.h>
#include <zlib.h>

namespace LogTestFiles {

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
