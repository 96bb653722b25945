#include "tests/ports/TransportTestSupport.h"

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace Norvik::Ports::Testing {

namespace {
std::filesystem::path logDirectory;
}

std::string logFilePath()
{
    return (logDirectory / "transport.log").string();
}

} // namespace Norvik::Ports::Testing

// The transport logs through the process logger: point it at a configuration of the test's own
// that lets the server's INFO lines through into a file the tests read.
int main(int argc, char** argv)
{
    using namespace Norvik::Ports::Testing;
    const TestSupport::TempDir directory;
    logDirectory = directory.path();
    TestSupport::useLogFile(logFilePath(), "log4cpp.rootCategory=ERROR, file\nlog4cpp.category.SServer=INFO, file\n",
                            "%p [%c] %m%n");

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
