// The settings record's persistent form under HKEY_CURRENT_USER, and the folders it names.
#pragma once
#include <windows.h>

#include "settings/app_settings.h"

constexpr wchar_t kSettingsKeyPath[] = L"Software\\Tessaloom";

// Once at start-up, before any window exists: fills g_settings, g_calibrations, the
// latest-files list and the text table, and creates the default image folder when none is
// set. Always succeeds. `documentsFolder` stands in for the user's documents folder when
// given.
bool LoadSettings(const wchar_t* keyPath = kSettingsKeyPath,
                  const wchar_t* documentsFolder = nullptr);
// Writes every value, then makes sure the image folder's "Thumbnails" folder exists.
// Failures are silent.
void SaveSettings(const wchar_t* keyPath = kSettingsKeyPath);
// Creates every missing folder along `path`; true when every one now exists as a folder.
bool EnsureFolderPath(const wchar_t* path);

// The settings keep UTF-16 in char16_t; Win32 takes the same units as wchar_t.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide strings are UTF-16");
inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
