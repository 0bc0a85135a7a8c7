// What the overlay draws over the composed picture, decided as plain data: the segments,
// circles, handles, frames and label boxes of every shape, the crossline with its scale and the
// calibration ruler. The Win32 side only draws these lists.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "measure/calibration.h"
#include "measure/shapes.h"

// Colours are COLORREF values (0x00BBGGRR).
struct OverlayStyle {
    uint32_t gridColor = 0x00FF00;
    uint32_t lineColor = 0x0000FF;
    int32_t lineWidth = 1;
    uint32_t textColor = 0x0000FF;
    int32_t textSize = 14;
};

// COLORREF to the opaque GDI+ colour 0xFFRRGGBB.
uint32_t OpaqueArgb(uint32_t colorref);

struct PictureSize {
    int32_t width = 0;
    int32_t height = 0;
};

// Right and bottom are exclusive, as in GDI.
struct OverlayRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const OverlayRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// Drawn from (x1, y1) up to (x2, y2); the GDI pens leave the last pixel out.
struct Segment {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const Segment& o) const {
        return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2;
    }
};

// A full circle, given by the square it is inscribed in.
struct CircleBox {
    int32_t left = 0, top = 0, size = 0;
};

struct HandleBox {
    OverlayRect rect;
    bool filled = false;
};

// One line of text, drawn at the box's top-left corner and clipped to the box.
struct TextBox {
    std::u16string text;
    OverlayRect box;
};

// Size of one line of text in the font the text will be drawn with.
using TextMeasure = std::function<TextSize(std::u16string_view)>;

// A label drawn down and right of (x, y), or up and left of it where it would leave the picture.
TextBox SingleLabel(std::u16string text, int32_t x, int32_t y, PictureSize picture,
                    const TextMeasure& measure);
// One to three stacked lines that flip as one block. Every line is measured, so an empty line
// still counts for the block's height.
std::vector<TextBox> MultiLabel(std::vector<std::u16string> lines, int32_t x, int32_t y,
                                PictureSize picture, const TextMeasure& measure);

// A point's handle clipped to the picture; empty (left >= right) when the point lies too far out.
OverlayRect HandleBoxAt(int32_t x, int32_t y, PictureSize picture);

struct ShapeDrawing {
    std::vector<HandleBox> handles;     // lineBrush: filled or a 1-pixel frame
    std::vector<OverlayRect> frames;    // 1-pixel frames with lineBrush
    std::vector<Segment> measureLines;  // anti-aliased, measurement pen
    std::vector<Segment> thinLines;     // anti-aliased, 1-pixel pen
    std::vector<CircleBox> circles;     // anti-aliased, measurement pen
    std::vector<TextBox> texts;         // label font, text colour
};

enum class ShapeMark { None, Hovered, Selected };
ShapeMark MarkOf(int32_t index, int32_t selectedIndex, int32_t hoveredIndex);

struct ShapeDrawContext {
    PictureSize picture;
    const ActiveCalibration* calibration = nullptr;
    int32_t lineWidth = 1;
    std::u16string_view textPlaceholder;
    TextMeasure measureLabel;  // in the label font
};

// A finished shape of the list.
ShapeDrawing DrawingOfShape(const MeasureShape& shape, ShapeMark mark,
                            const ShapeDrawContext& context);
// The shape being built, drawn as the current tool (not its kind field), never marked, with
// long end bars on a line and a text always framed.
ShapeDrawing DrawingOfShapeInProgress(const MeasureShape& shape, int32_t currentTool,
                                      const ShapeDrawContext& context);

struct CrosslineDrawing {
    std::vector<Segment> lines;  // centre lines and ticks, 1-pixel grid pen
    bool hasValue = false;
    TextBox value;  // the scale step under the first major tick right of the centre
};

// Pixel ticks every 10 pixels without a calibration, ticks in units with the step's value
// otherwise. `measureValue` measures in the font the value text will be drawn with.
CrosslineDrawing DrawingOfCrossline(PictureSize picture, const ActiveCalibration& calibration,
                                    const TextMeasure& measureValue);

struct RulerDrawing {
    Segment line;                  // 2-pixel pen
    std::vector<Segment> details;  // end bars and hover arrows, 1-pixel pen
    TextBox label;                 // label font
};

// The ruler as placed (see PlaceRuler): its line, end bars, "N pixels" and the arrows at the
// end under the mouse.
RulerDrawing DrawingOfRuler(const CalibrationRuler& ruler, PictureSize picture,
                            const TextMeasure& measureLabel);

// The bar is a filled rectangle in the line colour, its label centred above it in the label
// font. Nothing when uncalibrated or when no length fits.
struct ScaleBarDrawing {
    bool shown = false;
    OverlayRect bar;
    TextBox label;
};

ScaleBarDrawing DrawingOfScaleBar(PictureSize picture, const ActiveCalibration& calibration,
                                  const TextMeasure& measureLabel);
