#include "measure/overlay_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int32_t kLabelGap = 2;
constexpr int32_t kHandleHalf = 5;
constexpr int32_t kLineBarHalf = 12;
constexpr int32_t kLineBarHalfInProgress = 32;
// A circle's pixel radius is rounded slightly down, so that a radius of x.5 keeps x.
constexpr float kRadiusRounding = 0.49f;

constexpr int32_t kPixelTickSpacing = 10;
constexpr int32_t kPixelTickShort = 4;
constexpr int32_t kPixelTickLong = 9;  // every fifth tick
constexpr int32_t kMajorTick = 20;
constexpr int32_t kMinorTick = 8;
constexpr int32_t kMiddleMinorTick = 14;
constexpr int32_t kMinorTicksPerStep = 9;

constexpr int32_t kRulerBarHalfHeight = 60;
constexpr int32_t kRulerArrowRise = 30;
constexpr int32_t kArrowSize = 4;

int32_t Truncate(double v) { return static_cast<int32_t>(v); }

TextBox BoxAt(std::u16string text, int32_t left, int32_t top, TextSize size) {
    return {std::move(text), {left, top, left + size.cx, top + size.cy}};
}

// Labels of lengths are drawn only with a calibration; an angle needs none.
class ShapeBuilder {
public:
    ShapeBuilder(const ShapeDrawContext& context, ShapeMark mark, bool inProgress)
        : context_(context), mark_(mark), inProgress_(inProgress) {}

    ShapeDrawing Build(const MeasureShape& shape, int32_t kind) {
        switch (kind) {
        case kToolLine: Line(shape); break;
        case kToolParallel: Parallel(shape); break;
        case kToolRectangle: Rectangle(shape); break;
        case kToolCircle: Circle(shape); break;
        case kToolConcentric: Concentric(shape); break;
        case kToolAngle: Angle(shape); break;
        case kToolPencil: Pencil(shape); break;
        case kToolText: Text(shape); break;
        default: break;
        }
        return std::move(out_);
    }

private:
    bool Marked() const { return mark_ != ShapeMark::None; }
    bool Calibrated() const { return context_.calibration->Calibrated(); }
    float Scale() const { return context_.calibration->scale; }
    std::u16string_view Unit() const { return context_.calibration->unitLabel; }

    void Handle(int32_t x, int32_t y) {
        const OverlayRect rect = HandleBoxAt(x, y, context_.picture);
        if (rect.left < rect.right && rect.top < rect.bottom) {
            out_.handles.push_back({rect, mark_ == ShapeMark::Selected});
        }
    }
    void MarkedHandle(int32_t x, int32_t y) {
        if (Marked()) Handle(x, y);
    }
    void Label(std::u16string text, int32_t x, int32_t y) {
        out_.texts.push_back(
            SingleLabel(std::move(text), x, y, context_.picture, context_.measureLabel));
    }
    void Labels(std::vector<std::u16string> lines, int32_t x, int32_t y) {
        for (TextBox& box :
             MultiLabel(std::move(lines), x, y, context_.picture, context_.measureLabel)) {
            out_.texts.push_back(std::move(box));
        }
    }
    void Circle(int32_t cx, int32_t cy, float radius) {
        const int32_t r = Truncate(radius + kRadiusRounding);
        if (r > 0) out_.circles.push_back({cx - r, cy - r, 2 * r});
    }

    void Line(const MeasureShape& s);
    void Parallel(const MeasureShape& s);
    void Rectangle(const MeasureShape& s);
    void Circle(const MeasureShape& s);
    void Concentric(const MeasureShape& s);
    void Angle(const MeasureShape& s);
    void Pencil(const MeasureShape& s);
    void Text(const MeasureShape& s);

    const ShapeDrawContext& context_;
    const ShapeMark mark_;
    const bool inProgress_;
    ShapeDrawing out_;
};

