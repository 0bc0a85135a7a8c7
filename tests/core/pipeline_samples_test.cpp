#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "pipeline/color_bar.h"
#include "pipeline/frame_rate.h"
#include "pipeline/sample_processing.h"

namespace {

std::vector<uint8_t> ColorBars() {
    std::vector<uint8_t> bars(kColorBarSampleLength);
    BuildColorBarFrame(bars.data());
    return bars;
}

TEST(ColorBar, BuiltFrameIsRecognisedWithItsHuesAndGroups) {
    auto bars = ColorBars();
    ColorBarReport report;
    ASSERT_TRUE(IsColorBarFrame(bars.data(), bars.size(), &report));
    const int expectedHues[] = {0, 60, 180, 120, 300, 0, 240, 0};
    for (int b = 0; b < kColorBarBands; ++b) EXPECT_EQ(report.hues[b], expectedHues[b]) << b;
    EXPECT_EQ(report.firstGroups[0], 0x80EB80EBu);  // Y0=235 U=128 Y1=235 V=128, little-endian
    EXPECT_EQ(FormatColorBarHues(report), "0 60 180 120 300 0 240 0 \r\n");
    EXPECT_EQ(FormatColorBarGroups(report).substr(0, 9), "80eb80eb ");
}

TEST(ColorBar, OneDifferingGroupInAnyBandFailsTheCheck) {
    for (const ColorBarBand& band : kColorBarBandTable) {
        for (size_t group : {size_t{1}, band.groups / 2, band.groups - 1}) {
            auto bars = ColorBars();
            bars[band.start + group * 4 + 2] ^= 0x01;  // Y1 of that group
            EXPECT_FALSE(IsColorBarFrame(bars.data(), bars.size(), nullptr))
                << "band at " << band.start << " group " << group;
        }
    }
}

TEST(ColorBar, GroupsOutsideTheComparedRangeDoNotMatter) {
    auto bars = ColorBars();
    const ColorBarBand& first = kColorBarBandTable[0];
    bars[first.start + first.groups * 4] ^= 0xFF;  // just past band 1's compared groups
    bars[0] ^= 0xFF;                               // the two rows above band 1
    EXPECT_TRUE(IsColorBarFrame(bars.data(), bars.size(), nullptr));
}

TEST(ColorBar, WrongLengthOrWrongHueIsNotThePattern) {
    auto bars = ColorBars();
    EXPECT_FALSE(IsColorBarFrame(bars.data(), bars.size() - 1, nullptr));
    EXPECT_FALSE(IsColorBarFrame(nullptr, bars.size(), nullptr));
    // A uniform gray frame passes band 1 (hue 0) but not yellow.
    std::vector<uint8_t> gray(kColorBarSampleLength, 128);
    EXPECT_FALSE(IsColorBarFrame(gray.data(), gray.size(), nullptr));
}

TEST(ColorBar, HueOfGroup) {
    EXPECT_EQ(GroupHue(128, 128, 128), 0);  // gray
    EXPECT_EQ(GroupHue(81, 90, 240), 0);    // red
    EXPECT_EQ(GroupHue(41, 240, 110), 240);  // blue
    EXPECT_EQ(GroupHue(145, 54, 34), 120);  // green
    // Red leaning to magenta lands just below 360, which only the sixth band accepts.
    const int hue = GroupHue(81, 110, 240);
    EXPECT_GT(hue, 340);
    EXPECT_LT(hue, 360);
}

TEST(FrameRate, FirstSampleKeepsRateSecondSetsIt) {
    FrameRateCounter counter;
    EXPECT_FLOAT_EQ(counter.Tick(5000, 30.0f), 30.0f);
    EXPECT_FLOAT_EQ(counter.Tick(5040, 30.0f), 25.0f);
    EXPECT_FLOAT_EQ(counter.Tick(5080, 25.0f), 25.0f);  // 2 intervals over 80 ms
}

TEST(FrameRate, OnlyTheLastSecondCounts) {
    FrameRateCounter counter;
    float rate = 30.0f;
    for (uint32_t t = 10000; t <= 12000; t += 100) rate = counter.Tick(t, rate);
    EXPECT_EQ(counter.HistorySize(), 11u);  // 11000..12000 inclusive
    EXPECT_FLOAT_EQ(rate, 10.0f);
    // A long pause: the history empties down to the new sample, and the rate stays.
    EXPECT_FLOAT_EQ(counter.Tick(20000, rate), 10.0f);
    EXPECT_EQ(counter.HistorySize(), 1u);
}

TEST(FrameRate, SameMillisecondAndClockWrapStayFinite) {
    FrameRateCounter counter;
    float rate = counter.Tick(7000, 30.0f);
    rate = counter.Tick(7000, rate);
    EXPECT_TRUE(std::isfinite(rate));
    EXPECT_FLOAT_EQ(rate, 30.0f);

    FrameRateCounter wrapping;
    rate = 30.0f;
    for (uint32_t t = 0xFFFFFF00u, i = 0; i < 10; ++i, t += 50) rate = wrapping.Tick(t, rate);
    EXPECT_FLOAT_EQ(rate, 20.0f);
    EXPECT_EQ(wrapping.HistorySize(), 10u);

    FrameRateCounter atBoot;  // the millisecond clock is below 1000 just after start
    rate = atBoot.Tick(100, 30.0f);
    EXPECT_FLOAT_EQ(atBoot.Tick(150, rate), 20.0f);
}

std::vector<uint8_t> Jpeg(int width, int height) {
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3, 90);
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(h, bgr.data(), width, width * 3, height, TJPF_BGR, &out, &size,
                          TJSAMP_422, 90, 0), 0);
    std::vector<uint8_t> jpeg(out, out + size);
    tjFree(out);
    tjDestroy(h);
    return jpeg;
}

