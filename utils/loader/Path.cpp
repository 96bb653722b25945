#include "utils/loader/Path.h"

#include <cctype>
#include <cstddef>
#include <stdexcept>

namespace Norvik::Utils {

namespace {

const std::string longPathPrefix = "\\\\?\\";
// Longer Windows paths need the long-path prefix to pass the system's MAX_PATH limit.
const std::size_t maxWindowsPath = 260;

bool isSeparator(char c, path::Type type)
{
    return c == '/' || (type == path::Windows && c == '\\');
}

} // namespace

path::path() : type(Windows), absolute(false) {}

path::path(const std::string& text, Type type) : type(type), absolute(false)
{
    std::string rest = text;
    if (type == Windows) {
        if (rest.compare(0, longPathPrefix.size(), longPathPrefix) == 0) {
            rest.erase(0, longPathPrefix.size());
        }
        absolute = rest.size() >= 2 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':';
    } else {
        absolute = !rest.empty() && rest[0] == '/';
    }

    std::string component;
    for (char c : rest) {
        if (isSeparator(c, type)) {
            if (!component.empty()) {
                components.push_back(component);
            }
            component.clear();
        } else {
            component += c;
        }
    }
    if (!component.empty()) {
        components.push_back(component);
    }
}

std::string path::str(Type form) const
{
    std::string text;
    if (absolute && form == Posix) {
        text = "/";
    } else if (absolute && form == Windows) {
        std::size_t length = 0;
        for (const std::string& component : components) {
            length += component.size() + 1;
        }
        if (length > maxWindowsPath) {
            text = longPathPrefix;
        }
    }
    const char separator = form == Posix ? '/' : '\\';
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i != 0) {
            text += separator;
        }
        text += components[i];
    }
    return text;
}

path path::operator/(const path& other) const
{
    if (other.absolute) {
        throw std::runtime_error("path::operator/(): expected a relative path!");
    }
    if (other.type != type) {
        throw std::runtime_error("path::operator/(): expected a path of the same type!");
    }
    path joined = *this;
    joined.components.insert(joined.components.end(), other.components.begin(), other.components.end());
    return joined;
}

path path::parentPath() const
{
    path parent;
    parent.type = type;
    parent.absolute = absolute;
    if (components.empty()) {
        if (!absolute) {
            parent.components.push_back("..");
        }
    } else {
        parent.components.assign(components.begin(), components.end() - 1);
    }
    return parent;
}

std::string path::fileName(bool withExtension) const
{
    if (components.empty()) {
        return std::string();
    }
    const std::string& name = components.back();
    if (withExtension) {
        return name;
    }
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace Norvik::Utils
