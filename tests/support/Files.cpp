#include "tests/support/Files.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace TestSupport {

std::string binDir()
{
    return TEST_SUPPORT_BIN_DIR;
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& text, unsigned mode)
{
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << text;
    }
    ::chmod(path.c_str(), mode);
}

bool fileExists(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

void useLogFile(const std::string& file, const std::string& categories, const std::string& pattern)
{
    const std::string config = file + ".properties";
    writeFile(config,
              categories + "log4cpp.appender.file=FileAppender\nlog4cpp.appender.file.fileName=" + file +
                  "\nlog4cpp.appender.file.layout=PatternLayout\n"
                  "log4cpp.appender.file.layout.ConversionPattern=" +
                  pattern + "\n");
    ::setenv("DRV_LOG_CONFIG_FILE", config.c_str(), 1);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        result.push_back(line);
    return result;
}

bool hasLine(const std::string& text, const std::string& line)
{
    const std::vector<std::string> all = lines(text);
    return std::find(all.begin(), all.end(), line) != all.end();
}

int countOf(const std::string& text, const std::string& part)
{
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

} // namespace TestSupport