void ShapeBuilder::Line(const MeasureShape& s) {
    MarkedHandle(s.p1x, s.p1y);
    MarkedHandle(s.p2x, s.p2y);
    out_.measureLines.push_back({s.p1x, s.p1y, s.p2x, s.p2y});
    const int32_t half = inProgress_ ? kLineBarHalfInProgress : kLineBarHalf;
    // A bar through an end (x, y) runs from (x - a, y + b) to (x + a, y - b).
    int32_t a = 0, b = 0;
    if (s.p1x == s.p2x) {
        a = half;
    } else if (s.p1y == s.p2y) {
        b = -half;
    } else {
        const double theta = std::atan2(s.p2y - s.p1y, s.p2x - s.p1x);
        a = Truncate(std::sin(theta) * half);
        b = Truncate(std::cos(theta) * half);
    }
    for (const PicturePoint end : {PicturePoint{s.p1x, s.p1y}, PicturePoint{s.p2x, s.p2y}}) {
        out_.thinLines.push_back({end.x - a, end.y + b, end.x + a, end.y - b});
    }
    if (Calibrated()) {
        Label(FormatLengthLabel("", ToUnits(PixelDistance(s.p1x, s.p1y, s.p2x, s.p2y), Scale()),
                                Unit()),
              s.p1x, s.p1y);
    }
}

void ShapeBuilder::Parallel(const MeasureShape& s) {
    MarkedHandle(s.p1x, s.p1y);
    MarkedHandle(s.p2x, s.p2y);
    if (HasThirdPoint(s)) MarkedHandle(s.p3x, s.p3y);
    out_.measureLines.push_back({s.p1x, s.p1y, s.p2x, s.p2y});
    if (!ThirdPartShown(s)) return;
    if (s.p1y == s.p2y) {
        const int32_t half = std::abs(s.p2x - s.p1x) / 2;
        out_.measureLines.push_back({s.p3x, s.p3y, s.p3x, s.p1y});
        out_.measureLines.push_back({s.p3x - half, s.p3y, s.p3x + half, s.p3y});
    } else if (s.p1x == s.p2x) {
        const int32_t half = std::abs(s.p2y - s.p1y) / 2;
        out_.measureLines.push_back({s.p3x, s.p3y, s.p1x, s.p3y});
        out_.measureLines.push_back({s.p3x, s.p3y - half, s.p3x, s.p3y + half});
    } else {
        const double dx = s.p2x - s.p1x, dy = s.p2y - s.p1y;
        const double theta = std::atan2(dy, dx);
        const double c = std::cos(theta), sn = std::sin(theta);
        const double vx = s.p3x - s.p1x, vy = s.p3y - s.p1y;
        const double along = vx * c + vy * sn;  // the foot's position along the base
        out_.thinLines.push_back(
            {s.p3x, s.p3y, s.p1x + Truncate(c * along), s.p1y + Truncate(sn * along)});
        const double halfLength = std::sqrt(dx * dx + dy * dy) * 0.5;
        const int32_t hx = Truncate(c * halfLength), hy = Truncate(sn * halfLength);
        out_.measureLines.push_back({s.p3x - hx, s.p3y - hy, s.p3x + hx, s.p3y + hy});
    }
    if (Calibrated()) {
        const float gap = ParallelGap(s.p1x, s.p1y, s.p2x, s.p2y, s.p3x, s.p3y);
        Label(FormatLengthLabel("D:", ToUnits(gap, Scale()), Unit()), s.p3x, s.p3y);
    }
}

void ShapeBuilder::Rectangle(const MeasureShape& s) {
    MarkedHandle(s.p1x, s.p1y);
    MarkedHandle(s.p2x, s.p2y);
    MarkedHandle(s.p1x, s.p2y);
    MarkedHandle(s.p2x, s.p1y);
    const OverlayRect frame = {std::min(s.p1x, s.p2x), std::min(s.p1y, s.p2y),
                               std::max(s.p1x, s.p2x), std::max(s.p1y, s.p2y)};
    out_.frames.push_back(frame);
    if (context_.lineWidth > 1) {
        out_.frames.push_back({frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1});
    }
    if (Calibrated()) {
        const RectangleFigures f = MeasureRectangle(s.p1x, s.p1y, s.p2x, s.p2y, Scale());
        Labels({FormatRectangleSidesLabel(f.width, f.height, Unit()),
                FormatRectangleAreaLabel(f.area, Unit())},
               frame.left, frame.top);
    }
}

