#include "recording/record_timing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

TEST(RecordTiming, FrameDurationFollowsTheRateButNeverPassesAFifthOfASecond) {
    EXPECT_EQ(FrameDuration(30.0f), 333333);
    EXPECT_EQ(FrameDuration(60.0f), 166666);
    EXPECT_EQ(FrameDuration(25.0f), 400000);
    EXPECT_EQ(FrameDuration(5.0f), 2000000);
    EXPECT_EQ(FrameDuration(4.9f), 2000000);
    EXPECT_EQ(FrameDuration(0.01f), 2000000);
    // A rate that was never measured properly records as 30 frames per second.
    const float unusable[] = {0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity()};
    for (float rate : unusable) {
        EXPECT_EQ(FrameDuration(rate), 333333) << rate;
        EXPECT_EQ(StreamRate(rate), 300u) << rate;
    }
}

TEST(RecordTiming, StreamRateIsTheRateInTenthsRounded) {
    EXPECT_EQ(StreamRate(29.97f), 300u);  // 300/10, not 2997/100
    EXPECT_EQ(StreamRate(30.0f), 300u);
    EXPECT_EQ(StreamRate(3.3f), 33u);     // below 5 the header keeps the measured rate
    EXPECT_EQ(StreamRate(14.96f), 150u);
    EXPECT_EQ(StreamRate(0.04f), 1u);     // never a rate of zero
    EXPECT_EQ(StreamRate(1e30f), 10000u);
}

TEST(RecordTiming, DibRowsAreBottomUpAndPaddedToFourBytes) {
    EXPECT_EQ(DibStride(640), 1920u);
    EXPECT_EQ(DibStride(1366), 4100u);
    EXPECT_EQ(DibStride(1), 4u);
    EXPECT_EQ(DibStride(3), 12u);
    EXPECT_EQ(DibImageSize(1366, 768), 4100u * 768);

    // 3 x 2 pixels: rows of 9 bytes become rows of 12, the bottom one first.
    std::vector<uint8_t> frame(18);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i + 1);
    std::vector<uint8_t> dib(DibImageSize(3, 2), 0xEE);  // padding must not keep old bytes
    FrameToDibRows(frame.data(), 3, 2, dib.data());
    const std::vector<uint8_t> expected = {10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0,
                                           1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0};
    EXPECT_EQ(dib, expected);
}

TEST(RecordTiming, QueueHoldsTwoSecondsWithinTheByteBudget) {
    EXPECT_EQ(RecordQueueLimit(640 * 480 * 3, 30.0f), 60u);
    EXPECT_EQ(RecordQueueLimit(640 * 480 * 3, 7.5f), 15u);
    EXPECT_EQ(RecordQueueLimit(640 * 480 * 3, std::nanf("")), 60u);
    EXPECT_EQ(RecordQueueLimit(1920 * 1080 * 3, 30.0f), 43u);  // 256 MB of 6.2 MB frames
    EXPECT_EQ(RecordQueueLimit(size_t{400} << 20, 30.0f), 2u);
    EXPECT_EQ(RecordQueueLimit(100, 0.2f), 2u);
}

TEST(RecordTiming, TimeLimitListShowsSixOfTheElevenValues) {
    const int32_t values[] = {0, 10, 30, 60, 300, 600, 1800, 3600, 7200, 14400, 28800};
    for (int i = 0; i < kTimeLimitValues; ++i) EXPECT_EQ(kTimeLimitSeconds[i], values[i]);
    EXPECT_STREQ(kTimeLimitKeys[0], "limit -1");
    EXPECT_STREQ(kTimeLimitKeys[5], "limit 10m");
    EXPECT_EQ(TimeLimitPosition(0), 0);
    EXPECT_EQ(TimeLimitPosition(10), 1);
    EXPECT_EQ(TimeLimitPosition(600), 5);
    EXPECT_EQ(TimeLimitPosition(3600), 0);  // stored, but not offered
    EXPECT_EQ(TimeLimitPosition(45), 0);
}

TEST(RecordTiming, ClockShowsTenthsBelowAMinuteThenMinutesAndSeconds) {
    EXPECT_EQ(TotalMilliseconds(9999999, 0), 999);
    EXPECT_EQ(TotalMilliseconds(5000000, 600000000), 60500);
    const struct {
        int64_t ms;
        const char* text;
    } cases[] = {{0, "0.0"},         {99, "0.0"},         {42789, "42.7"},
                 {59999, "59.9"},    {60000, "1:00"},     {725000, "12:05"},
                 {3599999, "59:59"}, {3600000, "60:00"}, {36000000, "600:00"}};
    for (const auto& c : cases) EXPECT_EQ(FormatRecordedTime(c.ms), c.text) << c.ms;
}

TEST(RecordTiming, LimitStopsBeforeASplitIsConsidered) {
    EXPECT_EQ(CheckRecording(9999, 10, 0, kSplitBytes, false), RecordCheck::Continue);
    EXPECT_EQ(CheckRecording(10000, 10, 0, kSplitBytes, false), RecordCheck::Stop);
    EXPECT_EQ(CheckRecording(10000, 10, kSplitBytes + 1, kSplitBytes, true), RecordCheck::Stop);
    EXPECT_EQ(CheckRecording(int64_t{1} << 40, 0, 0, kSplitBytes, false), RecordCheck::Continue);
    EXPECT_EQ(CheckRecording(5000, 0, kSplitBytes, kSplitBytes, false), RecordCheck::Continue);
    EXPECT_EQ(CheckRecording(5000, 0, kSplitBytes + 1, kSplitBytes, false), RecordCheck::Split);
    EXPECT_EQ(CheckRecording(5000, 0, 0, kSplitBytes, true), RecordCheck::Split);
    EXPECT_EQ(kSplitBytes, 2197815295);
}

