#pragma once

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"

#include <chrono>
#include <ctime>
#include <string>

// Real files in a directory of the test's own for the logging tests, beside the shared helpers.
namespace LogTestFiles {

using namespace TestSupport;
void setModificationTime(const std::string& path, std::time_t time);
// The whole content of a gzip file; empty when it cannot be read.
std::string readGzip(const std::string& path);
// "YYYY-MM-DD" of the local day of the time.
std::string localDate(std::time_t time);
// Points the data and configuration folders at the directory (before the first log call).
void useDataHome(const std::string& directory);

} // namespace LogTestFiles
