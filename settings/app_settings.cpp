#include "settings/app_settings.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "settings/settings_text.h"

static_assert(kLongestCalibrationsText < kCalibrationsTextChars,
              "every calibration table must fit its text field");

AppSettings g_settings;
CalibrationTable g_calibrations;

namespace {

std::vector<std::u16string> g_latestFiles;

constexpr int32_t kLanguageLimit = 11;
constexpr int32_t kMaxRecordTimeLimit = 28800;

int32_t Signed(uint32_t value) { return static_cast<int32_t>(value); }

void SetFallbacksForMissingStore(AppSettings& s) {
    s.gridColor = s.lineColor = s.textColor = kPaletteRed;
    s.lineWidth = 2;
    s.textSize = 12;
    s.maxRecordTime = 10;
    s.jpgPng = 0;
}

void TakeStoredValues(const StoredValues& stored, AppSettings& s) {
    s.language = Signed(stored.language.value_or(0));
    s.mjpg = Signed(stored.mjpg.value_or(0));
    s.width = Signed(stored.width.value_or(0));
    s.height = Signed(stored.height.value_or(0));
    s.interpolated = Signed(stored.interpolated.value_or(0));
    s.gridColor = stored.gridColor.value_or(0);
    s.lineColor = stored.lineColor.value_or(0);
    s.lineWidth = Signed(stored.lineWidth.value_or(1));
    s.textColor = stored.textColor.value_or(0);
    s.textSize = Signed(stored.textSize.value_or(14));
    s.jpgPng = Signed(stored.jpgPng.value_or(0));
    s.maxRecordTime = Signed(stored.maxRecordTime.value_or(30));

    // Only the part before a NUL is text; a path that does not fit would name another folder.
    auto beforeNul = [](const std::optional<std::u16string>& text) {
        const std::u16string_view whole = text ? std::u16string_view(*text) : std::u16string_view();
        return whole.substr(0, whole.find(u'\0'));
    };
    if (!CopyToField(beforeNul(stored.imgDir), s.imgDir)) s.imgDir[0] = u'\0';
    CopyToField(beforeNul(stored.calibrations), s.calibrationsText);
    CopyToField(beforeNul(stored.latestFiles), s.latestFilesText);
}

int32_t InRangeOr(int32_t value, int32_t low, int32_t high, int32_t otherwise) {
    return value >= low && value <= high ? value : otherwise;
}

ColorRef PaletteColorOrGreen(ColorRef color) {
    return PaletteIndexOf(color) >= 0 ? color : kPaletteGreen;
}

void Validate(AppSettings& s) {
    s.language = InRangeOr(s.language, 0, kLanguageLimit, 0);
    s.gridColor = PaletteColorOrGreen(s.gridColor);
    s.lineColor = PaletteColorOrGreen(s.lineColor);
    s.textColor = PaletteColorOrGreen(s.textColor);
    s.lineWidth = InRangeOr(s.lineWidth, 1, 2, 1);
    s.textSize = InRangeOr(s.textSize, 8, 24, 10);
    s.jpgPng = InRangeOr(s.jpgPng, 0, 1, 0);
    s.maxRecordTime = InRangeOr(s.maxRecordTime, 0, kMaxRecordTimeLimit, 0);
}

}  // namespace

const StoredValueSlot kStoredValueSlots[kStoredValueCount] = {
    {u"Language", &StoredValues::language, nullptr},
    {u"mjpg", &StoredValues::mjpg, nullptr},
    {u"width", &StoredValues::width, nullptr},
    {u"height", &StoredValues::height, nullptr},
    {u"interpolated", &StoredValues::interpolated, nullptr},
    {u"ImgDir", nullptr, &StoredValues::imgDir},
    {u"GridColor", &StoredValues::gridColor, nullptr},
    {u"LineColor", &StoredValues::lineColor, nullptr},
    {u"LineWidth", &StoredValues::lineWidth, nullptr},
    {u"TextColor", &StoredValues::textColor, nullptr},
    {u"TextSize", &StoredValues::textSize, nullptr},
    {u"jpgPng", &StoredValues::jpgPng, nullptr},
    {u"MaxRecordTime", &StoredValues::maxRecordTime, nullptr},
    {u"Calibrations", nullptr, &StoredValues::calibrations},
    {u"LatestFiles", nullptr, &StoredValues::latestFiles},
};

int PaletteIndexOf(ColorRef color) {
    const ColorRef* found = std::find(std::begin(kMeasurePalette), std::end(kMeasurePalette), color);
    return found == std::end(kMeasurePalette) ? -1 : static_cast<int>(found - kMeasurePalette);
}

AppSettings SettingsFromStoredValues(const StoredValues* stored) {
    AppSettings settings{};
    SetFallbacksForMissingStore(settings);
    if (stored != nullptr) TakeStoredValues(*stored, settings);
    Validate(settings);
    return settings;
}

StoredValues StoredValuesFromSettings(const AppSettings& s) {
    StoredValues stored;
    stored.language = static_cast<uint32_t>(s.language);
    stored.mjpg = static_cast<uint32_t>(s.mjpg);
    stored.width = static_cast<uint32_t>(s.width);
    stored.height = static_cast<uint32_t>(s.height);
    stored.interpolated = static_cast<uint32_t>(s.interpolated);
    stored.imgDir = std::u16string(FieldText(s.imgDir));
    stored.gridColor = s.gridColor;
    stored.lineColor = s.lineColor;
    stored.lineWidth = static_cast<uint32_t>(s.lineWidth);
    stored.textColor = s.textColor;
    stored.textSize = static_cast<uint32_t>(s.textSize);
    stored.jpgPng = static_cast<uint32_t>(s.jpgPng);
    stored.maxRecordTime = static_cast<uint32_t>(s.maxRecordTime);
    stored.calibrations = std::u16string(FieldText(s.calibrationsText));
    stored.latestFiles = std::u16string(FieldText(s.latestFilesText));
    return stored;
}

void FormatSettingsTexts(AppSettings& settings, const CalibrationTable& table,
                         const std::vector<std::u16string>& latestFiles) {
    CopyToField(FormatCalibrations(table), settings.calibrationsText);
    CopyToField(FormatLatestFiles(latestFiles, kLatestFilesTextChars - 1), settings.latestFilesText);
}

const std::vector<std::u16string>& LatestFiles() { return g_latestFiles; }

size_t AppendLatestFile(std::u16string_view path) {
    g_latestFiles.emplace_back(path);
    return g_latestFiles.size() - 1;
}

void ReplaceLatestFiles(std::vector<std::u16string> paths) { g_latestFiles = std::move(paths); }
