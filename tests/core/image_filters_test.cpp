#include "pipeline/image_filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <vector>

#include "pipeline/cpu_features.h"
#include "pipeline/image_filters_kernels.h"

namespace {

using Frame = std::vector<uint8_t>;
using FilterFn = void (*)(uint8_t*, int, int);

Frame RandomFrame(int width, int height, uint32_t seed) {
    std::mt19937 rng(seed);
    Frame f(static_cast<size_t>(width) * height * 3);
    for (uint8_t& b : f) b = static_cast<uint8_t>(rng());
    return f;
}

Frame Filled(int width, int height, uint8_t b, uint8_t g, uint8_t r) {
    Frame f(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < f.size(); i += 3) {
        f[i] = b;
        f[i + 1] = g;
        f[i + 2] = r;
    }
    return f;
}

Frame Applied(FilterFn filter, Frame f, int width, int height) {
    filter(f.data(), width, height);
    return f;
}

struct FilterCase {
    const char* name;
    FilterFn fast;
    FilterFn reference;
};

void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.name; }

class FastFilters : public testing::TestWithParam<FilterCase> {};

TEST_P(FastFilters, MatchReferenceOnAwkwardSizes) {
    const FilterCase& c = GetParam();
    const int sizes[][2] = {{1, 1},  {1, 7},  {2, 3},  {3, 5},   {5, 1},   {15, 2},  {16, 3},
                            {17, 4}, {31, 2}, {32, 3}, {33, 3},  {47, 2},  {63, 2},  {64, 3},
                            {65, 2}, {96, 2}, {97, 3}, {100, 9}, {641, 3}, {1920, 2}};
    uint32_t seed = 7;
    for (const auto& s : sizes) {
        const int w = s[0], h = s[1];
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        // Guard bytes behind the frame catch writes past its end.
        Frame frame = RandomFrame(w, h, seed++);
        const size_t size = frame.size();
        frame.resize(size + 64, 0x5A);
        Frame expected = frame;
        c.reference(expected.data(), w, h);
        c.fast(frame.data(), w, h);
        for (size_t i = 0; i < frame.size(); ++i) {
            ASSERT_EQ(frame[i], expected[i]) << (i < size ? "byte " : "guard byte ") << i;
        }
    }
}

TEST_P(FastFilters, EmptyOrNegativeSizesTouchNothing) {
    const FilterCase& c = GetParam();
    Frame frame(48, 9);
    for (const auto& s : {std::pair{0, 5}, std::pair{5, 0}, std::pair{-3, 4}, std::pair{4, -1}}) {
        c.fast(frame.data(), s.first, s.second);
    }
    EXPECT_EQ(frame, Frame(48, 9));
}

INSTANTIATE_TEST_SUITE_P(
    AllFilters, FastFilters,
    testing::Values(FilterCase{"Mirror", MirrorHorizontal, reference::MirrorHorizontal},
                    FilterCase{"Gray", Gray, reference::Gray},
                    FilterCase{"Binary", Binary, reference::Binary},
                    FilterCase{"Invert", Invert, reference::Invert},
                    FilterCase{"Emboss", Emboss, reference::Emboss}),
    [](const testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

#ifdef TL_X86_SIMD
struct LumaKernel {
    const char* name;
    size_t (*blocks)(uint8_t*, size_t);
    FilterFn reference;
    size_t blockPixels;
    bool (*supported)();
};

void PrintTo(const LumaKernel& k, std::ostream* os) { *os << k.name; }

class LumaKernels : public testing::TestWithParam<LumaKernel> {
protected:
    void SetUp() override {
        if (!GetParam().supported()) GTEST_SKIP() << "processor lacks " << GetParam().name;
    }
};

TEST_P(LumaKernels, DoWholeBlocksAndLeaveTheRest) {
    const LumaKernel& k = GetParam();
    for (size_t count : {0, 1, 15, 16, 17, 31, 32, 33, 64, 95, 100}) {
        SCOPED_TRACE(count);
        const Frame before = RandomFrame(static_cast<int>(count) + 1, 1, 40);
        Frame out = before;
        const size_t done = k.blocks(out.data(), count);
        ASSERT_EQ(done, count / k.blockPixels * k.blockPixels);
        const Frame expected = Applied(k.reference, before, static_cast<int>(done), 1);
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + done * 3, expected.begin()));
        EXPECT_TRUE(std::equal(out.begin() + done * 3, out.end(), before.begin() + done * 3))
            << "pixels after the blocks must be left alone";
    }
}

