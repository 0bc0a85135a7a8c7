// The JPEG side of compressed video: samples without Huffman tables made playable, samples
// cut short recognised, and frames encoded the right way up.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cmath>
#include <vector>

#include "pipeline/mjpg_decode.h"
#include "pipeline/mjpg_encode.h"
#include "pipeline/mjpg_tables.h"
#include "simcam/scene.h"

namespace {

// A picture whose every row and column differs: a flip or mirror cannot go unnoticed.
std::vector<uint8_t> Gradient(int width, int height) {
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(x * 255 / width);
            p[1] = static_cast<uint8_t>(y * 255 / height);
            p[2] = static_cast<uint8_t>((x + 2 * y) * 255 / (width + 2 * height));
        }
    }
    return bgr;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
    return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * a.size() / sum);
}

std::vector<uint8_t> Decoded(const std::vector<uint8_t>& jpeg, int width, int height) {
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    EXPECT_EQ(DecodeMjpgFrame(jpeg.data(), jpeg.size(), width, height, bgr.data()),
              MjpgResult::Decoded);
    return bgr;
}

// The table segments' contents, in order, without their markers and lengths.
std::vector<uint8_t> HuffmanPayloads(const std::vector<uint8_t>& jpeg) {
    std::vector<uint8_t> payloads;
    for (size_t at = 2; at + 4 <= jpeg.size() && jpeg[at + 1] != 0xDA;) {
        const size_t length = size_t{jpeg[at + 2]} << 8 | jpeg[at + 3];
        if (jpeg[at + 1] == 0xC4) payloads.insert(payloads.end(), &jpeg[at + 4], &jpeg[at + 2 + length]);
        at += 2 + length;
    }
    return payloads;
}

TEST(MjpgTables, TheStandardTablesAreTheOnesTheLibraryWrites) {
    const std::vector<uint8_t> bgr = Gradient(64, 48);
    const std::vector<uint8_t> jpeg = EncodeMjpg(bgr.data(), 64, 48, 85);
    const std::vector<uint8_t>& segment = StandardHuffmanSegment();
    ASSERT_EQ(segment.size(), 420u);
    EXPECT_EQ(HuffmanPayloads(jpeg), std::vector<uint8_t>(segment.begin() + 4, segment.end()));
}