void ShapeBuilder::Circle(const MeasureShape& s) {
    Handle(s.p1x, s.p1y);
    MarkedHandle(s.p2x, s.p2y);
    out_.measureLines.push_back({s.p1x, s.p1y, s.p2x, s.p2y});
    const float radius = PixelDistance(s.p1x, s.p1y, s.p2x, s.p2y);
    Circle(s.p1x, s.p1y, radius);
    if (Calibrated()) {
        const CircleFigures f = MeasureCircle(radius, Scale());
        Labels({FormatLengthLabel("R:", f.radius, Unit()),
                FormatLengthLabel("C:", f.circumference, Unit()),
                FormatCircleAreaLabel(f.area, Unit())},
               s.p1x, s.p1y);
    }
}

void ShapeBuilder::Concentric(const MeasureShape& s) {
    const float inner = PixelDistance(s.p1x, s.p1y, s.p2x, s.p2y);
    Handle(s.p1x, s.p1y);
    if (!OuterCircleShown(s)) {
        MarkedHandle(s.p2x, s.p2y);
        out_.measureLines.push_back({s.p1x, s.p1y, s.p2x, s.p2y});
        Circle(s.p1x, s.p1y, inner);
        if (Calibrated()) {
            Label(FormatLengthLabel("R1:", ToUnits(inner, Scale()), Unit()), s.p1x, s.p1y);
        }
        return;
    }
    const float outer = PixelDistance(s.p1x, s.p1y, s.p3x, s.p3y);
    MarkedHandle(s.p3x, s.p3y);
    out_.measureLines.push_back({s.p1x, s.p1y, s.p3x, s.p3y});
    Circle(s.p1x, s.p1y, inner);
    Circle(s.p1x, s.p1y, outer);
    if (Calibrated()) {
        // The empty third line keeps the block as tall as a circle's label, so both flip alike.
        Labels({FormatLengthLabel("R1:", ToUnits(inner, Scale()), Unit()),
                FormatLengthLabel("R2:", ToUnits(outer, Scale()), Unit()), std::u16string()},
               s.p3x, s.p3y);
    }
}

void ShapeBuilder::Angle(const MeasureShape& s) {
    MarkedHandle(s.p1x, s.p1y);
    MarkedHandle(s.p2x, s.p2y);
    if (HasThirdPoint(s)) MarkedHandle(s.p3x, s.p3y);
    out_.measureLines.push_back({s.p1x, s.p1y, s.p2x, s.p2y});
    if (!ThirdPartShown(s)) return;
    out_.measureLines.push_back({s.p1x, s.p1y, s.p3x, s.p3y});
    Label(FormatAngleLabel(AngleBetweenArms(s.p1x, s.p1y, s.p2x, s.p2y, s.p3x, s.p3y)), s.p1x,
          s.p1y);
}

void ShapeBuilder::Pencil(const MeasureShape& s) {
    if (s.points.size() < 2) return;
    MarkedHandle(s.points.front().x, s.points.front().y);
    MarkedHandle(s.points.back().x, s.points.back().y);
    for (size_t i = 1; i < s.points.size(); ++i) {
        out_.measureLines.push_back(
            {s.points[i - 1].x, s.points[i - 1].y, s.points[i].x, s.points[i].y});
    }
}

void ShapeBuilder::Text(const MeasureShape& s) {
    std::u16string shown(ShownText(s, context_.textPlaceholder));
    const TextSize size = context_.measureLabel(shown);
    const OverlayRect box = {s.p1x + kLabelGap, s.p1y + kLabelGap, s.p1x + size.cx + 2 * kLabelGap,
                             s.p1y + size.cy + 2 * kLabelGap};
    if (Marked() || inProgress_) out_.frames.push_back(box);
    out_.texts.push_back({std::move(shown), box});
}

