#include "tests/support/Files.h"

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

} // namespace TestSupport
