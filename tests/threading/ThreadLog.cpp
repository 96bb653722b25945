#include "ThreadLog.h"

#include "Files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

// Death-test children run this program again and inherit the directory of their parent.
constexpr const char* directoryVariable = "THREADING_TESTS_DIR";
bool ownsDirectory = false;

std::string directory()
{
    const char* dir = std::getenv(directoryVariable);
    return dir ? dir : "";
}

} // namespace

void useOwnLogFile()
{
    if (directory().empty()) {
        const char* base = std::getenv("TMPDIR");
        const std::string dir =
            std::string(base && *base ? base : "/tmp") + "/threading-tests-" + std::to_string(getpid());
        std::filesystem::create_directories(dir);
        setenv(directoryVariable, dir.c_str(), 1);
        ownsDirectory = true;
    }
    const std::string dir = directory();
    const std::string config = dir + "/log.properties";
    if (ownsDirectory) {
        std::ofstream(config) << "log4cpp.rootCategory=ERROR, testlog\n"
                                 "log4cpp.appender.testlog=FileAppender\n"
                                 "log4cpp.appender.testlog.fileName=" << dir << "/thread.log\n"
                                 "log4cpp.appender.testlog.layout=PatternLayout\n"
                                 "log4cpp.appender.testlog.layout.ConversionPattern=%p [%c] %m%n\n";
    }
    setenv("DRV_LOG_CONFIG_FILE", config.c_str(), 1);
}

std::string readOwnLogFile()
{
    return TestSupport::readFile(directory() + "/thread.log");
}

void removeOwnLogFiles()
{
    if (ownsDirectory) {
        std::error_code ignored;
        std::filesystem::remove_all(directory(), ignored);
    }
}
