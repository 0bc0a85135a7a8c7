#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "settings/app_settings.h"
#include "settings/settings_text.h"

namespace {

// Reads one field of the record by its stored value's name, independently of the
// production mapping, so a value landing in the wrong field shows.
int64_t FieldByValueName(const AppSettings& s, std::u16string_view name) {
    static const std::map<std::u16string_view, std::function<int64_t(const AppSettings&)>> fields = {
        {u"Language", [](const AppSettings& a) { return a.language; }},
        {u"mjpg", [](const AppSettings& a) { return a.mjpg; }},
        {u"width", [](const AppSettings& a) { return a.width; }},
        {u"height", [](const AppSettings& a) { return a.height; }},
        {u"interpolated", [](const AppSettings& a) { return a.interpolated; }},
        {u"GridColor", [](const AppSettings& a) { return a.gridColor; }},
        {u"LineColor", [](const AppSettings& a) { return a.lineColor; }},
        {u"LineWidth", [](const AppSettings& a) { return a.lineWidth; }},
        {u"TextColor", [](const AppSettings& a) { return a.textColor; }},
        {u"TextSize", [](const AppSettings& a) { return a.textSize; }},
        {u"jpgPng", [](const AppSettings& a) { return a.jpgPng; }},
        {u"MaxRecordTime", [](const AppSettings& a) { return a.maxRecordTime; }},
    };
    return fields.at(name)(s);
}

void SetStoredNumber(StoredValues& stored, std::u16string_view name, uint32_t value) {
    for (const StoredValueSlot& slot : kStoredValueSlots) {
        if (slot.number != nullptr && name == slot.name) {
            stored.*slot.number = value;
            return;
        }
    }
    FAIL() << "no numeric value of that name";
}

// Every numeric value present and valid, and differing from every default.
StoredValues ValidStoredValues() {
    StoredValues stored;
    stored.language = 2;
    stored.mjpg = 1;
    stored.width = 1280;
    stored.height = 960;
    stored.interpolated = 1;
    stored.imgDir = u"D:\\Lab\\Pictures";
    stored.gridColor = 0x800000;
    stored.lineColor = 0xFF00FF;
    stored.lineWidth = 2;
    stored.textColor = 0x008080;
    stored.textSize = 20;
    stored.jpgPng = 1;
    stored.maxRecordTime = 600;
    stored.calibrations = u"";
    stored.latestFiles = u"";
    return stored;
}

std::string Narrow(std::u16string_view text) { return std::string(text.begin(), text.end()); }

TEST(SettingsLoad, StoredValuesAreValidatedOneByOne) {
    struct Case {
        std::u16string_view name;
        uint32_t stored;
        int64_t loaded;
    } cases[] = {
        {u"TextSize", 30, 10},      {u"TextSize", 7, 10},        {u"TextSize", 8, 8},
        {u"TextSize", 24, 24},      {u"TextSize", 25, 10},       {u"LineWidth", 0, 1},
        {u"LineWidth", 3, 1},       {u"LineWidth", 2, 2},        {u"LineWidth", 1, 1},
        {u"Language", 7, 7},        {u"Language", 11, 11},       {u"Language", 12, 0},
        {u"Language", 0xFFFFFFFF, 0}, {u"Language", 1, 1},       {u"jpgPng", 2, 0},
        {u"jpgPng", 1, 1},          {u"jpgPng", 0xFFFFFFFF, 0},  {u"MaxRecordTime", 28801, 0},
        {u"MaxRecordTime", 28800, 28800}, {u"MaxRecordTime", 45, 45}, {u"MaxRecordTime", 0, 0},
        {u"MaxRecordTime", 0xFFFFFFFF, 0}, {u"GridColor", 0x123456, 0x00FF00},
        {u"GridColor", 0xFF00FF, 0xFF00FF}, {u"GridColor", 0x01000080, 0x00FF00},
        {u"LineColor", 0, 0x00FF00}, {u"LineColor", 0x000080, 0x000080},
        {u"TextColor", 0xFFFFFF, 0x00FF00}, {u"TextColor", 0x00FFFF, 0x00FFFF},
        // Values nothing checks pass through as stored, sign included.
        {u"width", 0xFFFFFFFF, -1}, {u"height", 2048, 2048}, {u"mjpg", 5, 5},
        {u"interpolated", 1, 1},
    };
    for (const Case& c : cases) {
        StoredValues stored = ValidStoredValues();
        SetStoredNumber(stored, c.name, c.stored);
        const AppSettings loaded = SettingsFromStoredValues(&stored);
        EXPECT_EQ(FieldByValueName(loaded, c.name), c.loaded)
            << Narrow(c.name) << " stored as " << c.stored;
    }
}

TEST(SettingsLoad, MissingValuesTakeTheirReadFailureDefaultsAndMissingStoreItsFallbacks) {
    struct Case {
        std::u16string_view name;
        int64_t valueMissing;  // the store opened but the value could not be read
        int64_t storeMissing;  // the store could not be opened at all
    } cases[] = {
        {u"Language", 0, 0},          {u"mjpg", 0, 0},           {u"width", 0, 0},
        {u"height", 0, 0},            {u"interpolated", 0, 0},   {u"GridColor", 0x00FF00, 0x0000FF},
        {u"LineColor", 0x00FF00, 0x0000FF}, {u"TextColor", 0x00FF00, 0x0000FF},
        {u"LineWidth", 1, 2},         {u"TextSize", 14, 12},     {u"jpgPng", 0, 0},
        {u"MaxRecordTime", 30, 10},
    };
    const StoredValues nothingRead;
    const AppSettings firstStart = SettingsFromStoredValues(&nothingRead);
    const AppSettings noStore = SettingsFromStoredValues(nullptr);
    for (const Case& c : cases) {
        EXPECT_EQ(FieldByValueName(firstStart, c.name), c.valueMissing) << Narrow(c.name);
        EXPECT_EQ(FieldByValueName(noStore, c.name), c.storeMissing) << Narrow(c.name);
    }
    for (const AppSettings* s : {&firstStart, &noStore}) {
        EXPECT_TRUE(FieldText(s->imgDir).empty());
        EXPECT_TRUE(FieldText(s->calibrationsText).empty());
        EXPECT_TRUE(FieldText(s->latestFilesText).empty());
        EXPECT_EQ(s->splitTime, 0);
    }
}

TEST(SettingsLoad, EveryValueSurvivesAWriteAndRead) {
    StoredValues stored = ValidStoredValues();
    stored.calibrations = u"cal,0,500,1075838976,31458560,20240315;";
    stored.latestFiles = u"C:\\b.jpg;C:\\a.png;";
    const AppSettings loaded = SettingsFromStoredValues(&stored);
    const StoredValues written = StoredValuesFromSettings(loaded);
    for (const StoredValueSlot& slot : kStoredValueSlots) {
        if (slot.number != nullptr) {
            EXPECT_EQ(written.*slot.number, stored.*slot.number) << Narrow(slot.name);
        } else {
            EXPECT_EQ(written.*slot.text, stored.*slot.text) << Narrow(slot.name);
        }
    }
}

TEST(SettingsLoad, StoredTextsAreCutAtNulAndToTheirFields) {
    StoredValues stored = ValidStoredValues();
    stored.imgDir = std::u16string(u"C:\\Pictures\0garbage", 19);
    EXPECT_EQ(FieldText(SettingsFromStoredValues(&stored).imgDir), u"C:\\Pictures");

    const std::u16string longestPath = u"C:\\" + std::u16string(kPathChars - 4, u'p');
    stored.imgDir = longestPath;
    EXPECT_EQ(FieldText(SettingsFromStoredValues(&stored).imgDir), longestPath);
    // One character more would name another folder once cut: it is not taken at all.
    stored.imgDir = longestPath + u"q";
    EXPECT_TRUE(FieldText(SettingsFromStoredValues(&stored).imgDir).empty());

    // 5,000 characters: the field keeps what fits, the entries in it load.
    const std::u16string entry = u"cal,0,500,1075838976,31458560,20240315;";
    stored.calibrations = entry + std::u16string(5000 - entry.size(), u'x');
    const AppSettings loaded = SettingsFromStoredValues(&stored);
    EXPECT_EQ(FieldText(loaded.calibrationsText).size(), kCalibrationsTextChars - 1);
    CalibrationTable table;
    ParseCalibrations(FieldText(loaded.calibrationsText), table);
    EXPECT_EQ(table.slots[0].scale, 200.0f);
    EXPECT_EQ(table.slots[1].scale, kNoCalibrationScale);
}

TEST(Palette, HoldsTwelveDistinctColoursInDialogOrder) {
    EXPECT_EQ(PaletteIndexOf(0x000080), 0);
    EXPECT_EQ(PaletteIndexOf(0x00FF00), 3);
    EXPECT_EQ(PaletteIndexOf(0x00FFFF), 11);
    for (int i = 0; i < kPaletteSize; ++i) EXPECT_EQ(PaletteIndexOf(kMeasurePalette[i]), i);
    EXPECT_EQ(PaletteIndexOf(0x000000), -1);
    EXPECT_EQ(PaletteIndexOf(0xFFFFFF), -1);
}

CalibrationRecord Calibration(std::u16string_view name, int32_t unit, int32_t pixels, float length,
                              int32_t frameSize, int32_t date) {
    CalibrationRecord record = kFreeCalibration;
    CopyToField(name, record.name);
    record.unit = unit;
    record.linePixels = pixels;
    record.realLength = length;
    record.frameSize = frameSize;
    record.date = date;
    record.scale = length > 0 ? pixels / length : kNoCalibrationScale;
    return record;
}

void ExpectSameRecord(const CalibrationRecord& a, const CalibrationRecord& b, int slot) {
    SCOPED_TRACE("slot " + std::to_string(slot));
    EXPECT_EQ(FieldText(a.name), FieldText(b.name));
    EXPECT_EQ(a.unit, b.unit);
    EXPECT_EQ(a.linePixels, b.linePixels);
    EXPECT_EQ(FloatBits(a.realLength), FloatBits(b.realLength));
    EXPECT_EQ(a.frameSize, b.frameSize);
    EXPECT_EQ(a.date, b.date);
    EXPECT_EQ(FloatBits(a.scale), FloatBits(b.scale));
}

constexpr char16_t kFreeEntry[] = u",0,0,0,0,0;";

TEST(CalibrationText, WritesTenEntriesWithTheLengthAsItsFloatBits) {
    CalibrationTable table;
    ParseCalibrations(u"", table);
    table.slots[0] = Calibration(u"Stage 2.5mm", 0, 500, 2.5f, (480 << 16) | 640, 20240315);
    table.slots[2] = Calibration(u"x40", 1, 812, 1.0f, -1, 20231231);
    std::u16string expected = u"Stage 2.5mm,0,500,1075838976,31457920,20240315;";
    expected += kFreeEntry;
    expected += u"x40,1,812,1065353216,-1,20231231;";
    for (int i = 3; i < kCalibrationSlots; ++i) expected += kFreeEntry;
    EXPECT_EQ(FormatCalibrations(table), expected);

    CalibrationTable loaded;
    ParseCalibrations(expected, loaded);
    EXPECT_EQ(loaded.slots[0].realLength, 2.5f);
    EXPECT_EQ(loaded.slots[0].scale, 200.0f);
    for (int i = 0; i < kCalibrationSlots; ++i) ExpectSameRecord(loaded.slots[i], table.slots[i], i);
}

TEST(CalibrationText, ParsingStopsAtTheFirstIncompleteEntry) {
    const std::u16string two = u"a,0,100,1065353216,0,1;b,1,300,1077936128,0,2;";
    struct Case {
        const char* what;
        std::u16string text;
        int loaded;
    } cases[] = {
        {"third entry lacks a comma", two + u"c,0,100,1065353216,0;d,0,1,1065353216,0,4;", 2},
        {"third entry lacks its ';'", two + u"c,0,100,1065353216,0,3", 2},
        {"empty text", u"", 0},
        {"first entry without fields", u"just a name;", 0},
        {"extra commas end up in the date", u"a,0,100,1065353216,0,20240101,7;", 1},
    };
    for (const Case& c : cases) {
        CalibrationTable table;
        for (CalibrationRecord& r : table.slots) r = Calibration(u"stale", 1, 9, 9.0f, 9, 9);
        ParseCalibrations(c.text, table);
        for (int i = 0; i < kCalibrationSlots; ++i) {
            EXPECT_EQ(table.slots[i].name[0] != u'\0', i < c.loaded) << c.what << ", slot " << i;
            if (i >= c.loaded) ExpectSameRecord(table.slots[i], kFreeCalibration, i);
        }
    }
    CalibrationTable table;
    ParseCalibrations(two, table);
    EXPECT_EQ(table.slots[1].scale, 100.0f);  // 1077936128 is 3.0
    ParseCalibrations(u"a,0,100,1065353216,0,20240101,7;", table);
    EXPECT_EQ(table.slots[0].date, 20240101);
}

TEST(CalibrationText, MalformedNumbersReadAsTheirLeadingInteger) {
    struct Case {
        std::u16string_view text;
        int32_t asInt;
        uint32_t asUnsigned;
    } cases[] = {
        {u"", 0, 0},
        {u"abc", 0, 0},
        {u"12px", 12, 12},
        {u" \t-7", -7, 0xFFFFFFF9},
        {u"+5", 5, 5},
        {u"- 5", 0, 0},
        {u"2147483647", 2147483647, 2147483647},
        {u"2147483648", 2147483647, 2147483648u},
        {u"-2147483649", -2147483647 - 1, 2147483647},
        {u"4294967296", 2147483647, 0xFFFFFFFF},
        {u"99999999999999999999999", 2147483647, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LeadingInt32(c.text), c.asInt) << Narrow(c.text);
        EXPECT_EQ(LeadingUint32(c.text), c.asUnsigned) << Narrow(c.text);
    }
}

TEST(CalibrationText, OnlyAPositiveLengthGivesAScale) {
    struct Case {
        const char16_t* text;
        float scale;
    } cases[] = {
        {u"a,0,100,abc,0,0;", kNoCalibrationScale},          // bits 0: length 0
        {u"a,0,100,3212836864,0,0;", kNoCalibrationScale},   // -1.0
        {u"a,0,100,4294967295,0,0;", kNoCalibrationScale},   // NaN
        {u"a,0,100,1056964608,0,0;", 200.0f},                // 0.5
        {u"a,0,-100,1056964608,0,0;", -200.0f},
    };
    for (const Case& c : cases) {
        CalibrationTable table;
        ParseCalibrations(c.text, table);
        EXPECT_EQ(table.slots[0].scale, c.scale) << Narrow(c.text);
    }
}

TEST(CalibrationText, NamesAreCutToTheirFieldAndCannotBreakTheText) {
    CalibrationTable table;
    ParseCalibrations(u"ABCDEFGHIJKLMNOPQRSTUVWXYZ,0,1,1065353216,0,0;", table);
    EXPECT_EQ(FieldText(table.slots[0].name), u"ABCDEFGHIJKLMNOPQRS");
    // A pair of surrogates that would straddle the end is left out whole.
    ParseCalibrations(u"ABCDEFGHIJKLMNOPQR\U0001F52C,0,1,1065353216,0,0;", table);
    EXPECT_EQ(FieldText(table.slots[0].name), u"ABCDEFGHIJKLMNOPQR");

    for (int i = 0; i < kCalibrationSlots; ++i) {
        table.slots[i] = Calibration(u"a,b;c", 0, 100 + i, 1.0f, 0, i);
    }
    CalibrationTable loaded;
    ParseCalibrations(FormatCalibrations(table), loaded);
    for (int i = 0; i < kCalibrationSlots; ++i) {
        EXPECT_EQ(FieldText(loaded.slots[i].name), u"abc");
        EXPECT_EQ(loaded.slots[i].linePixels, 100 + i);
    }
}

TEST(CalibrationText, AFullTableOfLongNamesIsStoredWhole) {
    CalibrationTable table;
    for (int i = 0; i < kCalibrationSlots; ++i) {
        std::u16string name(kCalibrationNameChars - 1, static_cast<char16_t>(u'A' + i));
        table.slots[i] = Calibration(name, -2147483647 - 1, -2147483647 - 1, -1.5e-30f,
                                     -2147483647 - 1, -2147483647 - 1);
    }
    const std::u16string text = FormatCalibrations(table);
    EXPECT_EQ(text.size(), kLongestCalibrationsText);
    EXPECT_GT(text.size(), 511u);

    AppSettings settings{};
    FormatSettingsTexts(settings, table, {});
    EXPECT_EQ(FieldText(settings.calibrationsText), text);
    CalibrationTable loaded;
    ParseCalibrations(FieldText(settings.calibrationsText), loaded);
    for (int i = 0; i < kCalibrationSlots; ++i) ExpectSameRecord(loaded.slots[i], table.slots[i], i);
}

std::vector<std::u16string> Paths(int count, size_t length) {
    std::vector<std::u16string> paths;
    for (int i = 0; i < count; ++i) {
        std::u16string path = u"C:\\" + std::u16string(1, static_cast<char16_t>(u'a' + i));
        path.resize(length, u'_');
        paths.push_back(path);
    }
    return paths;
}

TEST(LatestFilesText, WritesTheNewestTenNewestFirst) {
    const std::vector<std::u16string> list = Paths(15, 8);
    std::u16string expected;
    for (int i = 14; i >= 5; --i) expected += list[i] + u";";
    EXPECT_EQ(FormatLatestFiles(list, kLatestFilesTextChars - 1), expected);

    AppSettings settings{};
    FormatSettingsTexts(settings, {}, list);
    EXPECT_EQ(FieldText(settings.latestFilesText), expected);

    // Read back, the newest is last again, as in the list.
    const std::vector<std::u16string> newest(list.begin() + 5, list.end());
    EXPECT_EQ(LatestFilesFromText(expected), newest);
}

TEST(LatestFilesText, StartsNoPathOnce764CharactersAreWritten) {
    struct Case {
        const char* what;
        std::vector<size_t> lengths;  // oldest first
        size_t written;
    } cases[] = {
        {"763 written: one more starts", {50, 190, 190, 190, 189}, 5},
        {"764 written: stop", {50, 190, 190, 190, 190}, 4},
        {"100-character paths", std::vector<size_t>(12, 100), 8},
    };
    for (const Case& c : cases) {
        std::vector<std::u16string> list;
        for (size_t length : c.lengths) {
            list.push_back(Paths(1, length)[0]);
            list.back()[3] = static_cast<char16_t>(u'a' + list.size());
        }
        const std::u16string text = FormatLatestFiles(list, kLatestFilesTextChars - 1);
        const std::vector<std::u16string> read = LatestFilesFromText(text);
        EXPECT_EQ(read, std::vector<std::u16string>(list.end() - c.written, list.end())) << c.what;
    }
}

TEST(LatestFilesText, PathsThatCannotReadBackAreLeftOut) {
    const std::vector<std::u16string> list = {u"C:\\old.jpg", u"C:\\a;b\\x.jpg", u"",
                                              std::u16string(u"C:\\n\0l.jpg", 10), u"C:\\new.jpg"};
    EXPECT_EQ(FormatLatestFiles(list, 1000), u"C:\\new.jpg;C:\\old.jpg;");
    // A path that would pass the field ends the text instead of being cut.
    EXPECT_EQ(FormatLatestFiles({u"C:\\old.jpg", u"C:\\new.jpg"}, 21), u"C:\\new.jpg;");
}

TEST(LatestFilesText, ReadingSkipsEmptyEntriesAndAnUnterminatedTail) {
    EXPECT_EQ(LatestFilesFromText(u"C:\\c;;C:\\b;C:\\a"),
              (std::vector<std::u16string>{u"C:\\b", u"C:\\c"}));
    EXPECT_TRUE(LatestFilesFromText(u"").empty());
    EXPECT_TRUE(LatestFilesFromText(u"C:\\no terminator").empty());
}

TEST(LatestFilesList, AppendsAtTheEndAndReportsTheIndex) {
    ReplaceLatestFiles({u"C:\\1.jpg"});
    EXPECT_EQ(AppendLatestFile(u"C:\\2.jpg"), 1u);
    EXPECT_EQ(AppendLatestFile(u"C:\\1.jpg"), 2u);  // duplicates stay
    EXPECT_EQ(LatestFiles(),
              (std::vector<std::u16string>{u"C:\\1.jpg", u"C:\\2.jpg", u"C:\\1.jpg"}));
    ReplaceLatestFiles({});
}

TEST(SettingsPaths, SubfolderJoinsWithOneBackslash) {
    EXPECT_EQ(SubfolderPath(u"C:\\Docs", kDefaultImageFolderName), u"C:\\Docs\\Tessaloom Files");
    EXPECT_EQ(SubfolderPath(u"D:\\", kThumbnailsFolderName), u"D:\\Thumbnails");
}

TEST(SettingsPaths, FoldersAlongAPathStartBelowTheRoot) {
    using Folders = std::vector<std::u16string>;
    struct Case {
        std::u16string path;
        std::optional<Folders> folders;
    } cases[] = {
        {u"C:\\a\\b", Folders{u"C:\\a", u"C:\\a\\b"}},
        {u"C:\\a\\b\\", Folders{u"C:\\a", u"C:\\a\\b"}},
        {u"C:\\", Folders{}},
        {u"\\\\server\\share\\photos", Folders{u"\\\\server\\share", u"\\\\server\\share\\photos"}},
        {u"no backslash", std::nullopt},
        {u"", std::nullopt},
        {u"C:\\" + std::u16string(256, u'x'), Folders{u"C:\\" + std::u16string(256, u'x')}},
        {u"C:\\" + std::u16string(257, u'x'), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FoldersAlongPath(c.path, kPathChars - 1), c.folders) << Narrow(c.path);
    }
}

}  // namespace