TEST_P(LumaKernels, EveryColourMatchesReference) {
    // All 2^24 colours, so the fast division by 1000 is checked on every sum it can meet.
    const LumaKernel& k = GetParam();
    const size_t colours = size_t{1} << 24;
    Frame all(colours * 3);
    for (size_t c = 0; c < colours; ++c) {
        all[3 * c] = static_cast<uint8_t>(c);
        all[3 * c + 1] = static_cast<uint8_t>(c >> 8);
        all[3 * c + 2] = static_cast<uint8_t>(c >> 16);
    }
    Frame expected = all;
    k.reference(expected.data(), 4096, 4096);
    ASSERT_EQ(k.blocks(all.data(), colours), colours);
    const auto diff = std::mismatch(all.begin(), all.end(), expected.begin());
    EXPECT_TRUE(diff.first == all.end())
        << "first wrong colour 0x" << std::hex << (diff.first - all.begin()) / 3;
}

INSTANTIATE_TEST_SUITE_P(
    AllPaths, LumaKernels,
    testing::Values(LumaKernel{"GraySsse3", GrayBlocksSsse3, reference::Gray, 16, CpuHasSsse3},
                    LumaKernel{"BinarySsse3", BinaryBlocksSsse3, reference::Binary, 16,
                               CpuHasSsse3},
                    LumaKernel{"GrayAvx2", GrayBlocksAvx2, reference::Gray, 32, CpuHasAvx2},
                    LumaKernel{"BinaryAvx2", BinaryBlocksAvx2, reference::Binary, 32, CpuHasAvx2}),
    [](const testing::TestParamInfo<LumaKernel>& info) { return std::string(info.param.name); });
#endif

TEST(LumaFilters, WhiteAndBlackStay) {
    for (FilterFn f : {Gray, Binary}) {
        EXPECT_EQ(Applied(f, Filled(20, 3, 255, 255, 255), 20, 3), Filled(20, 3, 255, 255, 255));
        EXPECT_EQ(Applied(f, Filled(20, 3, 0, 0, 0), 20, 3), Filled(20, 3, 0, 0, 0));
    }
}

TEST(LumaFilters, GrayWritesRoundedLumaToAllThreeBytes) {
    // 299 * 200 + 587 * 100 + 114 * 50 + 500 = 124600 -> 124.
    EXPECT_EQ(Applied(Gray, Filled(18, 2, 50, 100, 200), 18, 2), Filled(18, 2, 124, 124, 124));
}

TEST(LumaFilters, BinaryThresholdIsRoundedLuma128) {
    // (B, G, R) = (68, 204, 0) sums to exactly 128000, (37, 209, 2) to 127999.
    EXPECT_EQ(Applied(Binary, Filled(18, 2, 68, 204, 0), 18, 2), Filled(18, 2, 255, 255, 255));
    EXPECT_EQ(Applied(Binary, Filled(18, 2, 37, 209, 2), 18, 2), Filled(18, 2, 0, 0, 0));
    EXPECT_EQ(Applied(Binary, Filled(18, 2, 128, 128, 128), 18, 2), Filled(18, 2, 255, 255, 255));
    EXPECT_EQ(Applied(Binary, Filled(18, 2, 127, 127, 127), 18, 2), Filled(18, 2, 0, 0, 0));
}

TEST(Invert, TwiceRestoresTheFrame) {
    const Frame f = RandomFrame(37, 5, 3);
    EXPECT_EQ(Applied(Invert, Applied(Invert, f, 37, 5), 37, 5), f);
    EXPECT_EQ(Applied(Invert, Filled(3, 1, 0, 128, 255), 3, 1), Filled(3, 1, 255, 127, 0));
}

TEST(Emboss, UniformFrameBecomesMidGrayExceptLastRow) {
    const int w = 41, h = 6;
    const Frame out = Applied(Emboss, Filled(w, h, 10, 200, 90), w, h);
    Frame expected = Filled(w, h - 1, 128, 128, 128);
    const Frame lastRow = Filled(w, 1, 10, 200, 90);
    expected.insert(expected.end(), lastRow.begin(), lastRow.end());
    EXPECT_EQ(out, expected);
}

