// What the camera settings dialog shows: one row per property the open camera reports, in a
// fixed order, with the text of its value (exposure in seconds).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "capture/camera_properties.h"
#include "panel/section_rules.h"

struct SettingsRowKind {
    PropertyIndex property;
    const char* nameKey;  // text key of the row's label
};
// Every slider property, picture controls first, then the camera controls. Power-line
// frequency has a list of its own.
constexpr int kSettingsRowKindCount = 17;
extern const SettingsRowKind kSettingsRowKinds[kSettingsRowKindCount];

struct SettingsRow {
    PropertyIndex property;
    const char* nameKey;
    bool autoBox;        // the camera offers auto for it
    bool sliderEnabled;  // not in auto
    ValueSlider slider;
};
// The rows of the properties the camera reports, in kSettingsRowKinds order.
std::vector<SettingsRow> SettingsRowsOf(const CameraProperties& properties);

// The camera's log2 seconds as a time: -7 "1/128 s", 0 "1 s", 2 "4 s".
std::u16string ExposureText(int32_t log2Seconds);
// Exposure in seconds, anything else as its number.
std::u16string SettingValueText(PropertyIndex property, int32_t value);
// The Color section's list over the part of the camera's range from 1 up: most cameras
// report 0 (off) .. 2 or 3 (auto), which that list would refuse whole.
FrequencyChoices SettingsPowerLineChoices(const CameraProperty& record);
// The power-line value a list entry of PowerLineChoices stands for (50 Hz 1, 60 Hz 2).
int PowerLineChoiceOfHertz(int32_t hertz);
