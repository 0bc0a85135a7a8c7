#include "settings/settings_text.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

struct LeadingNumber {
    bool negative = false;
    uint64_t magnitude = 0;  // saturates just above 2^32, enough for either result type
};

LeadingNumber ReadLeadingNumber(std::u16string_view text) {
    LeadingNumber number;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) number.negative = text[i++] == u'-';
    constexpr uint64_t kSaturated = uint64_t{1} << 33;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        number.magnitude = std::min(number.magnitude * 10 + (text[i] - u'0'), kSaturated);
    }
    return number;
}

void AppendDecimal(std::u16string& text, int64_t value) {
    char digits[24];
    size_t count = 0;
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) text += u'-';
    while (count > 0) text += static_cast<char16_t>(digits[--count]);
}

void AppendCalibrationName(std::u16string& text, std::u16string_view name) {
    for (char16_t c : name) {
        if (c != u',' && c != u';') text += c;
    }
}

// The six fields of one entry, split at the first five commas; false when one is missing.
bool SplitCalibrationFields(std::u16string_view entry, std::u16string_view (&fields)[6]) {
    for (int i = 0; i < 5; ++i) {
        const size_t comma = entry.find(u',');
        if (comma == std::u16string_view::npos) return false;
        fields[i] = entry.substr(0, comma);
        entry.remove_prefix(comma + 1);
    }
    fields[5] = entry;
    return true;
}

CalibrationRecord CalibrationFromFields(const std::u16string_view (&fields)[6]) {
    CalibrationRecord record = kFreeCalibration;
    CopyToField(fields[0], record.name);
    record.unit = LeadingInt32(fields[1]);
    record.linePixels = LeadingInt32(fields[2]);
    record.realLength = FloatFromBits(LeadingUint32(fields[3]));
    record.frameSize = LeadingInt32(fields[4]);
    record.date = LeadingInt32(fields[5]);
    if (record.realLength > 0.0f) {
        record.scale = static_cast<float>(record.linePixels) / record.realLength;
    }
    return record;
}

bool ReadsBackAsItself(const std::u16string& path) {
    return !path.empty() && path.find_first_of(std::u16string_view(u";\0", 2)) == std::u16string::npos;
}

}  // namespace

bool CopyToField(std::u16string_view text, char16_t* field, size_t fieldChars) {
    if (fieldChars == 0) return text.empty();
    size_t length = std::min(text.size(), fieldChars - 1);
    const bool cut = length < text.size();
    if (cut && length > 0 && IsHighSurrogate(text[length - 1])) --length;
    std::copy_n(text.data(), length, field);
    field[length] = u'\0';
    return !cut;
}

int32_t LeadingInt32(std::u16string_view text) {
    const LeadingNumber number = ReadLeadingNumber(text);
    const int64_t value = number.negative ? -static_cast<int64_t>(number.magnitude)
                                          : static_cast<int64_t>(number.magnitude);
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

uint32_t LeadingUint32(std::u16string_view text) {
    const LeadingNumber number = ReadLeadingNumber(text);
    if (number.magnitude > std::numeric_limits<uint32_t>::max()) {
        return std::numeric_limits<uint32_t>::max();
    }
    const uint32_t magnitude = static_cast<uint32_t>(number.magnitude);
    return number.negative ? 0u - magnitude : magnitude;
}

uint32_t FloatBits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float FloatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::u16string FormatCalibrations(const CalibrationTable& table) {
    std::u16string text;
    for (const CalibrationRecord& record : table.slots) {
        AppendCalibrationName(text, FieldText(record.name));
        for (int64_t value : {int64_t{record.unit}, int64_t{record.linePixels},
                              int64_t{FloatBits(record.realLength)}, int64_t{record.frameSize},
                              int64_t{record.date}}) {
            text += u',';
            AppendDecimal(text, value);
        }
        text += u';';
    }
    return text;
}

void ParseCalibrations(std::u16string_view text, CalibrationTable& table) {
    for (CalibrationRecord& record : table.slots) record = kFreeCalibration;
    for (CalibrationRecord& record : table.slots) {
        const size_t end = text.find(u';');
        if (end == std::u16string_view::npos) return;
        std::u16string_view fields[6];
        if (!SplitCalibrationFields(text.substr(0, end), fields)) return;
        record = CalibrationFromFields(fields);
        text.remove_prefix(end + 1);
    }
}

std::u16string FormatLatestFiles(const std::vector<std::u16string>& list, size_t maxChars) {
    std::u16string text;
    size_t written = 0;
    for (auto path = list.rbegin(); path != list.rend(); ++path) {
        if (written == kLatestFilesWritten || text.size() >= kLatestFilesStopLength) break;
        if (!ReadsBackAsItself(*path)) continue;
        // A path cut short would name another file; this one and older ones stay out.
        if (text.size() + path->size() + 1 > maxChars) break;
        text += *path;
        text += u';';
        ++written;
    }
    return text;
}

std::vector<std::u16string> LatestFilesFromText(std::u16string_view text) {
    std::vector<std::u16string> list;
    for (size_t end = text.find(u';'); end != std::u16string_view::npos; end = text.find(u';')) {
        if (end > 0) list.emplace_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    std::reverse(list.begin(), list.end());
    return list;
}

std::u16string SubfolderPath(std::u16string_view folder, std::u16string_view name) {
    std::u16string path(folder);
    if (path.empty() || path.back() != u'\\') path += u'\\';
    path += name;
    return path;
}

std::optional<std::vector<std::u16string>> FoldersAlongPath(std::u16string_view path,
                                                            size_t maxChars) {
    if (path.size() > maxChars) return std::nullopt;
    size_t end = path.find(u'\\');
    if (end == std::u16string_view::npos) return std::nullopt;
    // "\\server\share": the share is the first folder that can be looked at.
    if (path.substr(0, 2) == u"\\\\") end = path.find(u'\\', 2);
    std::vector<std::u16string> folders;
    while (end != std::u16string_view::npos && end + 1 < path.size()) {
        end = path.find(u'\\', end + 1);
        folders.emplace_back(path.substr(0, end));
    }
    return folders;
}
