#include "measure/overlay.h"

#include <gdiplus.h>

#include <initializer_list>
#include <string>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr wchar_t kLabelFace[] = L"Segoe UI";
constexpr int kRulerLineWidth = 2;

const wchar_t* Wide(std::u16string_view text) {
    return reinterpret_cast<const wchar_t*>(text.data());
}

HFONT CreateLabelFont(int32_t textSize) {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(textSize, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontW(height, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, kLabelFace);
}

void CreateStyleObjects(OverlayResources& r) {
    GdipCreatePen1(OpaqueArgb(r.style.lineColor), static_cast<REAL>(r.style.lineWidth), UnitWorld,
                   &r.measurePen);
    GdipCreatePen1(OpaqueArgb(r.style.lineColor), 1.0f, UnitWorld, &r.thinPen);
    r.lineBrush = CreateSolidBrush(r.style.lineColor);
    r.gridPen = CreatePen(PS_SOLID, 1, r.style.gridColor);
    r.rulerPen = CreatePen(PS_SOLID, kRulerLineWidth, r.style.lineColor);
    r.rulerThinPen = CreatePen(PS_SOLID, 1, r.style.lineColor);
    r.labelFont = CreateLabelFont(r.style.textSize);
}

void DeleteStyleObjects(OverlayResources& r) {
    if (r.measurePen != nullptr) GdipDeletePen(r.measurePen);
    if (r.thinPen != nullptr) GdipDeletePen(r.thinPen);
    if (r.lineBrush != nullptr) DeleteObject(r.lineBrush);
    for (HPEN pen : {r.gridPen, r.rulerPen, r.rulerThinPen}) {
        if (pen != nullptr) DeleteObject(pen);
    }
    if (r.labelFont != nullptr) DeleteObject(r.labelFont);
    r.measurePen = r.thinPen = nullptr;
    r.lineBrush = nullptr;
    r.gridPen = r.rulerPen = r.rulerThinPen = nullptr;
    r.labelFont = nullptr;
}

TextSize MeasureInCurrentFont(HDC dc, std::u16string_view text) {
    SIZE size = {};
    GetTextExtentPoint32W(dc, Wide(text), static_cast<int>(text.size()), &size);
    return {size.cx, size.cy};
}

// Text in the DC's current font, transparent, clipped to its box.
void DrawTextBox(HDC dc, const TextBox& box, COLORREF color) {
    if (box.text.empty()) return;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, color);
    const RECT clip = {box.box.left, box.box.top, box.box.right, box.box.bottom};
    ExtTextOutW(dc, box.box.left, box.box.top, ETO_CLIPPED, &clip, Wide(box.text),
                static_cast<UINT>(box.text.size()), nullptr);
}

void DrawLabelTexts(const OverlayResources& r, const std::vector<TextBox>& texts) {
    if (texts.empty()) return;
    HGDIOBJ previous = SelectObject(r.dc, r.labelFont);
    for (const TextBox& box : texts) DrawTextBox(r.dc, box, r.style.textColor);
    SelectObject(r.dc, previous);
}

RECT ToRect(const OverlayRect& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

void DrawGdiLines(HDC dc, const std::vector<Segment>& lines) {
    for (const Segment& s : lines) {
        MoveToEx(dc, s.x1, s.y1, nullptr);
        LineTo(dc, s.x2, s.y2);
    }
}

void Paint(const OverlayResources& r, const ShapeDrawing& drawing) {
    for (const HandleBox& handle : drawing.handles) {
        const RECT rect = ToRect(handle.rect);
        if (handle.filled) {
            FillRect(r.dc, &rect, r.lineBrush);
        } else {
            FrameRect(r.dc, &rect, r.lineBrush);
        }
    }
    for (const OverlayRect& frame : drawing.frames) {
        const RECT rect = ToRect(frame);
        FrameRect(r.dc, &rect, r.lineBrush);
    }
    for (const Segment& s : drawing.measureLines) {
        GdipDrawLineI(r.graphics, r.measurePen, s.x1, s.y1, s.x2, s.y2);
    }
    for (const Segment& s : drawing.thinLines) {
        GdipDrawLineI(r.graphics, r.thinPen, s.x1, s.y1, s.x2, s.y2);
    }
    for (const CircleBox& c : drawing.circles) {
        GdipDrawArcI(r.graphics, r.measurePen, c.left, c.top, c.size, c.size, 0.0f, 360.0f);
    }
    DrawLabelTexts(r, drawing.texts);
}

bool Ready(const OverlayResources& r, const ViewGeometry& view) {
    return r.graphics != nullptr && view.OverlayShown();
}

PictureSize PictureOf(const ViewGeometry& view) { return {view.pictureWidth, view.pictureHeight}; }

ShapeDrawContext ContextFor(const OverlayResources& r, const ViewGeometry& view,
                            const ActiveCalibration& calibration, std::u16string_view placeholder) {
    ShapeDrawContext context;
    context.picture = PictureOf(view);
    context.calibration = &calibration;
    context.lineWidth = r.style.lineWidth;
    context.textPlaceholder = placeholder;
    context.measureLabel = [&r](std::u16string_view text) { return MeasureLabelText(r, text); };
    return context;
}

}  // namespace

