// The texts the settings store keeps: the calibration table, the latest-files list, fixed
// fields and folder paths, from stored values of any content.
#include <cstring>

#include "settings/settings_text.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool SameRecord(const CalibrationRecord& a, const CalibrationRecord& b) {
    return FieldText(a.name) == FieldText(b.name) && a.unit == b.unit &&
           a.linePixels == b.linePixels && FloatBits(a.realLength) == FloatBits(b.realLength) &&
           a.frameSize == b.frameSize && a.date == b.date;
}

bool SameTable(const CalibrationTable& a, const CalibrationTable& b) {
    for (int i = 0; i < kCalibrationSlots; ++i) {
        if (!SameRecord(a.slots[i], b.slots[i])) return false;
    }
    return true;
}

// A table as the calibration dialog can make one: names without separators or NUL that fit
// their field whole.
CalibrationTable ValidTable(FuzzedDataProvider& data) {
    CalibrationTable table;
    for (CalibrationRecord& record : table.slots) {
        record = kFreeCalibration;
        std::u16string name = ConsumeU16(data, kCalibrationNameChars - 1);
        for (char16_t& c : name) {
            if (c == u',' || c == u';' || c == u'\0') c = u'_';
        }
        CopyToField(name, record.name);
        record.unit = data.ConsumeIntegral<int32_t>();
        record.linePixels = data.ConsumeIntegral<int32_t>();
        record.realLength = FloatFromBits(data.ConsumeIntegral<uint32_t>());
        record.frameSize = data.ConsumeIntegral<int32_t>();
        record.date = data.ConsumeIntegral<int32_t>();
    }
    return table;
}

void CheckCalibrations(FuzzedDataProvider& data) {
    CalibrationTable read;
    ParseCalibrations(ConsumeShapedU16(data, "0123456789,;-+ name\x01", 2000), read);
    const std::u16string written = FormatCalibrations(read);
    FUZZ_CHECK(written.size() <= kLongestCalibrationsText);
    CalibrationTable again;
    ParseCalibrations(written, again);
    FUZZ_CHECK(SameTable(read, again));

    const CalibrationTable valid = ValidTable(data);
    const std::u16string text = FormatCalibrations(valid);
    FUZZ_CHECK(text.size() <= kLongestCalibrationsText);
    CalibrationTable back;
    ParseCalibrations(text, back);
    FUZZ_CHECK(SameTable(valid, back));
}

void CheckLatestFiles(FuzzedDataProvider& data) {
    const std::vector<std::u16string> list =
        LatestFilesFromText(ConsumeShapedU16(data, "C:\\a;b.jpg", 1500));
    for (const auto& path : list) FUZZ_CHECK(!path.empty() && path.find(u';') == std::u16string::npos);

    const size_t maxChars = data.ConsumeIntegralInRange<size_t>(0, 1200);
    const std::u16string text = FormatLatestFiles(list, maxChars);
    FUZZ_CHECK(text.size() <= maxChars);
    // What is written reads back as the newest entries, in order, at most ten of them.
    const std::vector<std::u16string> back = LatestFilesFromText(text);
    FUZZ_CHECK(back.size() <= kLatestFilesWritten);
    size_t from = list.size();
    for (auto path = back.rbegin(); path != back.rend(); ++path) {
        while (from > 0 && list[from - 1] != *path) --from;
        FUZZ_CHECK(from > 0);
        --from;
    }
}

void CheckFieldsAndFolders(FuzzedDataProvider& data) {
    const std::u16string text = ConsumeU16(data, 300);
    char16_t field[kCalibrationNameChars];
    const bool whole = CopyToField(text, field);
    const std::u16string_view kept = FieldText(field);
    FUZZ_CHECK(kept.size() < kCalibrationNameChars);
    FUZZ_CHECK(text.compare(0, kept.size(), kept) == 0);
    if (whole) FUZZ_CHECK(text.size() < kCalibrationNameChars);
    // A cut never leaves the first half of a surrogate pair behind.
    if (!whole && !kept.empty() && kept.size() < text.size()) {
        const bool keptHigh = kept.back() >= 0xD800 && kept.back() <= 0xDBFF;
        const char16_t next = text[kept.size()];
        FUZZ_CHECK(!(keptHigh && next >= 0xDC00 && next <= 0xDFFF));
    }

    (void)LeadingInt32(text);
    (void)LeadingUint32(text);

    const std::u16string path = ConsumeShapedU16(data, "C:\\ab", 400);
    const size_t maxChars = data.ConsumeIntegralInRange<size_t>(0, 400);
    if (const auto folders = FoldersAlongPath(path, maxChars)) {
        size_t last = 0;
        for (const auto& folder : *folders) {
            FUZZ_CHECK(folder.size() > last && folder.size() <= path.size());
            FUZZ_CHECK(path.compare(0, folder.size(), folder) == 0);
            last = folder.size();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    switch (data.ConsumeIntegralInRange(0, 2)) {
        case 0: CheckCalibrations(data); break;
        case 1: CheckLatestFiles(data); break;
        default: CheckFieldsAndFolders(data); break;
    }
    return 0;
}
