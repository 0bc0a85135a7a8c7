// What the quick-adjust slider works on: one camera property or the view's display ratio per
// camera-toolbar command, where its pop-up sits, and how slider positions become values.
#pragma once
#include <cstdint>
#include <string>

#include "capture/camera_properties.h"
#include "panel/section_rules.h"

struct QuickTarget {
    int command;
    bool ratio;             // the view's display ratio instead of a camera property
    PropertyIndex property;
    const char* titleKey;
    int screenY;            // the pop-up's top; its left is always kQuickAdjustScreenX
};

constexpr int kQuickAdjustScreenX = 70;
constexpr int kRatioStepCount = 6;
constexpr int kRatioSteps[kRatioStepCount] = {50, 75, 100, 125, 150, 200};

// Null for a command that is no quick-adjust target.
const QuickTarget* QuickTargetOf(int command);
// The step of a zoom percentage, or -1 when it has none.
int RatioStepOf(int zoomPercent);
// The slider's range and where it stands, from the value range and the current value.
struct QuickSlider {
    int32_t base;        // the value at position 0
    int32_t maximum;
    int32_t remembered;  // the value last shown or written
};
QuickSlider PropertySlider(const CameraProperty& property);
// The slider's maximum and the remembered value's position, and the value a position stands
// for: as wide as the Color section's rows, so extreme camera ranges do not wrap.
ValueSlider QuickSliderRange(const QuickSlider& slider);
int32_t QuickValueAt(const QuickSlider& slider, int32_t position);
// Keeps the remembered step when the zoom is none of the steps.
QuickSlider RatioSlider(int zoomPercent, int32_t rememberedStep);
// "%d" for a property, the step's "125%" for the ratio.
std::u16string QuickValueText(const QuickTarget& target, int32_t value);
