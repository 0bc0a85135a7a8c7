#include "panel/camera_settings_rules.h"

#include <cstdio>

const SettingsRowKind kSettingsRowKinds[kSettingsRowKindCount] = {
    {kPropBrightness, "brightness"},
    {kPropContrast, "contrast"},
    {kPropHue, "hue"},
    {kPropSaturation, "saturation"},
    {kPropSharpness, "sharpness"},
    {kPropGamma, "gamma"},
    {kPropColorEnable, "more color enable"},
    {kPropWhiteBalance, "white balance"},
    {kPropBacklight, "more backlight"},
    {kPropGain, "gain"},
    {kPropExposure, "exposure"},
    {kPropFocus, "more focus"},
    {kPropZoom, "more zoom"},
    {kPropIris, "more iris"},
    {kPropPan, "more pan"},
    {kPropTilt, "more tilt"},
    {kPropRoll, "more roll"},
};

namespace {

std::u16string WidenAscii(const char* text) {
    std::u16string wide;
    for (const char* c = text; *c != '\0'; ++c) wide.push_back(static_cast<char16_t>(*c));
    return wide;
}

}  // namespace

std::vector<SettingsRow> SettingsRowsOf(const CameraProperties& properties) {
    std::vector<SettingsRow> rows;
    for (const SettingsRowKind& kind : kSettingsRowKinds) {
        if (!properties.Reported(kind.property)) continue;
        const CameraProperty& p = properties[kind.property];
        rows.push_back({kind.property, kind.nameKey, p.autoCapable != 0, p.autoOn == 0,
                        ValueSliderOf(p.min, p.max, p.value)});
    }
    return rows;
}

std::u16string ExposureText(int32_t log2Seconds) {
    // Beyond 2^62 no 64-bit number holds the time; no camera comes near.
    constexpr int32_t kLargest = 62;
    char text[48];
    if (log2Seconds < -kLargest || log2Seconds > kLargest) {
        std::snprintf(text, sizeof text, "2^%d s", static_cast<int>(log2Seconds));
    } else if (log2Seconds < 0) {
        std::snprintf(text, sizeof text, "1/%llu s", 1ull << -log2Seconds);
    } else {
        std::snprintf(text, sizeof text, "%llu s", 1ull << log2Seconds);
    }
    return WidenAscii(text);
}

std::u16string SettingValueText(PropertyIndex property, int32_t value) {
    if (property == kPropExposure) return ExposureText(value);
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return WidenAscii(text);
}

FrequencyChoices SettingsPowerLineChoices(const CameraProperty& record) {
    CameraProperty fromOne = record;
    if (record.min < 1 && record.step > 0) {
        // The first value of the camera's steps that is 1 or more.
        const int64_t steps = (1 - static_cast<int64_t>(record.min) + record.step - 1) / record.step;
        fromOne.min = ClampedToRange(record, record.min + steps * record.step);
        if (fromOne.min < 1) return {{}, 0};
    }
    return PowerLineChoices(fromOne);
}

int PowerLineChoiceOfHertz(int32_t hertz) { return hertz == 50 ? 0 : 1; }
