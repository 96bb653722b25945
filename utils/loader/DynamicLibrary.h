#pragma once

#include <cstring>
#include <list>
#include <string>

namespace Norvik::Utils {

class path;

// A library bound at run time: found among candidate names and directories, loaded, its entry
// points bound by the derived class. Steps are logged under "DL"; a failed load raises
// NotLoadedException.
class DynamicLibrary {
public:
    DynamicLibrary();
    virtual ~DynamicLibrary();

    virtual void unload();
    virtual bool isLoaded() const;
    // directories: separated by ";"; the empty string leaves the bare names to the system search.
    virtual void load(const std::wstring& directories);
    virtual void loadFile(const std::wstring& filePath);
    virtual std::wstring getFileName() const;
    virtual std::wstring getDirectory() const;

    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

protected:
    virtual void loadMethods() = 0;
    virtual std::list<std::wstring> getLibraryNames() const = 0;
    virtual bool isSilent() const;

    // The address of an export; null when it is missing or nothing is loaded.
    void* getMethod(const char* name) const;
    // The same, as the entry point's own function pointer type.
    template <typename Function>
    Function getMethodAs(const char* name) const
    {
        void* address = getMethod(name);
        Function function;
        static_assert(sizeof function == sizeof address, "entry points must fit a data pointer");
        std::memcpy(&function, &address, sizeof function);
        return function;
    }

private:
    bool tryLoad(const path& candidate);
    bool bindMethods(const path& candidate);
    std::wstring describeLoadError(const path& candidate) const;

    void* handle;
    std::wstring fileName;
    std::wstring directory;
};

} // namespace Norvik::Utils
