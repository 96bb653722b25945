#if !defined(_WIN32)

// The registry key is a section of an INI file: [SOFTWARE\BrillDeviceSetting\1.0\XDeviceSetting]
// with lines Name=text. Names, like registry names, ignore case.

#include "lampdriver/LampSettings.h"

#include <cstdlib>
#include <fstream>
#include <strings.h>

namespace BrillLamp {

namespace {

constexpr const char* DefaultSettingsFile = "/etc/brilllamp/settings.ini";

std::string sectionHeader()
{
    std::string header = "[";
    for (const wchar_t* c = SettingsKey; *c; ++c)
        header += static_cast<char>(*c);
    return header + "]";
}

} // namespace

std::string readLampSetting(const char* valueName)
{
    const char* path = std::getenv("BRILLLAMP_SETTINGS");
    std::ifstream file(path && *path ? path : DefaultSettingsFile, std::ios::binary);
    const std::string header = sectionHeader();
    const std::string name = valueName;
    bool inSection = false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inSection = ::strcasecmp(line.c_str(), header.c_str()) == 0;
            continue;
        }
        if (inSection && line.size() > name.size() && line[name.size()] == '=' &&
            ::strncasecmp(line.c_str(), name.c_str(), name.size()) == 0)
            return line.substr(name.size() + 1);
    }
    return {};
}

} // namespace BrillLamp

#endif
