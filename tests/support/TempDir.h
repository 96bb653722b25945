#pragma once

#include <string>

namespace TestSupport {

// A fresh directory under the temporary folder, removed with its contents by the process that
// made it (not by a forked child).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return dir; }
    std::string file(const std::string& name) const { return dir + "/" + name; }
    void write(const std::string& name, const std::string& text) const;
    void copy(const std::string& from, const std::string& name) const;
    void link(const std::string& target, const std::string& name) const;

private:
    std::string dir;
    int owner;
};

} // namespace TestSupport
