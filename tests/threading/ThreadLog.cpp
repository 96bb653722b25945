#include "tests/threading/ThreadLog.h"

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <memory>
#include <fstream>

#include <unistd.h>

namespace {

// Death-test children run this program again and inherit the directory of their parent.
constexpr const char* directoryVariable = "THREADING_TESTS_DIR";
std::unique_ptr<TestSupport::TempDir> ownDirectory;

std::string directory()
{
    const char* dir = std::getenv(directoryVariable);
    return dir ? dir : "";
}

} // namespace

void useOwnLogFile()
{
    if (directory().empty()) {
        ownDirectory = std::make_unique<TestSupport::TempDir>();
        setenv(directoryVariable, ownDirectory->path().c_str(), 1);
    }
    const std::string dir = directory();
    const std::string config = dir + "/log.properties";
    if (ownDirectory) {
        std::ofstream(config) << "log4cpp.rootCategory=ERROR, testlog\n"
                                 "log4cpp.appender.testlog=FileAppender\n"
                                 "log4cpp.appender.testlog.fileName="
                              << dir
                              << "/thread.log\n"
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
    ownDirectory.reset();
}
