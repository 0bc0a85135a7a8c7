// Settings loaded from stored values of any content: the record that comes out is sound, and
// storing it and loading it again changes nothing.
#include <cstring>

#include "settings/app_settings.h"
#include "settings/settings_text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

template <size_t N>
bool Terminated(const char16_t (&field)[N]) {
    return FieldText(field).size() < N;
}

void CheckSound(const AppSettings& s) {
    FUZZ_CHECK(PaletteIndexOf(s.gridColor) >= 0);
    FUZZ_CHECK(PaletteIndexOf(s.lineColor) >= 0);
    FUZZ_CHECK(PaletteIndexOf(s.textColor) >= 0);
    FUZZ_CHECK(s.lineWidth == 1 || s.lineWidth == 2);
    FUZZ_CHECK(s.textSize >= 8 && s.textSize <= 24);
    FUZZ_CHECK(s.jpgPng == 0 || s.jpgPng == 1);
    FUZZ_CHECK(s.language >= 0 && s.maxRecordTime >= 0);
    FUZZ_CHECK(Terminated(s.imgDir) && Terminated(s.calibrationsText) &&
               Terminated(s.latestFilesText));
}

bool SameFields(const AppSettings& a, const AppSettings& b) {
    return a.language == b.language && a.mjpg == b.mjpg && a.width == b.width &&
           a.height == b.height && a.interpolated == b.interpolated &&
           FieldText(a.imgDir) == FieldText(b.imgDir) && a.gridColor == b.gridColor &&
           a.lineColor == b.lineColor && a.textColor == b.textColor &&
           a.lineWidth == b.lineWidth && a.textSize == b.textSize && a.jpgPng == b.jpgPng &&
           a.maxRecordTime == b.maxRecordTime &&
           FieldText(a.calibrationsText) == FieldText(b.calibrationsText) &&
           FieldText(a.latestFilesText) == FieldText(b.latestFilesText);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    StoredValues stored;
    for (const StoredValueSlot& slot : kStoredValueSlots) {
        if (!data.ConsumeBool()) continue;  // the value is missing or unreadable
        if (slot.number != nullptr) {
            // Small values more often than not, so the valid ranges are reached.
            stored.*slot.number = data.ConsumeBool() ? data.ConsumeIntegralInRange<uint32_t>(0, 40)
                                                     : data.ConsumeIntegral<uint32_t>();
        } else {
            stored.*slot.text = ConsumeU16(data, data.ConsumeBool() ? 300 : 12000);
        }
    }
    const AppSettings loaded = SettingsFromStoredValues(data.ConsumeBool() ? &stored : nullptr);
    CheckSound(loaded);

    const StoredValues written = StoredValuesFromSettings(loaded);
    const AppSettings again = SettingsFromStoredValues(&written);
    CheckSound(again);
    FUZZ_CHECK(SameFields(loaded, again));
    return 0;
}
