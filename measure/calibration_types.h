// The user's named calibrations: ten fixed slots, kept in the settings store's text form.
#pragma once
#include <cstdint>

constexpr int kCalibrationSlots = 10;
constexpr int kCalibrationNameChars = 20;  // including the terminator

constexpr int32_t kUnitMillimetres = 0;
constexpr int32_t kUnitMicrons = 1;

constexpr float kNoCalibrationScale = -1.0f;

struct CalibrationRecord {
    char16_t name[kCalibrationNameChars];  // empty for a free slot
    int32_t unit;
    int32_t linePixels;
    float realLength;   // in the record's unit
    int32_t frameSize;  // stream width in the low 16 bits, height in the high 16 bits
    int32_t date;       // year * 10000 + month * 100 + day, local time
    float scale;        // pixels per unit, derived; kNoCalibrationScale when realLength <= 0
};

constexpr CalibrationRecord kFreeCalibration = {{}, 0, 0, 0.0f, 0, 0, kNoCalibrationScale};

constexpr int32_t kNoActiveCalibration = -1;

struct CalibrationTable {
    CalibrationRecord slots[kCalibrationSlots];
    int32_t activeIndex = kNoActiveCalibration;  // the slot last applied to the view
    int32_t editIndex = 0;                       // the slot the calibration dialog fills
    int32_t listSelection = 0;                   // the manager's selected row
};
