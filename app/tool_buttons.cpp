#include "app/tool_buttons.h"

#include "measure/shapes.h"
#include "resources/resource_ids.h"

namespace {

struct ToolButton {
    int32_t tool;
    int button;
};

constexpr ToolButton kToolButtons[] = {
    {kToolNone, kCmdToolNone},         {kToolLine, kCmdToolLine},
    {kToolParallel, kCmdToolParallel}, {kToolRectangle, kCmdToolRectangle},
    {kToolCircle, kCmdToolCircle},     {kToolConcentric, kCmdToolConcentric},
    {kToolAngle, kCmdToolAngle},       {kToolPencil, kCmdToolPencil},
    {kToolText, kCmdToolText},
};

constexpr uint8_t kPressedAlpha = 180;
constexpr uint8_t kHoverAlpha = 144;
constexpr uint8_t kCheckedAlpha = 96;
constexpr int kHintGap = 2;

}  // namespace

const ToolbarButton kMeasureToolbarButtons[kMeasureToolbarButtonCount] = {
    {kCmdCalibration, 4, 0, 40, "tip calibration"},
    {kCmdCrossline, 58, 0, 80, "tip crossline"},
    {kCmdToolLine, 116, 0, 120, "tip line"},
    {kCmdToolParallel, 168, 0, 160, "tip line2"},
    {kCmdToolRectangle, 220, 0, 200, "tip rectangle"},
    {kCmdToolCircle, 272, 0, 240, "tip circle"},
    {kCmdToolConcentric, 324, 0, 280, "tip circle2"},
    {kCmdToolAngle, 376, 0, 320, "tip angle"},
    {kCmdToolPencil, 428, 0, 360, "tip pencil"},
    {kCmdToolText, 480, 0, 400, "tip text"},
    {kCmdToolNone, 532, 0, 440, "tip drag"},
    {kCmdDeleteLastShape, 592, 0, 480, "tip del last"},
    {kCmdDeleteAllShapes, 644, 0, 520, "tip del all"},
};

const ToolbarButton kCameraToolbarButtons[kCameraToolbarButtonCount] = {
    {kCmdCameraToolbarTop, 4, 0, 0, nullptr},
    {kCmdOpenDevice, 4, 60, 600, "tip open"},
    {kCmdPhoto, 4, 120, 640, "tip image"},
    {kCmdRecordVideo, 4, 174, 680, "tip video"},
    {kCmdQuickBrightness, 4, 234, 720, "tip brightness"},
    {kCmdQuickRatio, 4, 294, 760, "tip ratio"},
    {kCmdQuickSharpness, 4, 348, 800, "tip sharpness"},
    {kCmdQuickContrast, 4, 402, 840, "tip contrast"},
    {kCmdQuickSaturation, 4, 456, 880, "tip saturation"},
    {kCmdQuickGain, 4, 510, 920, "tip gain"},
};

int ToolButtonId(int32_t toolCode) {
    for (const ToolButton& entry : kToolButtons)
        if (entry.tool == toolCode) return entry.button;
    return kCmdToolNone;
}

int32_t ToolOfButton(int buttonId) {
    if (buttonId == kCmdToolText) return -1;
    for (const ToolButton& entry : kToolButtons)
        if (entry.button == buttonId) return entry.tool;
    return -1;
}

bool MeasureToolbarForwards(int id) {
    return id == kCmdCalibration || (id >= kCmdToolLine && id <= kCmdToolNone) ||
           id == kCmdToolConcentric || id == kCmdCrossline;
}

bool CameraToolbarForwards(int id) {
    return id == kCmdOpenDevice || (id >= kCmdSettings && id <= kCmdOpenImageFolder) ||
           id == kCmdCameraToolbarTop || (id >= kCmdQuickBrightness && id <= kCmdQuickGain);
}

uint8_t HighlightAlpha(bool hover, bool pressed, bool checked) {
    if (pressed) return kPressedAlpha;
    if (hover) return kHoverAlpha;
    return checked ? kCheckedAlpha : 0;
}

bool InsideButton(int x, int y, int width, int height) {
    return x > 0 && x < width && y > 0 && y < height;
}

HintPoint HintPosition(int toolbarX, int toolbarY, int x, int y, int width, int height,
                       bool vertical) {
    if (vertical) return {toolbarX + x + width + kHintGap, toolbarY + y};
    return {toolbarX + x, toolbarY + y + height + kHintGap};
}
