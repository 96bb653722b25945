#pragma once

#include "utils/loader/Path.h"

#include <string>

// The system's module loader behind DynamicLibrary; one implementation per platform.
namespace Norvik::Utils::Module {

extern const path::Type nativePathType;
// Character set of narrow path text (StringUtils identifier).
extern const int pathCharset;

// "BrillLamp" -> the platform's file name of that library.
std::wstring libraryFileName(const std::wstring& baseName);

// Null on failure; the failure is remembered for lastErrorText on this thread.
void* open(const std::wstring& filePath);
void close(void* handle);
void* symbol(void* handle, const char* name);
// True when no file exists at filePath; that failure is then remembered for lastErrorText.
bool isMissing(const std::wstring& filePath);
std::wstring lastErrorText();

} // namespace Norvik::Utils::Module
