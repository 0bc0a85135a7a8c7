// The colour-bar check on samples of any length: never reads past the sample, and a test
// frame with a few bytes changed is judged without crashing either way.
#include <vector>

#include "pipeline/color_bar.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    ColorBarReport report{};
    if (data.ConsumeBool()) {
        // Start from the real test frame and change bytes of it.
        std::vector<uint8_t> frame(kColorBarSampleLength);
        BuildColorBarFrame(frame.data());
        while (data.remaining_bytes() >= 5) {
            const size_t at = data.ConsumeIntegralInRange<size_t>(0, frame.size() - 1);
            frame[at] = data.ConsumeIntegral<uint8_t>();
        }
        if (IsColorBarFrame(frame.data(), frame.size(), &report)) {
            for (int hue : report.hues) FUZZ_CHECK(hue >= 0 && hue < 360);
            FUZZ_CHECK(!FormatColorBarGroups(report).empty());
            FUZZ_CHECK(!FormatColorBarHues(report).empty());
        }
        return 0;
    }
    const std::vector<uint8_t> sample = data.ConsumeRemainingBytes<uint8_t>();
    const bool seen = IsColorBarFrame(sample.data(), sample.size(), &report);
    FUZZ_CHECK(!seen || sample.size() == kColorBarSampleLength);
    return 0;
}