TEST(FillFrame, MjpgDecodesOnlyAtTheOpenSize) {
    const int w = 48, h = 32;
    std::vector<uint8_t> frame(w * h * 3, 0);
    auto jpeg = Jpeg(w, h);
    EXPECT_EQ(FillFrameFromSample(kSubtypeMjpg, w, h, jpeg.data(), jpeg.size(), frame.data()),
              FillResult::Filled);
    EXPECT_NEAR(frame[w * h * 3 / 2], 90, 3);

    std::vector<uint8_t> untouched(w * h * 3, 7);
    auto larger = Jpeg(w * 2, h);
    EXPECT_EQ(FillFrameFromSample(kSubtypeMjpg, w, h, larger.data(), larger.size(),
                                  untouched.data()),
              FillResult::Unusable);
    for (uint8_t b : untouched) ASSERT_EQ(b, 7);
}

TEST(FillFrame, CorruptAndTruncatedMjpgNeverCrashOrOverrun) {
    const int w = 48, h = 32;
    auto jpeg = Jpeg(w, h);
    std::vector<uint8_t> frame(w * h * 3);
    // Cut anywhere: the header may go, the scan may end early; ASan checks the writes.
    for (size_t cut : {size_t{2}, size_t{20}, jpeg.size() / 2, jpeg.size() - 2}) {
        std::vector<uint8_t> part(jpeg.begin(), jpeg.begin() + cut);
        FillFrameFromSample(kSubtypeMjpg, w, h, part.data(), part.size(), frame.data());
    }
    std::vector<uint8_t> noise(3000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 31 + 7);
    EXPECT_EQ(FillFrameFromSample(kSubtypeMjpg, w, h, noise.data(), noise.size(), frame.data()),
              FillResult::Unusable);
    // Scan data scrambled behind a valid header: decoding fails or warns, never overruns.
    auto scrambled = jpeg;
    for (size_t i = scrambled.size() / 3; i < scrambled.size() - 2; i += 7) scrambled[i] ^= 0x5A;
    FillFrameFromSample(kSubtypeMjpg, w, h, scrambled.data(), scrambled.size(), frame.data());
}

// A progressive JPEG with stray bytes after the Huffman table that follows its first scan (a
// warning) and the next Huffman table made impossible (a fatal error in the same decode call).
std::vector<uint8_t> WarningThenFatalJpeg(int width, int height) {
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<uint8_t>(i * 13);
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(h, bgr.data(), width, width * 3, height, TJPF_BGR, &out, &size,
                          TJSAMP_420, 90, TJFLAG_PROGRESSIVE), 0);
    std::vector<uint8_t> jpeg(out, out + size);
    tjFree(out);
    tjDestroy(h);
    auto find = [&](size_t from, uint8_t marker) {
        for (size_t i = from; i + 1 < jpeg.size(); ++i)
            if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) return i;
        return size_t{0};
    };
    const size_t firstScan = find(2, 0xDA);
    const size_t table1 = find(firstScan, 0xC4);
    const size_t table1End = table1 + 2 + (size_t{jpeg[table1 + 2]} << 8 | jpeg[table1 + 3]);
    const size_t table2 = find(table1End, 0xC4);
    EXPECT_TRUE(firstScan != 0 && table1 != 0 && table2 != 0);
    if (table2 == 0) return jpeg;
    // The 16 code counts follow the length and the class/id byte: 255 codes of length 1
    // cannot exist.
    jpeg[table2 + 5] = 0xFF;
    const uint8_t stray[] = {0x12, 0x34, 0x56};
    jpeg.insert(jpeg.begin() + static_cast<std::ptrdiff_t>(table1End), stray, stray + 3);
    return jpeg;
}

TEST(FillFrame, FatalErrorAfterAWarningIsUnusable) {
    const int w = 64, h = 48;
    const auto jpeg = WarningThenFatalJpeg(w, h);
    std::vector<uint8_t> frame(w * h * 3, 0);
    EXPECT_EQ(FillFrameFromSample(kSubtypeMjpg, w, h, jpeg.data(), jpeg.size(), frame.data()),
              FillResult::Unusable);

    // The stray bytes alone are only a warning: the whole picture is there.
    auto warned = Jpeg(w, h);
    for (size_t i = 2; i + 1 < warned.size(); ++i) {
        if (warned[i] == 0xFF && warned[i + 1] == 0xDA) {
            const uint8_t stray[] = {0x01, 0x02};
            warned.insert(warned.begin() + static_cast<std::ptrdiff_t>(i), stray, stray + 2);
            break;
        }
    }
    std::fill(frame.begin(), frame.end(), 0);
    EXPECT_EQ(FillFrameFromSample(kSubtypeMjpg, w, h, warned.data(), warned.size(), frame.data()),
              FillResult::Filled);
    EXPECT_NEAR(frame[frame.size() - 1], 90, 3);
}

TEST(FillFrame, UnknownSubtypeIsIgnored) {
    std::vector<uint8_t> sample(8 * 8 * 2, 50), frame(8 * 8 * 3, 3);
    EXPECT_EQ(FillFrameFromSample(kSubtypeNone, 8, 8, sample.data(), sample.size(), frame.data()),
              FillResult::UnknownSubtype);
    EXPECT_EQ(frame[0], 3);
    EXPECT_EQ(FillFrameFromSample(kSubtypeYuy2, 8, 8, sample.data(), sample.size(), frame.data()),
              FillResult::Filled);
}

}  // namespace
