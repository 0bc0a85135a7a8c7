// Text forms of what the settings store keeps: the calibration table, the latest-files
// list, fixed wide-character fields and folder paths.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "measure/calibration_types.h"

// The text of a fixed field up to its terminator; a field without one ends at its size.
template <size_t N>
std::u16string_view FieldText(const char16_t (&field)[N]) {
    size_t length = 0;
    while (length < N && field[length] != u'\0') ++length;
    return std::u16string_view(field, length);
}

// Copies as much of `text` as fits before the terminator, never half a surrogate pair.
// Returns false when the text was cut.
bool CopyToField(std::u16string_view text, char16_t* field, size_t fieldChars);
template <size_t N>
bool CopyToField(std::u16string_view text, char16_t (&field)[N]) {
    return CopyToField(text, field, N);
}

// Leading decimal integer as the C library reads one: blanks, a sign, digits; anything
// else ends it, no digits give 0. Out-of-range values saturate.
int32_t LeadingInt32(std::u16string_view text);
// As strtoul: a minus sign negates modulo 2^32, out-of-range values give 0xFFFFFFFF.
uint32_t LeadingUint32(std::u16string_view text);

uint32_t FloatBits(float value);
float FloatFromBits(uint32_t bits);

// Ten entries "name,unit,linePixels,realLengthBits,frameSize,date;", free slots included.
// Names lose any ',' or ';', which would end their entry early on reading.
std::u16string FormatCalibrations(const CalibrationTable& table);
// Resets every slot, then fills them in order until an entry lacks its ';' or a comma.
void ParseCalibrations(std::u16string_view text, CalibrationTable& table);
// The longest text FormatCalibrations can produce.
constexpr size_t kLongestCalibrationsText =
    kCalibrationSlots * ((kCalibrationNameChars - 1) + 5 + 4 * 11 + 10 + 1);

constexpr size_t kLatestFilesWritten = 10;
constexpr size_t kLatestFilesStopLength = 764;
// `list` keeps the newest path last; the text holds paths newest first, each followed by
// ";", at most ten, and starts no path once it is kLatestFilesStopLength long or would
// pass `maxChars`. A path that cannot be read back as itself (empty, or holding ';' or
// NUL) is left out.
std::u16string FormatLatestFiles(const std::vector<std::u16string>& list, size_t maxChars);
// The inverse of FormatLatestFiles: newest last. Text after the last ';' is not a path.
std::vector<std::u16string> LatestFilesFromText(std::u16string_view text);

constexpr char16_t kDefaultImageFolderName[] = u"Tessaloom Files";
constexpr char16_t kThumbnailsFolderName[] = u"Thumbnails";
// "folder\name", with one backslash between them.
std::u16string SubfolderPath(std::u16string_view folder, std::u16string_view name);
// The folders along `path`, outermost first, from the first one below the drive (or below
// the server of a UNC path) to the last. Nullopt for a path without a backslash, and for
// one longer than `maxChars`, which cut to fit would name another folder.
std::optional<std::vector<std::u16string>> FoldersAlongPath(std::u16string_view path,
                                                            size_t maxChars);
