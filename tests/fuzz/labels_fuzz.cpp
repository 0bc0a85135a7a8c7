// Calibration arithmetic and the label texts with any numbers: every label fits its buffer,
// distances and angles stay in range, a made calibration has a positive scale.
#include <cmath>
#include <cstring>

#include "measure/calibration.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

float AnyFloat(FuzzedDataProvider& data) {
    const uint32_t bits = data.ConsumeIntegral<uint32_t>();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void CheckLabel(const std::u16string& label) { FUZZ_CHECK(label.size() < size_t(kLabelChars)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const float a = AnyFloat(data), b = AnyFloat(data), scale = AnyFloat(data);
    const int32_t unit = data.ConsumeIntegral<int32_t>();
    const std::u16string_view unitLabel = UnitLabel(unit);
    static const char* const kPrefixes[] = {"", "D:", "R:", "C:", "R1:", "R2:"};
    const char* prefix = kPrefixes[data.ConsumeIntegralInRange<size_t>(0, 5)];

    CheckLabel(FormatLengthLabel(prefix, a, unitLabel));
    CheckLabel(FormatCircleAreaLabel(a, unitLabel));
    CheckLabel(FormatRectangleSidesLabel(a, b, unitLabel));
    CheckLabel(FormatRectangleAreaLabel(b, unitLabel));
    CheckLabel(FormatAngleLabel(a));
    CheckLabel(FormatScaleValue(a, unitLabel));
    CheckLabel(FormatScaleColumn(scale));

    ActiveCalibration active;
    ApplyCalibration(active, scale, unit);
    FUZZ_CHECK(active.stepPixels >= 0);
    if (active.stepPixels > 0) {
        FUZZ_CHECK(active.Calibrated());
        FUZZ_CHECK(std::isfinite(active.stepValue) && active.stepValue > 0.0f);
        CheckLabel(FormatScaleValue(active.stepValue, active.unitLabel));
    }
    (void)ScaleStepDebugLine(active);

    int32_t p[6];
    for (int32_t& v : p) v = data.ConsumeIntegral<int32_t>();
    const float distance = PixelDistance(p[0], p[1], p[2], p[3]);
    FUZZ_CHECK(std::isfinite(distance) && distance >= 0.0f);
    const float angle = AngleBetweenArms(p[0], p[1], p[2], p[3], p[4], p[5]);
    FUZZ_CHECK(!(angle < 0.0f) && !(angle > 180.0f));
    const RectangleFigures rect = MeasureRectangle(p[0], p[1], p[2], p[3], scale);
    CheckLabel(FormatRectangleSidesLabel(rect.width, rect.height, unitLabel));
    const CircleFigures circle = MeasureCircle(distance, scale);
    CheckLabel(FormatLengthLabel("C:", circle.circumference, unitLabel));

    CalibrationRecord slot = kFreeCalibration;
    const int32_t ruler = data.ConsumeIntegral<int32_t>();
    if (MakeCalibration(slot, unit, ruler, a, p[4], p[5], p[0])) {
        FUZZ_CHECK(slot.scale > 0.0f && slot.realLength > 0.0f);
    } else {
        FUZZ_CHECK(std::memcmp(&slot, &kFreeCalibration, sizeof slot) == 0);
    }
    return 0;
}