TEST(MjpgTables, ASampleWithoutTablesDecodesAsTheCameraMeantOnceTheyAreInserted) {
    struct Case {
        int width, height;
        bool subsampled420;
    } cases[] = {{64, 48, false}, {1366, 768, false}, {33, 17, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        const std::vector<uint8_t> bgr = Gradient(c.width, c.height);
        std::vector<uint8_t> jpeg;
        if (c.subsampled420) {
            MjpgEncoder encoder;
            const uint8_t* bytes = nullptr;
            size_t size = 0;
            ASSERT_TRUE(encoder.Encode(bgr.data(), c.width, c.height, &bytes, &size));
            jpeg.assign(bytes, bytes + size);
        } else {
            jpeg = EncodeMjpg(bgr.data(), c.width, c.height, 85);
        }
        EXPECT_TRUE(ReadJpegHeader(jpeg.data(), jpeg.size()).huffmanTables);
        std::vector<uint8_t> out;
        EXPECT_FALSE(InsertStandardHuffmanTables(jpeg.data(), jpeg.size(), &out));

        std::vector<uint8_t> bare = jpeg;
        RemoveHuffmanTables(&bare);
        EXPECT_EQ(bare.size(), jpeg.size() - 4 * 4 - 420 + 4);  // four segments, one each way
        const JpegHeaderFacts facts = ReadJpegHeader(bare.data(), bare.size());
        EXPECT_TRUE(facts.valid);
        EXPECT_FALSE(facts.huffmanTables);
        ASSERT_TRUE(InsertStandardHuffmanTables(bare.data(), bare.size(), &out));
        EXPECT_EQ(out.size(), bare.size() + 420);
        EXPECT_TRUE(ReadJpegHeader(out.data(), out.size()).huffmanTables);
        EXPECT_EQ(Decoded(out, c.width, c.height), Decoded(jpeg, c.width, c.height));
        // The preview's decoder assumes the same tables for the bare sample.
        EXPECT_EQ(Decoded(bare, c.width, c.height), Decoded(jpeg, c.width, c.height));
    }
}

TEST(MjpgTables, DamagedSamplesAreNotTakenForPlayableOnes) {
    const std::vector<uint8_t> bgr = Gradient(32, 16);
    std::vector<uint8_t> bare = EncodeMjpg(bgr.data(), 32, 16, 85);
    RemoveHuffmanTables(&bare);
    const size_t n = bare.size();
    std::vector<uint8_t> out;
    const std::vector<uint8_t> notJpeg = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
    const std::vector<uint8_t> headerCut(bare.begin(), bare.begin() + 30);
    const std::vector<uint8_t> lengthPastEnd = [&bare] {
        std::vector<uint8_t> cut(bare.begin(), bare.begin() + 24);
        cut[4] = 0xFF;  // the first segment's length now runs past the end
        return cut;
    }();
    for (const std::vector<uint8_t>* damaged : {&notJpeg, &headerCut, &lengthPastEnd}) {
        EXPECT_FALSE(ReadJpegHeader(damaged->data(), damaged->size()).valid);
        EXPECT_FALSE(InsertStandardHuffmanTables(damaged->data(), damaged->size(), &out));
    }
    EXPECT_FALSE(ReadJpegHeader(nullptr, 0).valid);

    // The end marker decides what is complete; padding zeros are not part of the picture.
    std::vector<uint8_t> padded = bare;
    padded.insert(padded.end(), 100, 0);
    const struct {
        const std::vector<uint8_t>* sample;
        size_t length;
        size_t complete;
    } ends[] = {{&bare, n, n}, {&padded, padded.size(), n}, {&bare, n - 1, 0},
                {&bare, n / 2, 0}, {&bare, 0, 0}};
    for (const auto& e : ends) EXPECT_EQ(CompleteJpegLength(e.sample->data(), e.length), e.complete);
}

TEST(MjpgEncoder, FramesComeBackCloseAndTheRightWayUpAt420Quality90) {
    for (const auto& size : {std::pair<int, int>{1920, 1080}, {1366, 768}, {35, 19}}) {
        const int w = size.first, h = size.second;
        SCOPED_TRACE(w);
        const std::vector<uint8_t> bgr = Gradient(w, h);
        MjpgEncoder encoder;
        const uint8_t* bytes = nullptr;
        size_t length = 0;
        ASSERT_TRUE(encoder.Encode(bgr.data(), w, h, &bytes, &length));
        const std::vector<uint8_t> jpeg(bytes, bytes + length);
        tjhandle handle = tjInitDecompress();
        int jw = 0, jh = 0, subsampling = -1, colorspace = -1;
        ASSERT_EQ(tjDecompressHeader3(handle, jpeg.data(), jpeg.size(), &jw, &jh, &subsampling,
                                      &colorspace), 0);
        tjDestroy(handle);
        EXPECT_EQ(subsampling, TJSAMP_420);
        const std::vector<uint8_t> back = Decoded(jpeg, w, h);
        EXPECT_GE(Psnr(back, bgr), 35.0);
        std::vector<uint8_t> upsideDown(bgr.size()), mirrored(bgr.size());
        const size_t row = static_cast<size_t>(w) * 3;
        for (int y = 0; y < h; ++y) {
            std::copy_n(&bgr[y * row], row, &upsideDown[(h - 1 - y) * row]);
            for (int x = 0; x < w; ++x) std::copy_n(&bgr[y * row + x * 3], 3, &mirrored[y * row + (w - 1 - x) * 3]);
        }
        EXPECT_LT(Psnr(back, upsideDown), 25.0);
        EXPECT_LT(Psnr(back, mirrored), 25.0);
    }
    MjpgEncoder encoder;
    const uint8_t* bytes = nullptr;
    size_t length = 0;
    EXPECT_FALSE(encoder.Encode(nullptr, 8, 8, &bytes, &length));
    const std::vector<uint8_t> one = Gradient(8, 8);
    EXPECT_FALSE(encoder.Encode(one.data(), 0, 8, &bytes, &length));
}

}  // namespace
