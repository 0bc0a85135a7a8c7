#include "measure/calibration_texts.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "measure/calibration.h"

namespace {

constexpr int32_t kFirstShownYear = 2020;
constexpr int32_t kSmallestShownWidth = 640;
constexpr int32_t kSmallestShownHeight = 480;
constexpr size_t kLongestLengthText = 63;

std::u16string Widen(const char* ascii) {
    std::u16string text;
    for (const char* p = ascii; *p != '\0'; ++p) text += static_cast<char16_t>(*p);
    return text;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// Digits with at most one '.', at least one digit, then an optional exponent: nothing that
// strtod would read as "inf", "nan" or hexadecimal.
bool IsPlainDecimal(std::u16string_view text) {
    size_t i = 0, digits = 0;
    if (i < text.size() && text[i] == u'+') ++i;
    for (; i < text.size() && IsDigit(text[i]); ++i) ++digits;
    if (i < text.size() && text[i] == u'.') {
        for (++i; i < text.size() && IsDigit(text[i]); ++i) ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
        size_t exponentDigits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i) ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == text.size();
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

CalibrationRowCells CalibrationRow(const CalibrationRecord& record) {
    CalibrationRowCells cells;
    size_t nameLength = 0;
    while (nameLength < kCalibrationNameChars && record.name[nameLength] != u'\0') ++nameLength;
    cells.name.assign(record.name, nameLength);
    if (record.scale > 0.0f) {
        cells.value = FormatScaleColumn(record.scale);
        cells.unit = UnitLabel(record.unit);
    }
    const int32_t year = record.date / 10000;
    if (year >= kFirstShownYear) {
        char date[32];
        std::snprintf(date, sizeof date, "%02d/%02d/%04d", record.date % 10000 / 100,
                      record.date % 100, year);
        cells.date = Widen(date);
    }
    const uint32_t packed = static_cast<uint32_t>(record.frameSize);
    const int32_t width = static_cast<int32_t>(packed & 0xFFFFu);
    const int32_t height = static_cast<int32_t>(packed >> 16);
    if (width >= kSmallestShownWidth && height >= kSmallestShownHeight) {
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", width, height);
        cells.resolution = Widen(size);
    }
    return cells;
}

std::u16string CalibrationDialogTitle(int32_t slot, const CalibrationRecord& record) {
    char prefix[48];
    std::snprintf(prefix, sizeof prefix, "Calibrate - ID:%d Name:", slot + 1);
    return Widen(prefix) + CalibrationRow(record).name;
}

bool ParseTypedLength(std::u16string_view text, float* length) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    if (text.empty() || text.size() > kLongestLengthText || !IsPlainDecimal(text)) return false;
    char ascii[kLongestLengthText + 1];
    for (size_t i = 0; i < text.size(); ++i) ascii[i] = static_cast<char>(text[i]);
    ascii[text.size()] = '\0';
    const float value = static_cast<float>(std::strtod(ascii, nullptr));
    // Subnormal lengths would make the scale overflow.
    if (!std::isfinite(value) || !std::isnormal(value) || value <= 0.0f) return false;
    *length = value;
    return true;
}

bool IsRefusedNameCharacter(char16_t c) { return c == u',' || c == u';'; }

std::u16string CalibrationNameFromEdit(std::u16string_view text) {
    std::u16string name;
    for (char16_t c : text)
        if (!IsRefusedNameCharacter(c)) name += c;
    if (name.size() > static_cast<size_t>(kCalibrationNameMaxChars)) {
        size_t keep = kCalibrationNameMaxChars;
        if (IsHighSurrogate(name[keep - 1])) --keep;
        name.resize(keep);
    }
    return name;
}

int32_t CalibrationDate(int year, int month, int day) { return year * 10000 + month * 100 + day; }
