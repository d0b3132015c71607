// The per-user settings store: integer and text values by section and value name.
//
// On Windows this is the registry branch "software\Mirelon Consulting\Quadrelle\<section>";
// elsewhere an INI file in the user's configuration folder with the same sections and names.
// Reads never fail: a value that is missing, or that cannot be read as the asked type, yields
// the caller's default. Writes return true only once the value has reached the store.
#pragma once

#include <string>

// The names under which the store lives; start-up gives the application the same two names.
inline constexpr const char* kSettingsOrganization = "Mirelon Consulting";
inline constexpr const char* kSettingsApplication = "Quadrelle";

int ReadSettingInt(const char* section, const char* name, int fallback);
std::string ReadSettingString(const char* section, const char* name, const char* fallback);
bool WriteSettingInt(const char* section, const char* name, int value);
bool WriteSettingString(const char* section, const char* name, const char* value);
