#pragma once

#include <string>
#include <vector>

namespace TestSupport {

// Where the build put its programs and shared libraries.
std::string binDir();

// The whole file; empty when it cannot be read.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text, unsigned mode = 0644);
// True for anything at the path, a dangling link included.
bool fileExists(const std::string& path);
// Sends this process's log to file through a configuration written beside it: categories are
// log4cpp's category lines, with "file" the appender's name, and pattern the layout's.
void useLogFile(const std::string& file, const std::string& categories, const std::string& pattern);

std::vector<std::string> lines(const std::string& text);
// True when one of the text's lines is line.
bool hasLine(const std::string& text, const std::string& line);
// How often part occurs in text, overlaps included.
int countOf(const std::string& text, const std::string& part);

} // namespace TestSupport
