#include "tests/ports/TransportTestSupport.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
    const std::filesystem::path config = logDirectory / "log.properties";
    std::ofstream(config) << "log4cpp.rootCategory=ERROR, file\n"
                             "log4cpp.category.SServer=INFO, file\n"
                             "log4cpp.appender.file=FileAppender\n"
                             "log4cpp.appender.file.fileName="
                          << logFilePath()
                          << "\n"
                             "log4cpp.appender.file.layout=PatternLayout\n"
                             "log4cpp.appender.file.layout.ConversionPattern=%p [%c] %m%n\n";
    ::setenv("DRV_LOG_CONFIG_FILE", config.c_str(), 1);

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