bool CreateOverlayResources(OverlayResources& resources, HDC surfaceDc, const OverlayStyle& style) {
    ReleaseOverlayResources(resources);
    resources.style = style;
    if (GdipCreateFromHDC(surfaceDc, &resources.graphics) != Ok) {
        resources.graphics = nullptr;
        return false;
    }
    GdipSetSmoothingMode(resources.graphics, SmoothingModeHighQuality);
    resources.dc = surfaceDc;
    CreateStyleObjects(resources);
    return true;
}

void ReleaseOverlayResources(OverlayResources& resources) {
    DeleteStyleObjects(resources);
    if (resources.graphics != nullptr) GdipDeleteGraphics(resources.graphics);
    resources.graphics = nullptr;
    resources.dc = nullptr;
}

bool SetOverlayStyle(OverlayResources& resources, const OverlayStyle& style) {
    DeleteStyleObjects(resources);
    resources.style = style;
    if (resources.graphics == nullptr) return false;
    CreateStyleObjects(resources);
    return true;
}

TextSize MeasureLabelText(const OverlayResources& resources, std::u16string_view text) {
    if (resources.dc != nullptr && resources.labelFont != nullptr) {
        HGDIOBJ previous = SelectObject(resources.dc, resources.labelFont);
        const TextSize size = MeasureInCurrentFont(resources.dc, text);
        SelectObject(resources.dc, previous);
        return size;
    }
    // No surface yet (a text's grab box computed between zoom changes): measure on the screen.
    HDC screen = GetDC(nullptr);
    HFONT font = CreateLabelFont(resources.style.textSize);
    HGDIOBJ previous = SelectObject(screen, font);
    const TextSize size = MeasureInCurrentFont(screen, text);
    SelectObject(screen, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return size;
}

void DrawHandle(const OverlayResources& resources, bool filled, int32_t x, int32_t y,
                PictureSize picture) {
    ShapeDrawing drawing;
    drawing.handles.push_back({HandleBoxAt(x, y, picture), filled});
    Paint(resources, drawing);
}

void DrawSingleLabel(const OverlayResources& resources, std::u16string_view text, int32_t x,
                     int32_t y, PictureSize picture) {
    auto measure = [&resources](std::u16string_view t) { return MeasureLabelText(resources, t); };
    DrawLabelTexts(resources, {SingleLabel(std::u16string(text), x, y, picture, measure)});
}

void DrawCrossline(const OverlayResources& resources, const ViewGeometry& view,
                   const ActiveCalibration& calibration) {
    if (!Ready(resources, view)) return;
    HDC dc = resources.dc;
    // The value text is measured and drawn in whatever font the surface holds, not the label font.
    const CrosslineDrawing drawing = DrawingOfCrossline(
        PictureOf(view), calibration,
        [dc](std::u16string_view text) { return MeasureInCurrentFont(dc, text); });
    HGDIOBJ previous = SelectObject(dc, resources.gridPen);
    DrawGdiLines(dc, drawing.lines);
    if (drawing.hasValue) DrawTextBox(dc, drawing.value, resources.style.textColor);
    SelectObject(dc, previous);
}

void DrawRuler(const OverlayResources& resources, const ViewGeometry& view,
               CalibrationRuler& ruler) {
    if (!Ready(resources, view) || !ruler.Active()) return;
    PlaceRuler(ruler, view.pictureWidth);
    HDC dc = resources.dc;
    const RulerDrawing drawing = DrawingOfRuler(
        ruler, PictureOf(view),
        [&resources](std::u16string_view text) { return MeasureLabelText(resources, text); });
    HGDIOBJ previous = SelectObject(dc, resources.rulerPen);
    DrawGdiLines(dc, {drawing.line});
    SelectObject(dc, resources.rulerThinPen);
    DrawGdiLines(dc, drawing.details);
    SelectObject(dc, previous);
    DrawLabelTexts(resources, {drawing.label});
}

void DrawScaleBar(const OverlayResources& resources, const ViewGeometry& view,
                  const ActiveCalibration& calibration) {
    if (!Ready(resources, view)) return;
    const ScaleBarDrawing drawing = DrawingOfScaleBar(
        PictureOf(view), calibration,
        [&resources](std::u16string_view text) { return MeasureLabelText(resources, text); });
    if (!drawing.shown) return;
    const RECT bar = ToRect(drawing.bar);
    FillRect(resources.dc, &bar, resources.lineBrush);
    DrawLabelTexts(resources, {drawing.label});
}

void DrawShapes(const OverlayResources& resources, const ViewGeometry& view,
                const MeasureModel& model, const ActiveCalibration& calibration,
                std::u16string_view textPlaceholder) {
    if (!Ready(resources, view)) return;
    const ShapeDrawContext context = ContextFor(resources, view, calibration, textPlaceholder);
    const ShapeList& shapes = model.Shapes();
    for (size_t i = 0; i < shapes.size(); ++i) {
        const ShapeMark mark =
            MarkOf(static_cast<int32_t>(i), model.SelectedIndex(), model.HoveredIndex());
        Paint(resources, DrawingOfShape(shapes[i], mark, context));
    }
}

void DrawShapeInProgress(const OverlayResources& resources, const ViewGeometry& view,
                         const MeasureModel& model, const ActiveCalibration& calibration,
                         std::u16string_view textPlaceholder) {
    if (!Ready(resources, view) || !model.InProgressShown()) return;
    const ShapeDrawContext context = ContextFor(resources, view, calibration, textPlaceholder);
    Paint(resources, DrawingOfShapeInProgress(model.InProgress(), model.CurrentTool(), context));
}
