// MJPG samples, real frames of the simulated microscope cut short and corrupted. The input is
// the frame size the stream was opened with (two little-endian 16-bit values) followed by the
// sample. Whatever the sample, decoding stays inside it and the frame; a sample TurboJPEG
// decodes without any complaint must give exactly TurboJPEG's picture; and the decoder the
// streaming thread keeps across samples (whatever the ones before it were) must decode each
// exactly as a fresh one does. A sample without Huffman tables, as a compressed video writes
// it with the standard ones put in, is the same picture.
#include <turbojpeg.h>

#include <vector>

#include "pipeline/media_subtype.h"
#include "pipeline/mjpg_tables.h"
#include "pipeline/sample_processing.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr int kMaxSide = 512;

// 0 for a clean decode into `out`, -1 for any warning or error.
int TurboDecode(const uint8_t* sample, size_t length, int width, int height,
                std::vector<uint8_t>& out) {
    static tjhandle handle = tjInitDecompress();
    int w = 0, h = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle, sample, static_cast<unsigned long>(length), &w, &h,
                            &subsampling, &colorspace) != 0 ||
        w != width || h != height) {
        return -1;
    }
    out.assign(size_t(width) * size_t(height) * 3, 0);
    return tjDecompress2(handle, sample, static_cast<unsigned long>(length), out.data(), width,
                         0, height, TJPF_BGR, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size < 4) return 0;
    const int width = 1 + (bytes[0] | bytes[1] << 8) % kMaxSide;
    const int height = 1 + (bytes[2] | bytes[3] << 8) % kMaxSide;
    // Exactly as long as the camera sent it, so reading past it is caught.
    const std::vector<uint8_t> sample(bytes + 4, bytes + size);

    std::vector<uint8_t> frame(size_t(width) * size_t(height) * 3, 0x5A);
    const FillResult result =
        FillFrameFromSample(kSubtypeMjpg, width, height, sample.data(), sample.size(), frame.data());
    FUZZ_CHECK(result != FillResult::UnknownSubtype);

    static MjpgDecoder kept;
    std::vector<uint8_t> keptFrame(frame.size(), 0x5A);
    FUZZ_CHECK(FillFrameFromSample(kept, kSubtypeMjpg, width, height, sample.data(),
                                   sample.size(), keptFrame.data()) == result);
    if (result == FillResult::Filled) FUZZ_CHECK(keptFrame == frame);

    std::vector<uint8_t> withTables;
    if (InsertStandardHuffmanTables(sample.data(), sample.size(), &withTables)) {
        FUZZ_CHECK(withTables.size() == sample.size() + StandardHuffmanSegment().size());
        FUZZ_CHECK(ReadJpegHeader(withTables.data(), withTables.size()).huffmanTables);
        std::vector<uint8_t> written(frame.size(), 0x5A);
        const FillResult again = FillFrameFromSample(kSubtypeMjpg, width, height, withTables.data(),
                                                     withTables.size(), written.data());
        FUZZ_CHECK(again == result);
        if (result == FillResult::Filled) FUZZ_CHECK(written == frame);
    }

    std::vector<uint8_t> turbo;
    if (!sample.empty() && TurboDecode(sample.data(), sample.size(), width, height, turbo) == 0) {
        FUZZ_CHECK(result == FillResult::Filled);
        FUZZ_CHECK(frame == turbo);
    }
    return 0;
}
