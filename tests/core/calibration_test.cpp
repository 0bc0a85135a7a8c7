#include "measure/calibration.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

const std::u16string kMm = u"mm";
const std::u16string kUm = u"\u03BCm";

struct StepCase {
    float scale;
    int32_t unit;
    int32_t stepPixels;
    float stepValue;
    std::u16string shown;
};

TEST(ScaleStep, ChoosesTheCandidateNearestToHundredPixels) {
    const StepCase cases[] = {
        {200.0f, kUnitMillimetres, 100, 0.5f, u"0.5mm"},
        {37.0f, kUnitMillimetres, 74, 2.0f, u"2.0mm"},
        {40.0f, kUnitMillimetres, 80, 2.0f, u"2.0mm"},
        {4.0f, kUnitMicrons, 80, 20.0f, u"20.0\u03BCm"},
        {1999999.0f, kUnitMillimetres, 200, 0.0001f, u"0.0001mm"},  // just within reach
    };
    for (const StepCase& c : cases) {
        ActiveCalibration active;
        ApplyCalibration(active, c.scale, c.unit);
        EXPECT_EQ(active.stepPixels, c.stepPixels) << c.scale;
        EXPECT_FLOAT_EQ(active.stepValue, c.stepValue) << c.scale;
        EXPECT_EQ(FormatScaleValue(active.stepValue, active.unitLabel), c.shown) << c.scale;
    }
}

TEST(ScaleStep, NoStepWhenUncalibratedOrOutOfReach) {
    const float scales[] = {-1.0f, 0.0f, std::nanf(""), 2000000.0f, 1e30f,
                            std::numeric_limits<float>::infinity()};
    for (float scale : scales) {
        ActiveCalibration active;
        ApplyCalibration(active, 200.0f, kUnitMillimetres);
        ApplyCalibration(active, scale, kUnitMillimetres);
        // A step left over from the previous scale would label the crossline wrongly.
        EXPECT_EQ(active.stepPixels, 0) << scale;
        EXPECT_EQ(active.stepValue, 0.0f) << scale;
    }
}

// The bar's length is the largest 1-2-5 value that fits in a fifth of the picture width.
TEST(ScaleBar, LargestRoundLengthWithinAFifthOfTheWidth) {
    const struct {
        float scale;
        int32_t width;
        int32_t unit;
        int32_t pixels;
        const char16_t* label;  // empty: no bar
    } cases[] = {
        {200.0f, 640, kUnitMillimetres, 100, u"0.5mm"},
        {1000.0f, 640, kUnitMillimetres, 100, u"0.1mm"},   // stage micrometer, 10 px per 0.01 mm
        {1.0f, 640, kUnitMicrons, 100, u"100\u03BCm"},
        {25.6f, 640, kUnitMillimetres, 128, u"5mm"},        // exactly a fifth still fits
        {25.7f, 640, kUnitMillimetres, 51, u"2mm"},
        {37.0f, 1920, kUnitMillimetres, 370, u"10mm"},
        {0.003f, 640, kUnitMicrons, 60, u"20000\u03BCm"},
        {1e8f, 640, kUnitMillimetres, 100, u"0.000001mm"},
        {-1.0f, 640, kUnitMillimetres, 0, u""},
        {0.0f, 640, kUnitMillimetres, 0, u""},
        {std::nanf(""), 640, kUnitMillimetres, 0, u""},
        {std::numeric_limits<float>::infinity(), 640, kUnitMillimetres, 0, u""},
        {200.0f, 0, kUnitMillimetres, 0, u""},
        {1e12f, 640, kUnitMillimetres, 0, u""},  // would need ten decimals
        {1e-12f, 640, kUnitMillimetres, 0, u""},
    };
    for (const auto& c : cases) {
        const ScaleBarLength bar = ChooseScaleBar(c.scale, c.width);
        EXPECT_EQ(bar.pixels, c.pixels) << c.scale;
        EXPECT_EQ(FormatScaleBarLabel(bar, UnitLabel(c.unit)), c.label) << c.scale;
        if (bar.pixels == 0) continue;
        EXPECT_NEAR(bar.pixels, bar.Value() * c.scale, 0.5) << c.scale;
        EXPECT_LE(bar.Value() * c.scale, c.width / 5.0 * (1 + 1e-6)) << c.scale;
    }
}

