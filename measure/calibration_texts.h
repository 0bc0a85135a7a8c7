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

// The length laid under the ruler, read as atof reads a decimal number: leading blanks, the
// number, and whatever follows ignored ("2.5mm" and "2.5 mm" are 2.5). Refused, because they
// would store a wrong or unusable scale: no number (atof's 0), a float value that is not
// finite and normal or not above 0, and a number cut at a separator followed by digits ("2,5"
// would be 2). Hexadecimal, "inf" and "nan" are not decimal numbers and so read as none.
bool ParseTypedLength(std::u16string_view text, float* length);

// A calibration name is at most this many characters; ',' and ';' would end its entry in the
// stored table early, so names never hold them.
constexpr int kCalibrationNameMaxChars = kCalibrationNameChars - 1;
bool IsRefusedNameCharacter(char16_t c);
// The name as the table keeps it: refused characters dropped, cut to the limit, and never
// ending in the high half of a pair whose low half was cut off (here or by the edit control).
std::u16string CalibrationNameFromEdit(std::u16string_view text);

// year * 10000 + month * 100 + day.
int32_t CalibrationDate(int year, int month, int day);
