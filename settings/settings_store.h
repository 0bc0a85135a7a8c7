// The settings record's persistent form under HKEY_CURRENT_USER, and the folders it names.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

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
// Settings of the features beyond the program's fifteen values, in the subkey "More" of the key
// LoadSettings read. Each is read and written on its own when it changes; a missing or
// malformed value reads as the fallback.
uint32_t ReadMoreNumber(const wchar_t* name, uint32_t fallback);
void WriteMoreNumber(const wchar_t* name, uint32_t value);
std::u16string ReadMoreText(const wchar_t* name);
void WriteMoreText(const wchar_t* name, const std::u16string& text);

// Creates every missing folder along `path`; true when every one now exists as a folder.
bool EnsureFolderPath(const wchar_t* path);

// The settings keep UTF-16 in char16_t; Win32 takes the same units as wchar_t.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide strings are UTF-16");
inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const char16_t* AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
