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
// What isspace takes in the C locale, as atof skips it.
bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

size_t SkipDigits(std::u16string_view text, size_t i) {
    while (i < text.size() && IsDigit(text[i])) ++i;
    return i;
}

// Length of the decimal number at the start of `text` as atof reads one: a sign, digits with
// at most one '.', at least one digit, then an exponent only if digits follow its 'e'. 0 when
// no number starts there. Never "inf", "nan" or hexadecimal: those are not decimal numbers.
size_t LeadingDecimal(std::u16string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
    const size_t integerStart = i;
    i = SkipDigits(text, i);
    size_t digits = i - integerStart;
    if (i < text.size() && text[i] == u'.') {
        const size_t fractionStart = i + 1;
        i = SkipDigits(text, fractionStart);
        digits += i - fractionStart;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        size_t exponent = i + 1;
        if (exponent < text.size() && (text[exponent] == u'+' || text[exponent] == u'-')) ++exponent;
        const size_t exponentEnd = SkipDigits(text, exponent);
        if (exponentEnd > exponent) i = exponentEnd;
    }
    return i;
}

// "2,5", "1,000" or "1.2.3": atof stops at the separator and would store the part before it.
bool CutAtSeparator(std::u16string_view rest) {
    return rest.size() >= 2 && (rest[0] == u',' || rest[0] == u'.') && IsDigit(rest[1]);
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
    if (text.size() > kLongestLengthText) return false;
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    const size_t numberLength = LeadingDecimal(text);
    if (numberLength == 0 || CutAtSeparator(text.substr(numberLength))) return false;
    char ascii[kLongestLengthText + 1];
    for (size_t i = 0; i < numberLength; ++i) ascii[i] = static_cast<char>(text[i]);
    ascii[numberLength] = '\0';
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
        name.resize(kCalibrationNameMaxChars);
    }
    // The pair was split here, by the limit above or by the edit control's own.
    if (!name.empty() && IsHighSurrogate(name.back())) name.pop_back();
    return name;
}

int32_t CalibrationDate(int year, int month, int day) { return year * 10000 + month * 100 + day; }
