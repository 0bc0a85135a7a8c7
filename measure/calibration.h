// Calibration arithmetic: the view's active calibration and its crossline step, making a
// calibration record, pixel-to-unit conversions and the number formats of the labels.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "measure/calibration_types.h"

// Wide-character buffer size the labels are drawn from, terminator included.
constexpr int kLabelChars = 64;

// The circle figures use this single-precision value, not a closer constant.
constexpr float kCirclePi = 3.14159f;

struct ActiveCalibration {
    float scale = kNoCalibrationScale;  // pixels per unit; anything not above 0 is uncalibrated
    int32_t unit = kUnitMillimetres;
    std::u16string unitLabel;           // empty until the first calibration is applied
    int32_t stepPixels = 0;             // crossline scale step; 0 = none
    float stepValue = 0.0f;

    bool Calibrated() const { return scale > 0.0f; }
};

struct ScaleStep {
    int32_t pixels = 0;
    float value = 0.0f;
};

// u"mm" for millimetres, u"\u03BCm" for any other unit.
std::u16string_view UnitLabel(int32_t unit);

// The 1-2-5 candidate from 0.0001 to 50 whose pixel length lies nearest to 100 pixels (the
// smaller on a tie); {0, 0} when the scale is uncalibrated or no candidate comes within
// 100 pixels.
ScaleStep ComputeScaleStep(float scale);

// Stores scale and unit, sets the unit label and recomputes the step. The caller repaints.
void ApplyCalibration(ActiveCalibration& active, float scale, int32_t unit);
// A new video format: uncalibrated again, the unit label stays as it was.
void ResetCalibrationForFormat(ActiveCalibration& active);
// The diagnostic line written after each step computation, CR LF included.
std::string ScaleStepDebugLine(const ActiveCalibration& active);

// Pixels per unit for a stored record: kNoCalibrationScale unless realLength is above 0.
float ScaleOf(int32_t linePixels, float realLength);
// Fills `slot` from a ruler of `rulerPixels` and the length the user typed. Returns false and
// leaves the slot untouched when the length or the resulting scale is not above 0, or the
// scale is not finite.
// `date` is year * 10000 + month * 100 + day.
bool MakeCalibration(CalibrationRecord& slot, int32_t unit, int32_t rulerPixels, float typedLength,
                     int32_t streamWidth, int32_t streamHeight, int32_t date);

// Straight distance between two picture points; exact along the axes.
float PixelDistance(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
float ToUnits(float pixels, float scale);
// How far P3 lies from the line through P1 and P2, in pixels: a Parallel's gap. Exact across a
// base along an axis, including a base of zero length, which counts as horizontal.
float ParallelGap(int32_t p1x, int32_t p1y, int32_t p2x, int32_t p2y, int32_t p3x, int32_t p3y);

struct RectangleFigures {
    float width;
    float height;
    float area;
};
RectangleFigures MeasureRectangle(int32_t p1x, int32_t p1y, int32_t p2x, int32_t p2y, float scale);

struct CircleFigures {
    float radius;
    float circumference;
    float area;
};
CircleFigures MeasureCircle(float radiusPixels, float scale);

// Angle between the arms vertex->arm1 and vertex->arm2, 0 to 180 degrees; never scaled.
float AngleBetweenArms(int32_t vertexX, int32_t vertexY, int32_t arm1X, int32_t arm1Y,
                       int32_t arm2X, int32_t arm2Y);

// Label texts. Every result fits a kLabelChars buffer with its terminator: a number whose
// fixed-point form would not fit switches to exponent form, and a label that cannot fit even
// then comes back empty. `prefix` is ASCII ("", "D:", "R:", "C:", "R1:", "R2:").
std::u16string FormatLengthLabel(const char* prefix, float value, std::u16string_view unit);
std::u16string FormatCircleAreaLabel(float area, std::u16string_view unit);
std::u16string FormatRectangleSidesLabel(float width, float height, std::u16string_view unit);
std::u16string FormatRectangleAreaLabel(float area, std::u16string_view unit);
std::u16string FormatAngleLabel(float degrees);
// The crossline's step text; the precision follows the size of the value.
std::u16string FormatScaleValue(float value, std::u16string_view unit);
// The calibration manager's value column: two decimals, empty for an uncalibrated record.
std::u16string FormatScaleColumn(float scale);
