#pragma once

#include <string>
#include <vector>

namespace Norvik::Utils {

// A file path as components; narrow text in the path character set of the platform.
class path {
public:
    enum Type { Windows = 0, Posix = 1 };

    path();
    path(const std::string& text, Type type);

    Type getType() const { return type; }
    bool isAbsolute() const { return absolute; }
    const std::vector<std::string>& getComponents() const { return components; }

    std::string str(Type form) const;
    std::string str() const { return str(type); }

    // Throws std::runtime_error when other is absolute or of another type.
    path operator/(const path& other) const;
    path parentPath() const;
    std::string fileName(bool withExtension = true) const;

private:
    Type type;
    std::vector<std::string> components;
    bool absolute;
};

} // namespace Norvik::Utils