TEST(Emboss, DifferencesClampAtBothEnds) {
    // One column of 20 pixels per row; each row pair gives one difference.
    struct Case {
        uint8_t top, below, result;
    } cases[] = {{200, 72, 255}, {199, 72, 255}, {198, 72, 254}, {72, 200, 0},
                 {72, 199, 1},   {71, 200, 0},   {255, 0, 255},  {0, 255, 0}};
    for (const Case& c : cases) {
        Frame f = Filled(20, 1, c.top, c.top, c.top);
        const Frame below = Filled(20, 1, c.below, c.below, c.below);
        f.insert(f.end(), below.begin(), below.end());
        const Frame out = Applied(Emboss, f, 20, 2);
        EXPECT_EQ(Frame(out.begin(), out.begin() + 60), Filled(20, 1, c.result, c.result, c.result))
            << int(c.top) << " over " << int(c.below);
    }
}

TEST(Emboss, UsesTheUnprocessedRowBelow) {
    // Rows 0, 100, 200: row 0 must see 100 (not row 1's result 28) as its lower neighbour.
    Frame f = Filled(7, 1, 0, 0, 0);
    for (uint8_t v : {100, 200}) {
        const Frame row = Filled(7, 1, v, v, v);
        f.insert(f.end(), row.begin(), row.end());
    }
    const Frame out = Applied(Emboss, f, 7, 3);
    EXPECT_EQ(out[0], 28);    // 0 - 100 + 128
    EXPECT_EQ(out[21], 28);   // 100 - 200 + 128
    EXPECT_EQ(out[42], 200);  // last row kept
}

TEST(Mirror, WidthOneIsUnchanged) {
    const Frame f = RandomFrame(1, 9, 5);
    EXPECT_EQ(Applied(MirrorHorizontal, f, 1, 9), f);
}

TEST(Mirror, ReversesPixelsNotBytes) {
    const int w = 70;  // blocks from both ends and a middle left over
    Frame row;
    for (int x = 0; x < w; ++x)
        row.insert(row.end(), {uint8_t(x), uint8_t(x + 100), uint8_t(200 - x)});
    const Frame out = Applied(MirrorHorizontal, row, w, 1);
    for (int x = 0; x < w; ++x) {
        const int from = w - 1 - x;
        ASSERT_EQ(out[3 * x], from);
        ASSERT_EQ(out[3 * x + 1], from + 100);
        ASSERT_EQ(out[3 * x + 2], 200 - from);
    }
    EXPECT_EQ(Applied(MirrorHorizontal, out, w, 1), row);
}

TEST(PreviewFlags, MirrorRunsBeforeTheFilter) {
    const int w = 33, h = 4;
    const Frame f = RandomFrame(w, h, 21);
    PreviewFlags flags{};
    flags.flipHorizontal = 1;
    flags.emboss = 1;
    Frame out = f;
    ApplyPreviewFlags(flags, out.data(), w, h);
    EXPECT_EQ(out, Applied(reference::Emboss, Applied(reference::MirrorHorizontal, f, w, h), w, h));
}

TEST(PreviewFlags, OnlyTheFirstSetFilterApplies) {
    const int w = 19, h = 3;
    const Frame f = RandomFrame(w, h, 22);
    struct Case {
        PreviewFlags flags;
        FilterFn expected;
    } cases[] = {
        {{0, 0, 1, 1, 1, 1}, reference::Gray},
        {{0, 0, 0, 1, 1, 1}, reference::Binary},
        {{0, 0, 0, 0, 1, 1}, reference::Invert},
        {{0, 0, 0, 0, 0, 1}, reference::Emboss},
    };
    for (const Case& c : cases) {
        Frame out = f;
        ApplyPreviewFlags(c.flags, out.data(), w, h);
        EXPECT_EQ(out, Applied(c.expected, f, w, h));
    }
    Frame out = f;
    ApplyPreviewFlags(PreviewFlags{0, 1, 0, 0, 0, 0}, out.data(), w, h);
    EXPECT_EQ(out, f) << "vertical flip is for display only";
}

}  // namespace
