#include "pipeline/yuy2_convert.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <vector>

static void PrintTo(Yuy2Path path, std::ostream* os) { *os << Yuy2PathName(path); }

namespace {

std::vector<uint8_t> Convert(const std::vector<uint8_t>& yuy2, int width, int height) {
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3, 0xEE);
    EXPECT_TRUE(ConvertYuy2Frame(yuy2.data(), yuy2.size(), width, height, bgr.data()));
    return bgr;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

TEST(Yuy2Convert, KnownColours) {
    struct Case {
        uint8_t y, u, v;
        uint8_t b, g, r;
    } cases[] = {
        {0, 128, 128, 0, 0, 0},          // black
        {255, 128, 128, 255, 255, 255},  // white
        {128, 255, 128, 255, 84, 128},   // blue clamped, green pulled down
    };
    for (const Case& c : cases) {
        const auto bgr = Convert({c.y, c.u, c.y, c.v}, 2, 1);
        EXPECT_EQ(bgr[0], c.b);
        EXPECT_EQ(bgr[1], c.g);
        EXPECT_EQ(bgr[2], c.r);
        EXPECT_EQ(bgr[3], c.b);
        EXPECT_EQ(bgr[4], c.g);
        EXPECT_EQ(bgr[5], c.r);
    }
}

TEST(Yuy2Convert, ShortSampleIsRefusedAndFrameUntouched) {
    std::vector<uint8_t> yuy2(4 * 4 * 2 - 1, 100);
    std::vector<uint8_t> bgr(4 * 4 * 3, 7);
    EXPECT_FALSE(ConvertYuy2Frame(yuy2.data(), yuy2.size(), 4, 4, bgr.data()));
    for (uint8_t b : bgr) ASSERT_EQ(b, 7);
}

TEST(Yuy2Convert, OddPixelCountNeedsTheWholeLastGroup) {
    // 3 x 1: the last pixel's colour comes from U and V at bytes 5 and 7.
    std::vector<uint8_t> six(6, 128), eight(8, 128);
    std::vector<uint8_t> bgr(9, 7);
    EXPECT_FALSE(ConvertYuy2Frame(six.data(), six.size(), 3, 1, bgr.data()));
    for (uint8_t b : bgr) ASSERT_EQ(b, 7);
    EXPECT_TRUE(ConvertYuy2Frame(eight.data(), eight.size(), 3, 1, bgr.data()));
    for (uint8_t b : bgr) ASSERT_EQ(b, 128);
}

TEST(Yuy2Convert, ZeroSizeConvertsNothing) {
    uint8_t guard = 9;
    EXPECT_TRUE(ConvertYuy2Frame(nullptr, 0, 0, 0, &guard));
    EXPECT_EQ(guard, 9);
}

TEST(Yuy2Convert, FrameUsesTheBestKernel) {
    const int width = 98, height = 7;  // rows not a multiple of any vector width
    const auto yuy2 = RandomBytes(width * height * 2, 11);
    std::vector<uint8_t> expected(width * height * 3);
    Yuy2ToBgrReference(yuy2.data(), expected.data(), width * height);
    EXPECT_EQ(Convert(yuy2, width, height), expected);
}

class Yuy2Kernels : public testing::TestWithParam<Yuy2Path> {
protected:
    void SetUp() override {
        kernel_ = Yuy2KernelFor(GetParam());
        if (kernel_ == nullptr) GTEST_SKIP() << "processor lacks " << Yuy2PathName(GetParam());
    }

    // Compares the kernel with the reference; the destination has guard bytes behind the
    // frame. Callers pass sources of exactly the bytes the kernel may read, so that ASan
    // sees any over-read.
    void ExpectMatchesReference(const uint8_t* src, size_t pixels, size_t dstOffset = 0) {
        const size_t guard = 64;
        std::vector<uint8_t> expected(pixels * 3 + guard, 0xA5);
        std::vector<uint8_t> buffer(dstOffset + pixels * 3 + guard, 0xA5);
        uint8_t* actual = buffer.data() + dstOffset;
        Yuy2ToBgrReference(src, expected.data(), pixels);
        kernel_(src, actual, pixels);
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(actual[i], expected[i])
                << (i < pixels * 3 ? "pixel " : "guard byte past the frame, pixel ") << i / 3
                << " channel " << i % 3 << " of " << pixels << " pixels";
        }
    }

    Yuy2Kernel kernel_ = nullptr;
};

TEST_P(Yuy2Kernels, RandomRunsOfAwkwardLengths) {
    const size_t lengths[] = {0,  1,  2,  3,  7,  8,  9,  15, 16,  17,  31,  32,   33,
                              47, 48, 63, 64, 65, 95, 96, 97, 127, 129, 641, 1001, 640 * 480};
    uint32_t seed = 1;
    for (size_t pixels : lengths) {
        SCOPED_TRACE(pixels);
        const auto src = RandomBytes((pixels + 1) / 2 * 4, seed++);
        ExpectMatchesReference(src.data(), pixels);
    }
}

TEST_P(Yuy2Kernels, EveryChromaPairWithLumaAcrossTheRange) {
    // All 65536 (U, V) pairs, each group seen with many Y0/Y1 values so that every term
    // meets both clamping edges.
    const size_t groups = 65536;
    std::vector<uint8_t> src(groups * 4);
    for (int pass = 0; pass < 16; ++pass) {
        for (size_t g = 0; g < groups; ++g) {
            src[4 * g] = static_cast<uint8_t>(pass * 16 + g % 16);
            src[4 * g + 1] = static_cast<uint8_t>(g & 0xFF);
            src[4 * g + 2] = static_cast<uint8_t>(255 - pass * 16 - (g >> 4) % 16);
            src[4 * g + 3] = static_cast<uint8_t>(g >> 8);
        }
        SCOPED_TRACE(pass);
        ExpectMatchesReference(src.data(), groups * 2);
    }
}

TEST_P(Yuy2Kernels, UnalignedBuffersAreHandled) {
    // Frames inside larger buffers need not start on any alignment.
    const auto buffer = RandomBytes(4 * 100 + 3, 99);
    for (size_t offset = 1; offset < 4; ++offset) {
        SCOPED_TRACE(offset);
        ExpectMatchesReference(buffer.data() + offset, 200, offset);
    }
}

INSTANTIATE_TEST_SUITE_P(AllPaths, Yuy2Kernels,
                         testing::Values(Yuy2Path::Sse2, Yuy2Path::Ssse3, Yuy2Path::Avx2),
                         [](const testing::TestParamInfo<Yuy2Path>& info) {
                             return std::string(Yuy2PathName(info.param));
                         });

}  // namespace