TEST(ActiveCalibration, NewFormatIsUncalibratedButKeepsTheUnitLabel) {
    ActiveCalibration active;
    ApplyCalibration(active, 4.0f, 7);  // any unit but 0 is microns
    EXPECT_EQ(active.unitLabel, kUm);
    ResetCalibrationForFormat(active);
    EXPECT_FALSE(active.Calibrated());
    EXPECT_EQ(active.unit, kUnitMillimetres);
    EXPECT_EQ(active.unitLabel, kUm);
}

// Every 1-2-5 step the crossline can show, as the float sequence really produces it.
TEST(FormatScaleValue, EveryCandidateReadsAsItsRoundValue) {
    const struct {
        float nominal;
        const char16_t* shown;
    } cases[] = {
        {0.0001f, u"0.0001mm"}, {0.0002f, u"0.0002mm"}, {0.0005f, u"0.0005mm"},
        {0.001f, u"0.001mm"}  ,  {0.002f, u"0.002mm"},   {0.005f, u"0.005mm"},
        {0.01f, u"0.010mm"},    {0.02f, u"0.02mm"},     {0.05f, u"0.05mm"},
        {0.1f, u"0.10mm"},      {0.2f, u"0.2mm"},       {0.5f, u"0.5mm"},
        {1.0f, u"1.0mm"},       {2.0f, u"2.0mm"},       {5.0f, u"5.0mm"},
        {10.0f, u"10.0mm"},     {20.0f, u"20.0mm"},     {50.0f, u"50.0mm"},
    };
    for (const auto& c : cases) {
        const ScaleStep step = ComputeScaleStep(100.0f / c.nominal);
        EXPECT_EQ(step.pixels, 100) << c.nominal;
        EXPECT_EQ(FormatScaleValue(step.value, kMm), c.shown) << c.nominal;
    }
    EXPECT_EQ(FormatScaleValue(0.05f, kMm), u"0.05mm");
    EXPECT_EQ(FormatScaleValue(0.005f, kMm), u"0.005mm");
    EXPECT_EQ(FormatScaleValue(0.0005f, kMm), u"0.0005mm");
    // The 0.001 step as the table stores it, just below the round value.
    EXPECT_EQ(FormatScaleValue(0.00099999993f, kMm), u"0.001mm");
}

TEST(PixelDistance, FarApartPointsDoNotOverflow) {
    const int32_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    const double span = static_cast<double>(hi) - lo;
    EXPECT_FLOAT_EQ(PixelDistance(lo, lo, hi, hi), static_cast<float>(span * std::sqrt(2.0)));
    EXPECT_FLOAT_EQ(PixelDistance(hi, lo, lo, hi), static_cast<float>(span * std::sqrt(2.0)));
    EXPECT_FLOAT_EQ(PixelDistance(lo, 0, hi, 1), static_cast<float>(span));
    EXPECT_EQ(PixelDistance(0, 0, 3, 4), 5.0f);
}

TEST(CalibrationTable, StartsWithNothingActiveAndTheFirstRowSelected) {
    const CalibrationTable table{};
    EXPECT_EQ(table.activeIndex, -1);
    EXPECT_EQ(table.editIndex, 0);
    EXPECT_EQ(table.listSelection, 0);
}

TEST(MakeCalibration, StoresScaleFrameSizeAndDateOnlyForAPositiveLength) {
    CalibrationRecord slot = kFreeCalibration;
    // The last: a length so small that 500 pixels over it overflow the float scale.
    for (float length : {0.0f, -2.5f, std::nanf(""), std::numeric_limits<float>::infinity(),
                         1e-37f}) {
        EXPECT_FALSE(MakeCalibration(slot, kUnitMicrons, 500, length, 640, 480, 20240101)) << length;
        EXPECT_EQ(slot.scale, kNoCalibrationScale);
        EXPECT_EQ(slot.linePixels, 0);
    }
    ASSERT_TRUE(MakeCalibration(slot, kUnitMillimetres, 500, 2.5f, 1920, 1080, 20240315));
    EXPECT_FLOAT_EQ(slot.scale, 200.0f);
    EXPECT_EQ(slot.frameSize, (1080 << 16) | 1920);
    EXPECT_EQ(slot.date, 20240315);
    // A 400-pixel line measured with it.
    EXPECT_EQ(FormatLengthLabel("", ToUnits(PixelDistance(10, 300, 410, 300), slot.scale), kMm),
              u"2.00000mm");
}

