#include "tests/threading/ThreadLog.h"

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <cstdlib>
#include <memory>

namespace {

// Death-test children run this program again and inherit the directory and the configuration
// of their parent.
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
        TestSupport::useLogFile(ownDirectory->path() + "/thread.log", "log4cpp.rootCategory=ERROR, file\n",
                                "%p [%c] %m%n");
    }
}

std::string readOwnLogFile()
{
    return TestSupport::readFile(directory() + "/thread.log");
}

void removeOwnLogFiles()
{
    ownDirectory.reset();
}
