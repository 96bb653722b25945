#pragma once

#include <string>

namespace BrillLamp {

// The lamp's settings key, under the local machine's part of the registry.
constexpr const wchar_t* SettingsKey = L"SOFTWARE\\BrillDeviceSetting\\1.0\\XDeviceSetting";
constexpr const char* LampTypeValue = "LampType";
constexpr const char* LampComValue = "LampCOM";

// The text stored under the value name; empty when the key or a text value is missing.
std::string readLampSetting(const char* valueName);

} // namespace BrillLamp
