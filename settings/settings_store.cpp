#include "settings/settings_store.h"

#include <shlobj.h>

#include <optional>
#include <string>

#include "settings/settings_text.h"
#include "settings/text_tables.h"

namespace {

// Read, write, create sub-key, enumerate and notify rights.
constexpr REGSAM kSettingsKeyAccess = KEY_READ | KEY_WRITE;
static_assert(kSettingsKeyAccess == 0x2001F, "the settings key's access rights");

HKEY OpenSettingsKey(const wchar_t* keyPath) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        kSettingsKeyAccess, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

std::optional<uint32_t> ReadNumber(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

// The stored characters as they are: with or without a terminator, of any length.
std::optional<std::u16string> ReadText(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // The value may grow between sizing and reading; then size again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (type != REG_SZ) return std::nullopt;
        std::u16string text((size + 1) / 2, u'\0');
        DWORD got = static_cast<DWORD>(text.size() * sizeof(char16_t));
        const LSTATUS status = RegQueryValueExW(key, name, nullptr, &type,
                                                reinterpret_cast<BYTE*>(text.data()), &got);
        if (status == ERROR_MORE_DATA) {
            size = got;
            continue;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
        text.resize(got / sizeof(char16_t));
        return text;
    }
    return std::nullopt;
}

StoredValues ReadStoredValues(HKEY key) {
    StoredValues stored;
    for (const StoredValueSlot& slot : kStoredValueSlots) {
        if (slot.number != nullptr) {
            stored.*slot.number = ReadNumber(key, AsWide(slot.name));
        } else {
            stored.*slot.text = ReadText(key, AsWide(slot.name));
        }
    }
    return stored;
}

void WriteStoredValues(HKEY key, const StoredValues& stored) {
    for (const StoredValueSlot& slot : kStoredValueSlots) {
        if (slot.number != nullptr) {
            const DWORD value = (stored.*slot.number).value_or(0);
            RegSetValueExW(key, AsWide(slot.name), 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&value), sizeof value);
        } else {
            const std::u16string& text = (stored.*slot.text).value();
            RegSetValueExW(key, AsWide(slot.name), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
        }
    }
}

std::u16string UserDocumentsFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::u16string();
    }
    return AsUtf16(folder);
}

// Without a documents folder, or when the path would not fit, the image folder stays unset.
void SetDefaultImageFolder(const wchar_t* documentsFolder) {
    const std::u16string documents =
        documentsFolder != nullptr ? std::u16string(AsUtf16(documentsFolder)) : UserDocumentsFolder();
    if (documents.empty()) return;
    if (!CopyToField(SubfolderPath(documents, kDefaultImageFolderName), g_settings.imgDir)) {
        g_settings.imgDir[0] = u'\0';
        return;
    }
    CreateDirectoryW(AsWide(g_settings.imgDir), nullptr);
}

// A folder that exists loses its read-only attribute; anything else standing there fails.
bool EnsureFolder(const wchar_t* folder) {
    DWORD attributes = GetFileAttributesW(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (CreateDirectoryW(folder, nullptr)) return true;
        attributes = GetFileAttributesW(folder);  // someone may have been faster
    }
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(folder, attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    return true;
}

// Follows the key LoadSettings read, so a test's own key gets its own subkey.
std::wstring g_moreKeyPath = std::wstring(kSettingsKeyPath) + L"\\More";

// Reading never creates the subkey: a user who never used a feature keeps a bare key.
HKEY OpenMoreKeyForReading() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, g_moreKeyPath.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

}  // namespace

bool LoadSettings(const wchar_t* keyPath, const wchar_t* documentsFolder) {
    g_moreKeyPath = std::wstring(keyPath) + L"\\More";
    StoredValues stored;
    HKEY key = OpenSettingsKey(keyPath);
    if (key != nullptr) {
        stored = ReadStoredValues(key);
        RegCloseKey(key);
    }
    g_settings = SettingsFromStoredValues(key != nullptr ? &stored : nullptr);
    SelectLanguageTexts(g_settings.language);
    ParseCalibrations(FieldText(g_settings.calibrationsText), g_calibrations);
    ReplaceLatestFiles(LatestFilesFromText(FieldText(g_settings.latestFilesText)));
    if (g_settings.imgDir[0] == u'\0') SetDefaultImageFolder(documentsFolder);
    return true;
}

void SaveSettings(const wchar_t* keyPath) {
    FormatSettingsTexts(g_settings, g_calibrations, LatestFiles());
    HKEY key = OpenSettingsKey(keyPath);
    if (key != nullptr) {
        WriteStoredValues(key, StoredValuesFromSettings(g_settings));
        RegCloseKey(key);
    }
    if (g_settings.imgDir[0] != u'\0') {
        const std::u16string thumbnails =
            SubfolderPath(FieldText(g_settings.imgDir), kThumbnailsFolderName);
        EnsureFolderPath(AsWide(thumbnails.c_str()));
    }
}

bool EnsureFolderPath(const wchar_t* path) {
    const auto folders = FoldersAlongPath(AsUtf16(path), MAX_PATH - 1);
    if (!folders) return false;
    bool allExist = true;
    for (const std::u16string& folder : *folders) {
        allExist = EnsureFolder(AsWide(folder.c_str())) && allExist;
    }
    return allExist;
}

uint32_t ReadMoreNumber(const wchar_t* name, uint32_t fallback) {
    HKEY key = OpenMoreKeyForReading();
    if (key == nullptr) return fallback;
    const std::optional<uint32_t> value = ReadNumber(key, name);
    RegCloseKey(key);
    return value.value_or(fallback);
}

void WriteMoreNumber(const wchar_t* name, uint32_t value) {
    HKEY key = OpenSettingsKey(g_moreKeyPath.c_str());
    if (key == nullptr) return;
    const DWORD stored = value;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored);
    RegCloseKey(key);
}

std::u16string ReadMoreText(const wchar_t* name) {
    HKEY key = OpenMoreKeyForReading();
    if (key == nullptr) return {};
    std::u16string text = ReadText(key, name).value_or(std::u16string());
    RegCloseKey(key);
    // Stored with its terminator; anything after a NUL was never ours.
    const size_t end = text.find(u'\0');
    if (end != std::u16string::npos) text.resize(end);
    return text;
}

void WriteMoreText(const wchar_t* name, const std::u16string& text) {
    HKEY key = OpenSettingsKey(g_moreKeyPath.c_str());
    if (key == nullptr) return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
}
