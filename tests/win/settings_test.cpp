// The settings store against the real registry and file system, in a private key and a
// temporary folder that stands in for the documents folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"

namespace {

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

void DeleteFolderTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                DeleteFolderTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(folder.c_str());
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void CreatePlainFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

bool AnyMatch(const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

class SettingsStoreTest : public testing::Test {
protected:
    void SetUp() override {
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        testKey_ = L"Software\\Tessaloom Test\\" + std::wstring(test.begin(), test.end());
        keyPath_ = testKey_;
        RegDeleteTreeW(HKEY_CURRENT_USER, testKey_.c_str());
        wchar_t temp[MAX_PATH];
        ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
        documents_ = temp + std::wstring(L"tessaloom-settings-") + std::to_wstring(GetCurrentProcessId());
        DeleteFolderTree(documents_);
        ASSERT_TRUE(CreateDirectoryW(documents_.c_str(), nullptr));
        defaultFolder_ = documents_ + L"\\Tessaloom Files";
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, testKey_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tessaloom Test");  // once empty
        DeleteFolderTree(documents_);
        ReplaceLatestFiles({});
        SelectLanguageTexts(kLanguageEnglish);
    }

    void Load() { LoadSettings(keyPath_.c_str(), documents_.c_str()); }
    void Save() { SaveSettings(keyPath_.c_str()); }

    HKEY OpenKey() {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        HKEY key = OpenKey();
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void WriteNumber(const wchar_t* name, DWORD value) {
        WriteRaw(name, REG_DWORD, &value, sizeof value);
    }
    void WriteText(const wchar_t* name, const std::u16string& text) {
        WriteRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
    }
    RawValue ReadRaw(const wchar_t* name) {
        HKEY key = OpenKey();
        RawValue value;
        DWORD size = 0;
        if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
            value.bytes.resize(size);
            RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &size);
        }
        RegCloseKey(key);
        return value;
    }

    std::wstring testKey_;  // removed with everything below it after each test
    std::wstring keyPath_;
    std::wstring documents_;
    std::wstring defaultFolder_;
};

CalibrationRecord Calibration(std::u16string_view name, int32_t pixels, float length) {
    CalibrationRecord record = kFreeCalibration;
    CopyToField(name, record.name);
    record.linePixels = pixels;
    record.realLength = length;
    record.frameSize = (480 << 16) | 640;
    record.date = 20240315;
    record.scale = pixels / length;
    return record;
}

TEST_F(SettingsStoreTest, FirstStartGivesFirstStartValuesAndCreatesTheImageFolder) {
    SelectLanguageTexts(kLanguageJapanese);
    Load();
    EXPECT_EQ(g_settings.language, 0);
    EXPECT_EQ(GetText("device"), u"Device");
    EXPECT_EQ(g_settings.mjpg, 0);
    EXPECT_EQ(g_settings.width, 0);
    EXPECT_EQ(g_settings.height, 0);
    for (ColorRef color : {g_settings.gridColor, g_settings.lineColor, g_settings.textColor}) {
        EXPECT_EQ(color, 0x00FF00u);
    }
    EXPECT_EQ(g_settings.lineWidth, 1);
    EXPECT_EQ(g_settings.textSize, 14);
    EXPECT_EQ(g_settings.jpgPng, 0);
    EXPECT_EQ(g_settings.maxRecordTime, 30);
    for (const CalibrationRecord& record : g_calibrations.slots) {
        EXPECT_EQ(record.name[0], u'\0');
        EXPECT_EQ(record.scale, kNoCalibrationScale);
    }
    EXPECT_TRUE(LatestFiles().empty());
    EXPECT_EQ(std::wstring(AsWide(g_settings.imgDir)), defaultFolder_);
    EXPECT_TRUE(IsFolder(defaultFolder_));
    EXPECT_FALSE(Exists(defaultFolder_ + L"\\Thumbnails"));  // made by saving only
}

TEST_F(SettingsStoreTest, SavedValuesHaveTheirStoredFormsAndLoadBackUnchanged) {
    Load();
    const std::wstring imgDir = documents_ + L"\\missing\\levels\\Pictures";
    CopyToField(AsUtf16(imgDir.c_str()), g_settings.imgDir);
    g_settings.language = kLanguageChinese;
    g_settings.mjpg = 1;
    g_settings.width = 1600;
    g_settings.height = 1200;
    g_settings.interpolated = 1;
    g_settings.gridColor = 0xFFFF00;
    g_settings.lineColor = 0xFF00FF;
    g_settings.lineWidth = 2;
    g_settings.textColor = 0x008080;
    g_settings.textSize = 8;
    g_settings.jpgPng = 1;
    g_settings.maxRecordTime = 28800;
    // Ten long names: far more than the 511 characters the text once had room for.
    for (int i = 0; i < kCalibrationSlots; ++i) {
        const std::u16string name(kCalibrationNameChars - 1, static_cast<char16_t>(u'A' + i));
        g_calibrations.slots[i] = Calibration(name, 1000 + i, 0.1f * (i + 1));
    }
    std::vector<std::u16string> files;
    for (char16_t c = u'a'; c < u'a' + 12; ++c) files.push_back(u"C:\\Pictures\\" + std::u16string(1, c));
    ReplaceLatestFiles(files);
    Save();

    const StoredValues saved = StoredValuesFromSettings(g_settings);
    ASSERT_GT(saved.calibrations->size(), 511u);
    for (const StoredValueSlot& slot : kStoredValueSlots) {
        SCOPED_TRACE(Narrow(slot.name));
        const RawValue raw = ReadRaw(AsWide(slot.name));
        if (slot.number != nullptr) {
            EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
            ASSERT_EQ(raw.bytes.size(), sizeof(DWORD));
            EXPECT_EQ(0, memcmp(raw.bytes.data(), &*(saved.*slot.number), sizeof(DWORD)));
        } else {
            const std::u16string& text = *(saved.*slot.text);
            EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
            ASSERT_EQ(raw.bytes.size(), text.size() * 2 + 2);  // with the terminator
            EXPECT_EQ(0, memcmp(raw.bytes.data(), text.c_str(), raw.bytes.size()));
        }
    }
    HKEY key = OpenKey();
    DWORD subKeys = 0, values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(subKeys, 0u);
    EXPECT_EQ(values, static_cast<DWORD>(kStoredValueCount));
    EXPECT_TRUE(IsFolder(imgDir + L"\\Thumbnails"));

    const CalibrationTable savedTable = g_calibrations;
    g_settings = AppSettings{};
    ParseCalibrations(u"", g_calibrations);
    ReplaceLatestFiles({});
    SelectLanguageTexts(kLanguageEnglish);
    Load();
    const StoredValues loaded = StoredValuesFromSettings(g_settings);
    for (const StoredValueSlot& slot : kStoredValueSlots) {
        if (slot.number != nullptr) {
            EXPECT_EQ(loaded.*slot.number, saved.*slot.number) << Narrow(slot.name);
        } else {
            EXPECT_EQ(loaded.*slot.text, saved.*slot.text) << Narrow(slot.name);
        }
    }
    EXPECT_NE(GetText("device"), u"Device");
    for (int i = 0; i < kCalibrationSlots; ++i) {
        EXPECT_EQ(FieldText(g_calibrations.slots[i].name), FieldText(savedTable.slots[i].name));
        EXPECT_EQ(g_calibrations.slots[i].realLength, savedTable.slots[i].realLength);
        EXPECT_EQ(g_calibrations.slots[i].scale, savedTable.slots[i].scale);
    }
    EXPECT_EQ(LatestFiles(), std::vector<std::u16string>(files.begin() + 2, files.end()));
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeOpenedLeavesTheFallbacks) {
    keyPath_ += L"\\" + std::wstring(300, L'k');  // longer than any key name may be
    Load();
    for (ColorRef color : {g_settings.gridColor, g_settings.lineColor, g_settings.textColor}) {
        EXPECT_EQ(color, 0x0000FFu);
    }
    EXPECT_EQ(g_settings.lineWidth, 2);
    EXPECT_EQ(g_settings.textSize, 12);
    EXPECT_EQ(g_settings.maxRecordTime, 10);
    EXPECT_EQ(g_settings.jpgPng, 0);
    EXPECT_EQ(std::wstring(AsWide(g_settings.imgDir)), defaultFolder_);
    EXPECT_TRUE(IsFolder(defaultFolder_));
}

TEST_F(SettingsStoreTest, AnUnknownLanguageIsKeptAndShowsEnglish) {
    WriteNumber(L"Language", 1);
    Load();
    ASSERT_NE(GetText("device"), u"Device");
    WriteNumber(L"Language", 7);
    Load();
    EXPECT_EQ(g_settings.language, 7);
    EXPECT_EQ(GetText("device"), u"Device");
}

TEST_F(SettingsStoreTest, BrokenValuesTakeTheirDefaultsOrAreCutSafely) {
    const std::u16string entry = u"cal,0,500,1075838976,0,20240315;";
    const std::u16string longCalibrations = entry + std::u16string(5000, u'x');
    const std::u16string longLatest = u"C:\\a.jpg;" + std::u16string(5000, u'y') + u";";
    const uint64_t wide = 2;
    const DWORD gridColor = 0xFF00FF;
    const std::u16string path = u"C:\\Pictures";
    struct Case {
        const char* what;
        const wchar_t* name;
        DWORD type;
        std::vector<BYTE> data;
        std::function<void()> check;
    };
    auto bytes = [](const void* data, size_t size) {
        const BYTE* b = static_cast<const BYTE*>(data);
        return std::vector<BYTE>(b, b + size);
    };
    const Case cases[] = {
        {"number as text", L"TextSize", REG_SZ, bytes(u"20", 6),
         [] { EXPECT_EQ(g_settings.textSize, 14); }},
        {"two-byte number", L"LineWidth", REG_DWORD, bytes(&wide, 2),
         [] { EXPECT_EQ(g_settings.lineWidth, 1); }},
        {"eight-byte number", L"Language", REG_DWORD, bytes(&wide, 8),
         [] { EXPECT_EQ(g_settings.language, 0); }},
        {"quad word", L"MaxRecordTime", REG_QWORD, bytes(&wide, 8),
         [] { EXPECT_EQ(g_settings.maxRecordTime, 30); }},
        {"binary colour", L"GridColor", REG_BINARY, bytes(&gridColor, 4),
         [] { EXPECT_EQ(g_settings.gridColor, 0x00FF00u); }},
        {"folder as number", L"ImgDir", REG_DWORD, bytes(&gridColor, 4),
         [&] {
             EXPECT_EQ(std::wstring(AsWide(g_settings.imgDir)), defaultFolder_);
         }},
        {"folder as expandable text", L"ImgDir", REG_EXPAND_SZ, bytes(u"C:\\x", 10),
         [&] {
             EXPECT_EQ(std::wstring(AsWide(g_settings.imgDir)), defaultFolder_);
         }},
        {"folder without terminator", L"ImgDir", REG_SZ, bytes(path.data(), path.size() * 2),
         [&] { EXPECT_EQ(FieldText(g_settings.imgDir), path); }},
        {"folder of an odd byte count", L"ImgDir", REG_SZ, bytes(path.data(), path.size() * 2 + 1),
         [&] { EXPECT_EQ(FieldText(g_settings.imgDir), path); }},
        {"folder too long for its field", L"ImgDir", REG_SZ,
         bytes(std::u16string(300, u'z').c_str(), 602),
         [&] {
             EXPECT_EQ(std::wstring(AsWide(g_settings.imgDir)), defaultFolder_);
         }},
        {"5,000-character calibrations", L"Calibrations", REG_SZ,
         bytes(longCalibrations.c_str(), longCalibrations.size() * 2 + 2),
         [] {
             EXPECT_EQ(FieldText(g_calibrations.slots[0].name), u"cal");
             EXPECT_EQ(g_calibrations.slots[0].scale, 200.0f);
             EXPECT_EQ(g_calibrations.slots[1].name[0], u'\0');
         }},
        {"calibrations without terminator", L"Calibrations", REG_SZ,
         bytes(entry.data(), entry.size() * 2),
         [] { EXPECT_EQ(g_calibrations.slots[0].scale, 200.0f); }},
        {"5,000-character latest files", L"LatestFiles", REG_SZ,
         bytes(longLatest.c_str(), longLatest.size() * 2 + 2),
         [] {
             EXPECT_EQ(LatestFiles(), std::vector<std::u16string>{u"C:\\a.jpg"});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RegDeleteTreeW(HKEY_CURRENT_USER, keyPath_.c_str());
        WriteRaw(c.name, c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
        Load();
        c.check();
    }
}

TEST_F(SettingsStoreTest, EnsureFolderPathCreatesEveryLevelAndFailsOnAFileInTheWay) {
    const std::wstring blocker = documents_ + L"\\blocker";
    CreatePlainFile(blocker);
    const std::wstring readOnly = documents_ + L"\\read only";
    ASSERT_TRUE(CreateDirectoryW(readOnly.c_str(), nullptr));
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    struct Case {
        std::wstring path;
        bool result;
        std::wstring mustBeFolder;
    } cases[] = {
        {documents_ + L"\\a\\b\\c", true, documents_ + L"\\a\\b\\c"},
        {documents_ + L"\\d\\e\\", true, documents_ + L"\\d\\e"},
        {documents_, true, documents_},
        {blocker, false, L""},
        {blocker + L"\\sub", false, L""},
        {readOnly + L"\\inside", true, readOnly + L"\\inside"},
        {L"no backslash", false, L""},
        {L"", false, L""},
        {documents_ + L"\\" + std::wstring(MAX_PATH, L'x'), false, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        EXPECT_EQ(EnsureFolderPath(c.path.c_str()), c.result);
        if (!c.mustBeFolder.empty()) {
            EXPECT_TRUE(IsFolder(c.mustBeFolder));
        }
    }
    EXPECT_FALSE(IsFolder(blocker));
    EXPECT_EQ(GetFileAttributesW(readOnly.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_FALSE(AnyMatch(documents_ + L"\\x*"));  // not even a shortened one
}

TEST_F(SettingsStoreTest, AnImageFolderThatIsAFileSavesWithoutThumbnails) {
    const std::wstring blocker = documents_ + L"\\photos";
    CreatePlainFile(blocker);
    WriteText(L"ImgDir", AsUtf16(blocker.c_str()));
    Load();
    Save();
    EXPECT_FALSE(IsFolder(blocker));
    EXPECT_FALSE(Exists(blocker + L"\\Thumbnails"));
    EXPECT_EQ(ReadRaw(L"ImgDir").bytes.size(), blocker.size() * 2 + 2);
}

}  // namespace
