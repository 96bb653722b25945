#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace Norvik::Tools {

// Writes UTF-8 text to the stream: the bytes as they are, except that a Windows console gets
// the characters, whatever its code page.
void writeText(std::FILE* stream, const std::string& text);

// The arguments after the program name, in UTF-8 (on Windows read again from the wide command
// line, so that no character is lost to the ANSI code page).
std::vector<std::string> commandArguments(int argc, char** argv);

} // namespace Norvik::Tools
