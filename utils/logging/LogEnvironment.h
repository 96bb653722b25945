#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

struct gzFile_s;

// File-system and console services of the logging front end. The path logic is written once
// (LogEnvironment.cpp); what each platform does its own way is in WindowsLogEnvironment.cpp and
// PosixLogEnvironment.cpp.
namespace Norvik::Utils::LogEnvironment {

// Characters that end a directory part of a path.
extern const wchar_t* const pathSeparators;
// The separator the system writes into the names it builds.
extern const wchar_t directorySeparator;

// Modification stamp in nanoseconds since 1970; 0 when the file cannot be queried.
std::int64_t modificationStamp(const std::wstring& path);
bool isDirectory(const std::wstring& path);
// Creates the directory with all missing parents. Failures are left to the later opens.
void createDirectories(const std::wstring& path);

struct DirectoryEntry {
    std::wstring name;
    bool directory;
    // Not through a link: only such files are rolled over, compressed or purged.
    bool regular;
    std::time_t modified;
};
std::vector<DirectoryEntry> listDirectory(const std::wstring& directory);

bool fileExists(const std::wstring& path);
bool removeFile(const std::wstring& path);
bool renameFile(const std::wstring& from, const std::wstring& to);
// fopen by the wide name; mode as for fopen.
std::FILE* openFile(const std::wstring& path, const char* mode);
// The log file, opened for appending (created when missing) without waiting for a reader or a
// device; null unless it is a regular file.
std::FILE* openLogFile(const std::wstring& path);
bool isRegularFile(const std::wstring& path);
// A path as the file functions take it and back: UTF-8 on Windows; on Linux the bytes as they
// are, those that are not UTF-8 included.
std::string pathBytes(const std::wstring& path);
std::wstring pathFromBytes(const std::string& bytes);
// The configuration file: read shared, written truncating in text mode.
void openInput(std::ifstream& stream, const std::wstring& path);
void openOutput(std::ofstream& stream, const std::wstring& path);
// The narrow form under which libraries that only take narrow names find the file.
std::string nativePath(const std::wstring& path);
// zlib's gzip writer on the wide name, mode "wb"; null on failure.
gzFile_s* openArchive(const std::wstring& path);
// Writes the text to standard output below the C library's stream, whose lock a write that never
// ends would hold against the flush at exit.
void writeConsole(const std::string& text);
// A UTF-8 log line as the console shows it.
std::string toConsoleText(const std::string& utf8);
// The calendar time of the local time zone.
std::tm localTime(std::time_t time);

// The folder the platform keeps users' application data in; empty when it is unknown.
std::wstring dataFolder();
// The value of an environment variable; empty when it is unset.
std::wstring environmentValue(const wchar_t* name);

} // namespace Norvik::Utils::LogEnvironment
