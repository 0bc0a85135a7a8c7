// What the calibration dialogs show and accept, decided apart from the windows: the cells of
// a slot's row in the manager, the calibration dialog's title, the typed length and the name.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "measure/calibration_types.h"

struct CalibrationRowCells {
    std::u16string name;
    std::u16string value;       // two decimals; empty for an uncalibrated slot
    std::u16string unit;        // "mm" or "μm"; empty for an uncalibrated slot
    std::u16string date;        // month/day/year; empty before 2020
    std::u16string resolution;  // width x height of the stream; empty below 640 x 480
};
CalibrationRowCells CalibrationRow(const CalibrationRecord& record);

// "Calibrate - ID:<slot + 1> Name:<name>".
std::u16string CalibrationDialogTitle(int32_t slot, const CalibrationRecord& record);

// The length laid under the ruler: a plain decimal number ("2.5", "0.5e1") whose float value is
// finite and above 0. Anything else (words, "inf", "nan", 0, negatives, numbers too large or
// too small for a float, text after the number) is refused.
bool ParseTypedLength(std::u16string_view text, float* length);

// A calibration name is at most this many characters; ',' and ';' would end its entry in the
// stored table early, so names never hold them.
constexpr int kCalibrationNameMaxChars = kCalibrationNameChars - 1;
bool IsRefusedNameCharacter(char16_t c);
// The name as the table keeps it: refused characters dropped, cut to the limit without
// splitting a surrogate pair.
std::u16string CalibrationNameFromEdit(std::u16string_view text);

// year * 10000 + month * 100 + day.
int32_t CalibrationDate(int year, int month, int day);
