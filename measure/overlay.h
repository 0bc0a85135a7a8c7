// Draws the overlay onto the camera view's off-screen surface: shapes with their labels, the
// crossline and the calibration ruler. Lines and circles go through GDI+ anti-aliased; frames,
// handles and texts through GDI. Where things go is decided in overlay_geometry.
#pragma once
#include <windows.h>

#include <string_view>

#include "measure/overlay_geometry.h"

namespace Gdiplus {
class GpGraphics;
class GpPen;
}  // namespace Gdiplus

// The drawing objects of one surface. Made when the surface is made, released with it.
struct OverlayResources {
    HDC dc = nullptr;                         // the surface's memory DC, not owned
    Gdiplus::GpGraphics* graphics = nullptr;  // on dc, anti-aliased
    Gdiplus::GpPen* measurePen = nullptr;     // lineColor, lineWidth
    Gdiplus::GpPen* thinPen = nullptr;        // lineColor, 1 pixel
    HBRUSH lineBrush = nullptr;
    HPEN gridPen = nullptr;  // gridColor, 1 pixel: the crossline
    HPEN rulerPen = nullptr;      // lineColor, the ruler's width
    HPEN rulerThinPen = nullptr;  // lineColor, 1 pixel: the ruler's ticks and ends
    HFONT labelFont = nullptr;
    OverlayStyle style;
};

// GDI+ must have been started. Returns false (and holds nothing) when the graphics cannot be
// made on `surfaceDc`.
bool CreateOverlayResources(OverlayResources& resources, HDC surfaceDc, const OverlayStyle& style);
void ReleaseOverlayResources(OverlayResources& resources);
// New style: pens, brush and font are replaced at once when a surface exists, otherwise only
// the style is kept for the next CreateOverlayResources. True when the view should repaint.
bool SetOverlayStyle(OverlayResources& resources, const OverlayStyle& style);

// One line of text in the label font; what MeasureHost::MeasureLabelText answers.
TextSize MeasureLabelText(const OverlayResources& resources, std::u16string_view text);

// The routines other overlays (the digital zoom mark, the ruler) share.
void DrawHandle(const OverlayResources& resources, bool filled, int32_t x, int32_t y,
                PictureSize picture);
void DrawSingleLabel(const OverlayResources& resources, std::u16string_view text, int32_t x,
                     int32_t y, PictureSize picture);

// Everything below draws only at zoom 100 without digital zoom; `view` says whether that holds
// and gives the picture size.
// The caller keeps the crossline switch and calls this only while it is on.
void DrawCrossline(const OverlayResources& resources, const ViewGeometry& view,
                   const ActiveCalibration& calibration);
// Places a ruler that has not been placed yet, then draws it. Scrolling the view to the
// picture's centre is the caller's part.
void DrawRuler(const OverlayResources& resources, const ViewGeometry& view,
               CalibrationRuler& ruler);
// The caller keeps the scale bar switch; nothing is drawn without a calibration.
void DrawScaleBar(const OverlayResources& resources, const ViewGeometry& view,
                  const ActiveCalibration& calibration);
void DrawShapes(const OverlayResources& resources, const ViewGeometry& view,
                const MeasureModel& model, const ActiveCalibration& calibration,
                std::u16string_view textPlaceholder);
// Only while the model shows its shape in progress (a drag, a third point or a text placed).
void DrawShapeInProgress(const OverlayResources& resources, const ViewGeometry& view,
                         const MeasureModel& model, const ActiveCalibration& calibration,
                         std::u16string_view textPlaceholder);
