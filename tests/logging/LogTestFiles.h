#pragma once

#include "Files.h"

#include <chrono>
#include <ctime>
#include <functional>
#include <string>

// Real files in a directory of the test's own for the logging tests.
namespace LogTestFiles {

// A new empty directory under the system's temporary folder; no trailing separator.
std::string makeTempDirectory();
void removeTree(const std::string& directory);
// Removes it at exit, after the Logger (built later) has stopped writing there.
void removeTreeAtExit(const std::string& directory);
using TestSupport::readFile;
using TestSupport::writeFile;
inline bool exists(const std::string& path) { return TestSupport::fileExists(path); }
bool isDirectory(const std::string& path);
void setModificationTime(const std::string& path, std::time_t time);
// The whole content of a gzip file; empty when it cannot be read.
std::string readGzip(const std::string& path);
// Polls until the condition holds or the time is up; returns the last result.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
// "YYYY-MM-DD" of the local day of the time.
std::string localDate(std::time_t time);
// Points the data and configuration folders at the directory (before the first log call).
void useDataHome(const std::string& directory);

} // namespace LogTestFiles