// A tick across an axis: `vertical` ticks cross the vertical centre line at y = `at` and run
// horizontally from centre + from to centre + to; the others cross the horizontal line.
void AddTick(std::vector<Segment>& lines, bool vertical, int32_t at, int32_t centre, int32_t from,
             int32_t to) {
    if (vertical) {
        lines.push_back({centre + from, at, centre + to, at});
    } else {
        lines.push_back({at, centre + from, at, centre + to});
    }
}

void PixelTicks(CrosslineDrawing& out, PictureSize p) {
    // Ticks lie left of the vertical line and above the horizontal one.
    auto axis = [&out](bool vertical, int32_t extent, int32_t across) {
        const int32_t centre = extent / 2;
        for (int32_t i = 1; i < extent / 20; ++i) {
            const int32_t len = i % 5 == 0 ? kPixelTickLong : kPixelTickShort;
            AddTick(out.lines, vertical, centre - kPixelTickSpacing * i, across, -len, 0);
            AddTick(out.lines, vertical, centre + kPixelTickSpacing * i, across, -len, 0);
        }
    };
    axis(true, p.height, p.width / 2);
    axis(false, p.width, p.height / 2);
}

// Major ticks every step out from the centre along one axis, each with nine minor ticks on its
// side towards the centre. `extent` is the picture's size along the axis. Calibrated ticks
// stand right of the vertical line and above the horizontal one.
void CalibratedAxis(std::vector<Segment>& lines, bool vertical, int32_t extent,
                    int32_t centreAcross, int32_t step) {
    const int32_t centre = extent / 2;
    const int32_t steps = centre / step + 1;
    auto tick = [&](int32_t at, int32_t len) {
        if (vertical) {
            AddTick(lines, true, at, centreAcross, 0, len);
        } else {
            AddTick(lines, false, at, centreAcross, -len, 0);
        }
    };
    for (int32_t k = 1; k <= steps; ++k) {
        const int32_t before = centre - k * step;
        if (before > 0) tick(before, kMajorTick);
        const int32_t after = centre + k * step;
        if (after + 1 < extent) tick(after, kMajorTick);
        for (int32_t i = 1; i <= kMinorTicksPerStep; ++i) {
            const int32_t offset = Truncate(step / 10.0 * i + 0.5);
            const int32_t len = i == 5 ? kMiddleMinorTick : kMinorTick;
            if (before + offset > 0) tick(before + offset, len);
            if (after - offset + 1 < extent) tick(after - offset, len);
        }
    }
}

void Arrow(std::vector<Segment>& lines, int32_t ax, int32_t ay, bool pointsRight) {
    const int32_t bx = pointsRight ? ax - kArrowSize : ax + kArrowSize;
    lines.push_back({ax, ay, bx, ay - kArrowSize});
    lines.push_back({bx, ay - kArrowSize, bx, ay + kArrowSize});
    lines.push_back({ax, ay, bx, ay + kArrowSize});
}

}  // namespace

uint32_t OpaqueArgb(uint32_t colorref) {
    const uint32_t red = colorref & 0xFF, green = (colorref >> 8) & 0xFF,
                   blue = (colorref >> 16) & 0xFF;
    return 0xFF000000u | red << 16 | green << 8 | blue;
}

TextBox SingleLabel(std::u16string text, int32_t x, int32_t y, PictureSize picture,
                    const TextMeasure& measure) {
    const TextSize size = measure(text);
    int32_t left = x + kLabelGap, top = y + kLabelGap;
    if (left + size.cx > picture.width) left = x - size.cx - kLabelGap;
    if (top + size.cy > picture.height) top = y - size.cy - kLabelGap;
    return BoxAt(std::move(text), left, top, size);
}