TEST(Labels, RectangleCircleAndAngleTexts) {
    const RectangleFigures rect = MeasureRectangle(100, 100, 40, 20, 10.0f);
    EXPECT_EQ(FormatRectangleSidesLabel(rect.width, rect.height, kMm), u"6.00x8.00mm");
    EXPECT_EQ(FormatRectangleAreaLabel(rect.area, kMm), u"S:48.00mm^2");

    const CircleFigures circle = MeasureCircle(PixelDistance(200, 200, 300, 200), 100.0f);
    EXPECT_EQ(FormatLengthLabel("R:", circle.radius, kUm), u"R:1.00000\u03BCm");
    EXPECT_EQ(FormatLengthLabel("C:", circle.circumference, kUm), u"C:6.28318\u03BCm");
    EXPECT_EQ(FormatCircleAreaLabel(circle.area, kUm), u"S:3.14159\u03BCm^2");

    EXPECT_EQ(PixelDistance(0, 0, 3, 4), 5.0f);
    EXPECT_EQ(PixelDistance(0, 0, 60000, 80000), 100000.0f);  // squares overflow 32 bits
}

TEST(Labels, AngleBetweenArmsIsAlwaysTheInnerAngle) {
    // Arms 100000 pixels long so that 10 degrees is exact to the printed digits.
    const struct {
        int32_t x2, y2, x3, y3;
        const char16_t* shown;
    } cases[] = {
        {100, 0, 0, 100, u"90.000\u00B0"},               // right and down
        {98481, 17365, 98481, -17365, u"20.000\u00B0"},  // 10 and 350 degrees
        {-98481, 17365, -98481, -17365, u"20.000\u00B0"},  // across the +-180 seam
        {100, 0, -100, 0, u"180.000\u00B0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatAngleLabel(AngleBetweenArms(0, 0, c.x2, c.y2, c.x3, c.y3)), c.shown)
            << c.x2 << "," << c.y2 << " " << c.x3 << "," << c.y3;
    }
}

// An absurd typed length must never produce more than a label buffer holds.
TEST(Labels, AbsurdScalesStayInsideTheLabelBuffer) {
    const float scales[] = {1e-30f, 1e30f, 1e-45f, std::numeric_limits<float>::max()};
    for (float scale : scales) {
        const RectangleFigures rect = MeasureRectangle(0, 0, 3000, 2000, scale);
        const CircleFigures circle = MeasureCircle(PixelDistance(0, 0, 3000, 2000), scale);
        const std::u16string labels[] = {
            FormatLengthLabel("R2:", circle.radius, kUm),
            FormatLengthLabel("C:", circle.circumference, kUm),
            FormatCircleAreaLabel(circle.area, kUm),
            FormatRectangleSidesLabel(rect.width, rect.height, kUm),
            FormatRectangleAreaLabel(rect.area, kUm),
            FormatScaleColumn(scale),
        };
        for (const std::u16string& label : labels) {
            EXPECT_FALSE(label.empty()) << scale;
            EXPECT_LT(label.size(), static_cast<size_t>(kLabelChars)) << scale;
        }
    }
    // The fixed-point form of two 31-digit sides is too long; the exponent form is used.
    const RectangleFigures huge = MeasureRectangle(100, 100, 40, 20, 1e-30f);
    EXPECT_EQ(FormatRectangleSidesLabel(huge.width, huge.height, kMm), u"6.00e+31x8.00e+31mm");
}

TEST(Labels, TooLongEvenInExponentFormIsRefused) {
    const std::u16string fits(kLabelChars - 1 - 7, u'u');  // "1.00000" + unit = 63
    EXPECT_EQ(FormatLengthLabel("", 1.0f, fits).size(), static_cast<size_t>(kLabelChars - 1));
    EXPECT_EQ(FormatLengthLabel("", 1.0f, fits + u'u'), u"");
}

}  // namespace
