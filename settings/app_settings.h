// The one record of user settings, the calibration table and the latest-files list that
// live beside it, and the conversions between the record and its stored values. Only the
// main thread touches any of them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "measure/calibration_types.h"

using ColorRef = uint32_t;  // 0x00BBGGRR

constexpr size_t kPathChars = 260;  // including the terminator
// Wide enough for any table FormatCalibrations writes, so no calibration is ever cut off.
constexpr size_t kCalibrationsTextChars = 1024;
constexpr size_t kLatestFilesTextChars = 1024;

struct AppSettings {
    int32_t language;      // kLanguageEnglish, kLanguageChinese or kLanguageJapanese
    int32_t mjpg;          // 1: the last opened format was MJPG, 0: YUY2
    int32_t width;         // size of that format, pixels
    int32_t height;
    int32_t interpolated;  // that format's interpolated flag
    char16_t imgDir[kPathChars];  // folder for photos and videos
    ColorRef gridColor;    // rulers and grid
    ColorRef lineColor;    // measurement lines
    ColorRef textColor;    // measurement labels and text
    int32_t lineWidth;     // 1 or 2 pixels
    int32_t textSize;      // 8 to 24
    int32_t jpgPng;        // photo type: 0 JPG, 1 PNG
    int32_t maxRecordTime; // seconds, 0 = no limit
    int32_t splitTime;     // not stored; the record dialog resets it
    char16_t calibrationsText[kCalibrationsTextChars];
    char16_t latestFilesText[kLatestFilesTextChars];
};

extern AppSettings g_settings;
extern CalibrationTable g_calibrations;

constexpr int kPaletteSize = 12;
// The only colours a measurement colour may take, in the order the settings dialog offers.
constexpr ColorRef kMeasurePalette[kPaletteSize] = {
    0x000080, 0x0000FF, 0x008000, 0x00FF00, 0x800000, 0xFF0000,
    0x800080, 0xFF00FF, 0x808000, 0xFFFF00, 0x008080, 0x00FFFF,
};
constexpr ColorRef kPaletteRed = 0x0000FF;
constexpr ColorRef kPaletteGreen = 0x00FF00;
// -1 when the colour is not in the palette.
int PaletteIndexOf(ColorRef color);

// What could be read of each stored value; nullopt when a value could not be read. Texts
// are the stored characters as found, terminator or not.
struct StoredValues {
    std::optional<uint32_t> language, mjpg, width, height, interpolated;
    std::optional<std::u16string> imgDir;
    std::optional<uint32_t> gridColor, lineColor, lineWidth, textColor, textSize, jpgPng,
        maxRecordTime;
    std::optional<std::u16string> calibrations, latestFiles;
};

// One stored value: its name and the member of StoredValues that holds it (exactly one of
// `number` and `text` is set).
struct StoredValueSlot {
    const char16_t* name;
    std::optional<uint32_t> StoredValues::*number;
    std::optional<std::u16string> StoredValues::*text;
};
constexpr int kStoredValueCount = 15;
// In the order values are read and written.
extern const StoredValueSlot kStoredValueSlots[kStoredValueCount];

// The record as loading leaves it before the calibrations are parsed and the default
// folder is chosen. `stored` is null when the store could not be opened at all. An
// "ImgDir" too long for its field counts as unreadable; the two list texts are cut to
// their fields, which costs only entries that would not fit anyway.
AppSettings SettingsFromStoredValues(const StoredValues* stored);
// Every value as it is written; the list texts come from the record's fields.
StoredValues StoredValuesFromSettings(const AppSettings& settings);
// Fills the record's two list texts from the calibration table and the latest-files list.
void FormatSettingsTexts(AppSettings& settings, const CalibrationTable& table,
                         const std::vector<std::u16string>& latestFiles);

// The process-wide latest-files list: full paths, the newest last.
const std::vector<std::u16string>& LatestFiles();
// Returns the new entry's index.
size_t AppendLatestFile(std::u16string_view path);
void ReplaceLatestFiles(std::vector<std::u16string> paths);
