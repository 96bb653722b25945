#include "utils/loader/DynamicLibrary.h"

#include "utils/logging/Logger.h"
#include "utils/loader/Module.h"
#include "utils/loader/NotLoadedException.h"
#include "utils/loader/Path.h"
#include "utils/text/StringUtils.h"

#include <algorithm>
#include <vector>

namespace Norvik::Utils {

namespace {

const char* const logCategory = "DL";

path toPath(const std::wstring& text)
{
    return path(StringUtils::toNarrow(text, Module::pathCharset), Module::nativePathType);
}

std::wstring toText(const path& value)
{
    return StringUtils::toWide(value.str(Module::nativePathType), Module::pathCharset);
}

std::vector<std::wstring> withoutAdjacentDuplicates(std::vector<std::wstring> entries)
{
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    return entries;
}

} // namespace

DynamicLibrary::DynamicLibrary() : handle(nullptr) {}

DynamicLibrary::~DynamicLibrary()
{
    if (handle != nullptr) {
        Module::close(handle);
    }
}

void DynamicLibrary::unload()
{
    if (isLoaded()) {
        Module::close(handle);
        handle = nullptr;
    }
}

bool DynamicLibrary::isLoaded() const
{
    return handle != nullptr;
}

void DynamicLibrary::load(const std::wstring& directories)
{
    if (isLoaded()) {
        return;
    }
    std::vector<std::wstring> entries = withoutAdjacentDuplicates(StringUtils::split(directories, L";", true));
    if (!directories.empty()) {
        entries.emplace_back();
        entries = withoutAdjacentDuplicates(entries);
    }

    path candidate(std::string(), Module::nativePathType);
    bool loaded = false;
    for (const std::wstring& entry : entries) {
        for (const std::wstring& name : getLibraryNames()) {
            if (name.empty()) {
                continue;
            }
            candidate = toPath(name);
            if (!entry.empty()) {
                candidate = toPath(entry) / candidate;
            }
            if (!isSilent()) {
                Logger::instance().info(logCategory, L"поиск библиотеки %ls", toText(candidate).c_str());
            }
            if (tryLoad(candidate) && bindMethods(candidate)) {
                directory = toText(candidate.parentPath());
                fileName = StringUtils::toWide(candidate.fileName(), Module::pathCharset);
                loaded = true;
                break;
            }
        }
        if (loaded) {
            break;
        }
    }

    if (!loaded) {
        throw NotLoadedException(toText(candidate), describeLoadError(candidate));
    }
    if (!isSilent()) {
        Logger::instance().info(logCategory, L"успешно подключено - %ls", fileName.c_str());
    }
}

void DynamicLibrary::loadFile(const std::wstring& filePath)
{
    if (isLoaded()) {
        return;
    }
    const path candidate = toPath(filePath);
    if (!isSilent()) {
        Logger::instance().info(logCategory, L"поиск библиотеки %ls", toText(candidate).c_str());
    }
    if (!(tryLoad(candidate) && bindMethods(candidate))) {
        throw NotLoadedException(toText(candidate), describeLoadError(candidate));
    }
    directory = toText(candidate.parentPath());
    fileName = StringUtils::toWide(candidate.fileName(), Module::pathCharset);
    if (!isSilent()) {
        Logger::instance().info(logCategory, L"успешно подключено - %ls", fileName.c_str());
    }
}

std::wstring DynamicLibrary::getFileName() const
{
    return fileName;
}

std::wstring DynamicLibrary::getDirectory() const
{
    return directory;
}

bool DynamicLibrary::isSilent() const
{
    return false;
}

void* DynamicLibrary::getMethod(const char* name) const
{
    return isLoaded() ? Module::symbol(handle, name) : nullptr;
}

bool DynamicLibrary::tryLoad(const path& candidate)
{
    const std::wstring text = toText(candidate);
    handle = Module::open(text);
    if (handle != nullptr) {
        return true;
    }
    if (isSilent()) {
        return false;
    }
    // A path holding "%" must reach the log as it is, hence "%ls".
    if (candidate.isAbsolute() && Module::isMissing(text)) {
        Logger::instance().warn(logCategory, L"%ls", describeLoadError(candidate).c_str());
    } else {
        Logger::instance().error(logCategory, L"%ls", describeLoadError(candidate).c_str());
    }
    return false;
}

bool DynamicLibrary::bindMethods(const path& candidate)
{
    try {
        loadMethods();
        return true;
    } catch (const Exception& error) {
        if (!isSilent()) {
            Logger::instance().error(logCategory, L"%ls - ошибка загрузки методов - %ls", toText(candidate).c_str(),
                                     error.getMessage().c_str());
        }
        unload();
        return false;
    }
}

std::wstring DynamicLibrary::describeLoadError(const path& candidate) const
{
    return StringUtils::format(L"%ls - %ls", toText(candidate).c_str(), Module::lastErrorText().c_str());
}

} // namespace Norvik::Utils
