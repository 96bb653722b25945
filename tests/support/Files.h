#pragma once

#include <string>

namespace TestSupport {

// Where the build put its programs and shared libraries.
std::string binDir();

// The whole file; empty when it cannot be read.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text, unsigned mode = 0644);
// True for anything at the path, a dangling link included.
bool fileExists(const std::string& path);

} // namespace TestSupport
