#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

struct gzFile_s;

// File-system and console services of the logging front end, one implementation per platform
// (WindowsLogEnvironment.cpp, PosixLogEnvironment.cpp).
namespace Norvik::Utils::LogEnvironment {

// Characters that end a directory part of a path.
extern const wchar_t* const pathSeparators;

// Modification stamp in nanoseconds since 1970; 0 when the file cannot be queried.
std::int64_t modificationStamp(const std::wstring& path);
bool isDirectory(const std::wstring& path);
// Creates the directory with all missing parents. Failures are left to the later opens.
void createDirectories(const std::wstring& path);

struct DirectoryEntry {
    std::wstring name;
    bool directory;
    std::time_t modified;
};
std::vector<DirectoryEntry> listDirectory(const std::wstring& directory);

bool fileExists(const std::wstring& path);
bool removeFile(const std::wstring& path);
bool renameFile(const std::wstring& from, const std::wstring& to);
// fopen by the wide name; mode as for fopen.
std::FILE* openFile(const std::wstring& path, const char* mode);
// The configuration file: read shared, written truncating in text mode.
void openInput(std::ifstream& stream, const std::wstring& path);
void openOutput(std::ofstream& stream, const std::wstring& path);
// The narrow form under which libraries that only take narrow names find the file.
std::string nativePath(const std::wstring& path);
// zlib's gzip writer on the wide name, mode "wb"; null on failure.
gzFile_s* openArchive(const std::wstring& path);
// A UTF-8 log line as the console shows it.
std::string toConsoleText(const std::string& utf8);

} // namespace Norvik::Utils::LogEnvironment