// No byte of a file, the next frame's and the index's included, may lie at or past 2 GiB.
TEST(RecordTiming, AFileTakesFramesOnlyWhileTheyAndTheirIndexEndBelowTwoGiB) {
    const size_t hd = 1920 * 1080 * 3;
    EXPECT_EQ(AviFileBytes(0, hd), 4104);
    EXPECT_EQ(AviFileBytes(345, hd), 2146188384);  // frames to 2146180808, then the index
    EXPECT_GT(AviFileBytes(346, hd), kAviFileLimit);
    EXPECT_EQ(AviFramesLeft(0, hd), 345);
    EXPECT_EQ(AviFramesLeft(344, hd), 1);
    EXPECT_EQ(AviFramesLeft(345, hd), 0);
    EXPECT_EQ(AviFramesLeft(400, hd), 0);
    // One frame whose file ends exactly at 2 GiB fits; a byte more does not, nor does an odd
    // size, which its chunk pads by one.
    const size_t exact = 2147479520;  // 2 GiB - 2048 header - 8 chunk - 8 index - 16 entry - 2048
    EXPECT_EQ(AviFileBytes(1, exact), kAviFileLimit);
    EXPECT_EQ(AviFramesLeft(0, exact), 1);
    EXPECT_EQ(AviFramesLeft(0, exact + 1), 0);
    EXPECT_EQ(AviFramesLeft(0, exact - 1), 1);
    EXPECT_EQ(AviFramesLeft(0, exact + 2), 0);
}

// Compressed frames of any size: the same limit, counted byte by byte, and a queue of the same
// memory that holds more frames; the header learns the largest sample once the file is done.
TEST(RecordTiming, CompressedFilesCountBytesAndTheHeaderGetsTheLargestSample) {
    const size_t hd = 1920 * 1080 * 3;
    EXPECT_EQ(AviBytesLeft(0), kAviFileLimit - AviFileBytes(0, hd));
    EXPECT_EQ(AviBytesLeft(345 * AviFrameCost(hd)), kAviFileLimit - AviFileBytes(345, hd));
    EXPECT_LT(AviBytesLeft(345 * AviFrameCost(hd)), AviFrameCost(hd));
    EXPECT_EQ(AviFrameCost(301), 301 + 1 + 8 + 16);  // padded to even

    const RecordQueueBounds raw = RecordQueueBoundsFor(hd, 30.0f, false);
    const RecordQueueBounds mjpg = RecordQueueBoundsFor(hd, 30.0f, true);
    EXPECT_EQ(raw.frames, 43u);
    EXPECT_EQ(raw.bytes, 43 * hd);
    EXPECT_EQ(mjpg.bytes, raw.bytes);
    EXPECT_EQ(mjpg.frames, 16 * raw.frames);
    EXPECT_EQ(AviBytesToCome(mjpg, hd), static_cast<int64_t>(43 * hd + 688 * 26) + AviFrameCost(hd));

    // RIFF, hdrl with avih, strl with strh and strf, then movi: the two sizes are set.
    std::vector<uint8_t> file;
    const auto put = [&file](const char* tag, uint32_t size) {
        file.insert(file.end(), tag, tag + 4);
        for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(size >> (8 * i)));
    };
    const auto pad = [&file](size_t n) { file.insert(file.end(), n, 0xAB); };
    put("RIFF", 1000000);
    file.insert(file.end(), {'A', 'V', 'I', ' '});
    put("LIST", 4 + 8 + 56 + 8 + 4 + 8 + 56 + 8 + 40);
    file.insert(file.end(), {'h', 'd', 'r', 'l'});
    put("avih", 56);
    pad(56);
    put("LIST", 4 + 8 + 56 + 8 + 40);
    file.insert(file.end(), {'s', 't', 'r', 'l'});
    put("strh", 56);
    pad(56);
    put("strf", 40);
    pad(40);
    put("LIST", 999000);
    file.insert(file.end(), {'m', 'o', 'v', 'i'});
    std::vector<uint8_t> patched = file;
    ASSERT_TRUE(SetLargestSampleInHeader(patched.data(), patched.size(), 0x01020304));
    const size_t strh = 12 + 12 + 64 + 12 + 8, strf = strh + 56 + 8;
    for (size_t at : {strh + 36, strf + 20}) {
        EXPECT_EQ(patched[at], 0x04);
        EXPECT_EQ(patched[at + 3], 0x01);
        std::memcpy(&patched[at], &file[at], 4);
    }
    EXPECT_EQ(patched, file);  // nothing else changed
    EXPECT_FALSE(SetLargestSampleInHeader(patched.data(), strh, 1));  // cut before its stream
    patched[8] = 'X';
    EXPECT_FALSE(SetLargestSampleInHeader(patched.data(), patched.size(), 1));
}

}  // namespace
