#include "panel/quick_adjust.h"

#include <cstdio>

#include "resources/resource_ids.h"

namespace {

constexpr QuickTarget kTargets[] = {
    {kCmdQuickBrightness, false, kPropBrightness, "brightness", 260},
    {kCmdQuickContrast, false, kPropContrast, "contrast", 425},
    {kCmdQuickSaturation, false, kPropSaturation, "saturation", 480},
    {kCmdQuickSharpness, false, kPropSharpness, "sharpness", 370},
    {kCmdQuickRatio, true, kPropertyCount, "tip ratio", 320},
    {kCmdQuickGain, false, kPropGain, "gain", 530},
};

std::u16string Widen(const char* text) {
    std::u16string wide;
    for (const char* c = text; *c != '\0'; ++c) wide.push_back(static_cast<char16_t>(*c));
    return wide;
}

}  // namespace

const QuickTarget* QuickTargetOf(int command) {
    for (const QuickTarget& target : kTargets)
        if (target.command == command) return &target;
    return nullptr;
}

int RatioStepOf(int zoomPercent) {
    for (int i = 0; i < kRatioStepCount; ++i)
        if (kRatioSteps[i] == zoomPercent) return i;
    return -1;
}

QuickSlider PropertySlider(const CameraProperty& property) {
    return {property.min, property.max, property.value};
}

ValueSlider QuickSliderRange(const QuickSlider& slider) {
    return ValueSliderOf(slider.base, slider.maximum, slider.remembered);
}

int32_t QuickValueAt(const QuickSlider& slider, int32_t position) {
    return ValueAtSliderPosition(slider.base, position);
}

QuickSlider RatioSlider(int zoomPercent, int32_t rememberedStep) {
    const int step = RatioStepOf(zoomPercent);
    return {0, kRatioStepCount - 1, step >= 0 ? step : rememberedStep};
}

std::u16string QuickValueText(const QuickTarget& target, int32_t value) {
    char text[16];
    if (target.ratio) {
        const int step = value < 0 ? 0 : value >= kRatioStepCount ? kRatioStepCount - 1 : value;
        std::snprintf(text, sizeof text, "%d%%", kRatioSteps[step]);
    } else {
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    }
    return Widen(text);
}
