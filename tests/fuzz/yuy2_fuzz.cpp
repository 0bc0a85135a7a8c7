// YUY2 samples of any length for any frame size, and the filters on what they give: every
// fast kernel must produce the reference's bytes, and a refused sample leaves the frame alone.
#include <cstring>
#include <vector>

#include "pipeline/image_filters.h"
#include "pipeline/yuy2_convert.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using Filter = void (*)(uint8_t*, int, int);

struct FilterPair {
    Filter fast;
    Filter plain;
};

constexpr FilterPair kFilters[] = {
    {MirrorHorizontal, reference::MirrorHorizontal}, {Gray, reference::Gray},
    {Binary, reference::Binary},                     {Invert, reference::Invert},
    {Emboss, reference::Emboss},
};

void CheckKernels(const std::vector<uint8_t>& sample) {
    // Whole groups only: an odd count still reads its last group whole. Odd counts are
    // tried when the length leaves one byte over.
    size_t pixels = sample.size() / 4 * 2;
    if (sample.size() % 4 == 1 && pixels > 0) --pixels;
    if (pixels == 0) return;
    std::vector<uint8_t> expected(pixels * 3);
    Yuy2ToBgrReference(sample.data(), expected.data(), pixels);
    for (Yuy2Path path : {Yuy2Path::Sse2, Yuy2Path::Ssse3, Yuy2Path::Avx2}) {
        const Yuy2Kernel kernel = Yuy2KernelFor(path);
        if (kernel == nullptr) continue;
        std::vector<uint8_t> got(pixels * 3);
        kernel(sample.data(), got.data(), pixels);
        FUZZ_CHECK(got == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const int width = data.ConsumeIntegralInRange(-2, 96);
    const int height = data.ConsumeIntegralInRange(-2, 64);
    const size_t filter = data.ConsumeIntegralInRange<size_t>(0, std::size(kFilters) - 1);
    // Exactly as long as the camera sent it, so reading past it is caught.
    const std::vector<uint8_t> sample = data.ConsumeRemainingBytes<uint8_t>();

    CheckKernels(sample);

    const size_t frameBytes = width > 0 && height > 0 ? size_t(width) * size_t(height) * 3 : 1;
    std::vector<uint8_t> frame(frameBytes, 0xA5);
    const bool converted = ConvertYuy2Frame(sample.data(), sample.size(), width, height, frame.data());
    // A refused sample, or an empty frame size, leaves the frame as it was.
    if (!converted || width <= 0 || height <= 0) {
        for (uint8_t b : frame) FUZZ_CHECK(b == 0xA5);
        return 0;
    }
    const size_t pixels = size_t(width) * size_t(height);
    FUZZ_CHECK(sample.size() >= (pixels + 1) / 2 * 4);
    std::vector<uint8_t> expected(frameBytes);
    Yuy2ToBgrReference(sample.data(), expected.data(), pixels);
    FUZZ_CHECK(frame == expected);

    std::vector<uint8_t> plain = frame;
    kFilters[filter].fast(frame.data(), width, height);
    kFilters[filter].plain(plain.data(), width, height);
    FUZZ_CHECK(frame == plain);
    return 0;
}
