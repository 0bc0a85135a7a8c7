// The two toolbars' buttons: which command, where, which picture of the strip and which hint
// each has, which commands each toolbar passes on, the tool codes the measurement buttons
// stand for, and the few rules of a button's face and hint.
#pragma once
#include <cstdint>

// The button of a tool code; any code without a button means the Stop-measure button.
int ToolButtonId(int32_t toolCode);
// The tool code of a tool button, or -1 when the id is not a tool button. The Text button is
// not one: choosing text goes through its own checks.
int32_t ToolOfButton(int buttonId);

// Every picture of the strip is this square; the strip holds 27 of them side by side.
constexpr int kToolImageSize = 40;
constexpr int kToolStripImages = 27;
// A button's size when it is created.
constexpr int kToolButtonSize = 52;

struct ToolbarButton {
    int id;
    int x, y;             // in the toolbar
    int imageX;           // offset of the picture in the strip
    const char* hintKey;  // null: no hint
};

constexpr int kMeasureToolbarButtonCount = 13;
constexpr int kCameraToolbarButtonCount = 10;
extern const ToolbarButton kMeasureToolbarButtons[kMeasureToolbarButtonCount];
extern const ToolbarButton kCameraToolbarButtons[kCameraToolbarButtonCount];

// The commands each toolbar passes on to the main window; it ignores any other.
bool MeasureToolbarForwards(int id);
bool CameraToolbarForwards(int id);

// Constant alpha of the green highlight over the face: pressed is strongest, then hover,
// then checked alone; 0 draws no highlight.
uint8_t HighlightAlpha(bool hover, bool pressed, bool checked);

// The mouse is inside only strictly within the edges, so a point on the border counts as out.
bool InsideButton(int x, int y, int width, int height);

struct HintPoint {
    int x, y;
};
// Where the hint goes in the main window's client area, from the toolbar's origin there and
// the button's place and size in the toolbar: right of a vertical toolbar's button, below a
// horizontal one's, 2 pixels apart.
HintPoint HintPosition(int toolbarX, int toolbarY, int x, int y, int width, int height,
                       bool vertical);