std::vector<TextBox> MultiLabel(std::vector<std::u16string> lines, int32_t x, int32_t y,
                                PictureSize picture, const TextMeasure& measure) {
    std::vector<TextSize> sizes;
    int32_t width = 0, height = -1;
    for (const std::u16string& line : lines) {
        sizes.push_back(measure(line));
        width = std::max(width, sizes.back().cx);
        height += sizes.back().cy + 1;
    }
    const bool flipX = x + kLabelGap + width > picture.width;
    const bool flipY = y + kLabelGap + height > picture.height;
    // Lines stack downward from the point, or upward with the first line nearest to it.
    std::vector<TextBox> boxes;
    int32_t stacked = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const TextSize size = sizes[i];
        const int32_t left = flipX ? x - size.cx - kLabelGap : x + kLabelGap;
        const int32_t top = flipY ? y - stacked - size.cy - kLabelGap : y + kLabelGap + stacked;
        boxes.push_back(BoxAt(std::move(lines[i]), left, top, size));
        stacked += size.cy;
    }
    return boxes;
}

OverlayRect HandleBoxAt(int32_t x, int32_t y, PictureSize picture) {
    return {std::max(0, x - kHandleHalf), std::max(0, y - kHandleHalf),
            std::min(picture.width, x + kHandleHalf), std::min(picture.height, y + kHandleHalf)};
}

ShapeMark MarkOf(int32_t index, int32_t selectedIndex, int32_t hoveredIndex) {
    if (index == selectedIndex) return ShapeMark::Selected;
    return index == hoveredIndex ? ShapeMark::Hovered : ShapeMark::None;
}

ShapeDrawing DrawingOfShape(const MeasureShape& shape, ShapeMark mark,
                            const ShapeDrawContext& context) {
    return ShapeBuilder(context, mark, false).Build(shape, shape.kind);
}

ShapeDrawing DrawingOfShapeInProgress(const MeasureShape& shape, int32_t currentTool,
                                      const ShapeDrawContext& context) {
    return ShapeBuilder(context, ShapeMark::None, true).Build(shape, currentTool);
}

CrosslineDrawing DrawingOfCrossline(PictureSize picture, const ActiveCalibration& calibration,
                                    const TextMeasure& measureValue) {
    CrosslineDrawing out;
    const int32_t cx = picture.width / 2, cy = picture.height / 2;
    out.lines.push_back({0, cy, picture.width, cy});
    out.lines.push_back({cx, 0, cx, picture.height});
    if (calibration.scale < 0.0f) {
        PixelTicks(out, picture);
        return out;
    }
    const int32_t step = calibration.stepPixels;
    if (step <= 0 || !(calibration.stepValue > 0.0f)) return out;
    CalibratedAxis(out.lines, true, picture.height, cx, step);
    CalibratedAxis(out.lines, false, picture.width, cy, step);
    std::u16string value = FormatScaleValue(calibration.stepValue, calibration.unitLabel);
    const TextSize size = measureValue(value);
    out.hasValue = true;
    out.value = BoxAt(std::move(value), cx + step - size.cx / 2, cy + kLabelGap, size);
    return out;
}

RulerDrawing DrawingOfRuler(const CalibrationRuler& ruler, PictureSize picture,
                            const TextMeasure& measureLabel) {
    RulerDrawing out;
    const int32_t cy = picture.height / 2;
    out.line = {ruler.leftX, cy, ruler.rightX, cy};
    for (int32_t x : {ruler.leftX, ruler.rightX}) {
        out.details.push_back({x, cy - kRulerBarHalfHeight, x, cy + kRulerBarHalfHeight});
    }
    char text[kLabelChars];
    std::snprintf(text, sizeof text, "%d pixels", static_cast<int>(ruler.length));
    out.label = SingleLabel(std::u16string(text, text + std::char_traits<char>::length(text)),
                            ruler.leftX + kLabelGap, cy + kLabelGap, picture, measureLabel);
    const bool hovered = ruler.hoverLeft || ruler.hoverRight;
    if (hovered) {
        const int32_t x = ruler.hoverLeft ? ruler.leftX : ruler.rightX;
        for (int32_t y : {cy - kRulerArrowRise, cy + kRulerArrowRise}) {
            Arrow(out.details, x - kArrowSize, y, true);
            Arrow(out.details, x + kArrowSize, y, false);
        }
    }
    return out;
}
