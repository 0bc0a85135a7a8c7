// The streaming thread's work on a sample must not take heap memory once it has seen a frame
// of the open size: every malloc and new of the process is counted while samples go through
// the same steps the preview callback runs (rate tick, decode or convert, mirror, filter,
// the recorder's queue). Counting needs the sanitizer's allocator hooks, which the native
// test build has.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "pipeline/frame_rate.h"
#include "pipeline/image_filters.h"
#include "pipeline/ring_queue.h"
#include "pipeline/sample_processing.h"

#if defined(__SANITIZE_ADDRESS__)
#define TL_COUNT_ALLOCATIONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TL_COUNT_ALLOCATIONS 1
#endif
#endif

#ifdef TL_COUNT_ALLOCATIONS
// The sanitizer runtime's hook, declared here: GCC ships the runtime without this header.
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*onMalloc)(const volatile void*, size_t), void (*onFree)(const volatile void*));
#endif

namespace {

std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};

#ifdef TL_COUNT_ALLOCATIONS
void OnMalloc(const volatile void*, size_t) {
    if (g_counting) ++g_allocations;
}
void OnFree(const volatile void*) {}
bool InstallHooks() {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    return installed;
}
#else
bool InstallHooks() { return false; }
#endif

// Allocations made while `work` runs.
template <typename Work>
int AllocationsDuring(Work work) {
    g_allocations = 0;
    g_counting = true;
    work();
    g_counting = false;
    return g_allocations;
}

// A textured picture, so decoding does real work and two pictures differ.
std::vector<uint8_t> Jpeg(int width, int height, int seed, int subsampling, int flags = 0) {
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < bgr.size(); ++i) bgr[i] = static_cast<uint8_t>((i * 7 + seed * 31) ^ (i / 97));
    tjhandle h = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(h, bgr.data(), width, width * 3, height, TJPF_BGR, &out, &size,
                          subsampling, 85, flags), 0);
    std::vector<uint8_t> jpeg(out, out + size);
    tjFree(out);
    tjDestroy(h);
    return jpeg;
}

// The scan asks for Huffman tables no marker defined: a fatal error once decoding has begun.
std::vector<uint8_t> WithUndefinedHuffmanTables(std::vector<uint8_t> jpeg) {
    for (size_t i = 2; i + 6 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) {
            jpeg[i + 6] = 0x22;  // first component: DC and AC table 2
            return jpeg;
        }
    }
    ADD_FAILURE() << "no scan";
    return jpeg;
}

std::vector<uint8_t> DecodedAlone(const std::vector<uint8_t>& jpeg, int width, int height) {
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    EXPECT_EQ(DecodeMjpgFrame(jpeg.data(), jpeg.size(), width, height, frame.data()),
              MjpgResult::Decoded);
    return frame;
}

struct PreviewPath {
    FrameRateCounter rate;
    MjpgDecoder decoder;
    RingQueue<int> recorderQueue;  // stands for the recorder's queue of copies
    float frameRate = 30.0f;
    uint32_t clock = 5000;

    FillResult Run(const MediaSubtype& subtype, const std::vector<uint8_t>& sample, int width,
                   int height, const PreviewFlags& flags, uint8_t* slot) {
        clock += 33;
        frameRate = rate.Tick(clock, frameRate);
        const FillResult r = FillFrameFromSample(decoder, subtype, width, height, sample.data(),
                                                 sample.size(), slot);
        if (r != FillResult::Filled) return r;
        ApplyPreviewFlags(flags, slot, width, height);
        recorderQueue.push_back(1);
        if (recorderQueue.size() > 40) recorderQueue.pop_front();
        return r;
    }
};

class SamplePathAllocations : public ::testing::Test {
protected:
    void SetUp() override {
        if (!InstallHooks()) GTEST_SKIP() << "allocations are counted only in the sanitizer build";
    }
};

TEST_F(SamplePathAllocations, MjpgFramesAfterTheFirstTakeNoHeapAndDecodeAsAFreshDecoderDoes) {
    const int w = 1280, h = 720;
    for (int subsampling : {TJSAMP_422, TJSAMP_420}) {
        const std::vector<uint8_t> pictures[] = {Jpeg(w, h, 1, subsampling),
                                                 Jpeg(w, h, 2, subsampling)};
        const std::vector<uint8_t> expected[] = {DecodedAlone(pictures[0], w, h),
                                                 DecodedAlone(pictures[1], w, h)};
        PreviewPath path;
        path.recorderQueue.reserve(64);
        std::vector<uint8_t> slot(static_cast<size_t>(w) * h * 3);
        const PreviewFlags plain = {};
        ASSERT_EQ(path.Run(kSubtypeMjpg, pictures[0], w, h, plain, slot.data()), FillResult::Filled);

        const std::vector<uint8_t> broken = WithUndefinedHuffmanTables(pictures[0]);
        PreviewFlags flags[6] = {};
        flags[1].flipHorizontal = 1;
        flags[2].gray = 1;
        flags[3].binary = 1;
        flags[4].invert = 1;
        flags[5].emboss = 1;
        const int allocations = AllocationsDuring([&] {
            for (int i = 0; i < 24; ++i) {
                // A broken sample now and then: its fatal error must not leave the decoder
                // wanting new memory.
                const bool fails = i % 12 == 7;
                const FillResult r = path.Run(kSubtypeMjpg, fails ? broken : pictures[i % 2], w,
                                              h, flags[i % 6], slot.data());
                ASSERT_EQ(r, fails ? FillResult::Unusable : FillResult::Filled) << i;
            }
        });
        EXPECT_EQ(allocations, 0) << "subsampling " << subsampling;

        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(path.Run(kSubtypeMjpg, pictures[i], w, h, plain, slot.data()),
                      FillResult::Filled);
            EXPECT_TRUE(slot == expected[i]) << "picture " << i << " subsampling " << subsampling;
        }
        EXPECT_NEAR(path.frameRate, 1000.0f / 33, 0.5f);
    }
}

TEST_F(SamplePathAllocations, Yuy2FramesTakeNoHeap) {
    const int w = 640, h = 480;
    std::vector<uint8_t> sample(static_cast<size_t>(w) * h * 2);
    for (size_t i = 0; i < sample.size(); ++i) sample[i] = static_cast<uint8_t>(i * 13);
    PreviewPath path;
    path.recorderQueue.reserve(64);
    std::vector<uint8_t> slot(static_cast<size_t>(w) * h * 3);
    PreviewFlags flags = {};
    flags.flipHorizontal = 1;
    flags.emboss = 1;
    EXPECT_EQ(AllocationsDuring([&] {
                  for (int i = 0; i < 60; ++i)
                      ASSERT_EQ(path.Run(kSubtypeYuy2, sample, w, h, flags, slot.data()),
                                FillResult::Filled);
              }),
              0);
}

TEST_F(SamplePathAllocations, CounterSeesTheHeapWhenItIsUsed) {
    // The check above is only worth something if a returning allocation would be counted.
    const auto jpeg = Jpeg(64, 48, 3, TJSAMP_422);
    std::vector<uint8_t> frame(64 * 48 * 3);
    EXPECT_GT(AllocationsDuring([&] {
                  ASSERT_EQ(FillFrameFromSample(kSubtypeMjpg, 64, 48, jpeg.data(), jpeg.size(),
                                                frame.data()),
                            FillResult::Filled);
              }),
              0);
    RingQueue<int> unreserved;
    EXPECT_GT(AllocationsDuring([&] { unreserved.push_back(1); }), 0);
}

TEST(MjpgDecoder, ReusedAcrossSizesProgressiveAndMismatchesDecodesLikeAFreshOne) {
    MjpgDecoder decoder;
    struct Case {
        int w, h, subsampling, flags;
    } cases[] = {{640, 480, TJSAMP_422, 0},
                 {1280, 720, TJSAMP_420, 0},
                 {320, 240, TJSAMP_444, TJFLAG_PROGRESSIVE},  // arrays of the library's own
                 {640, 480, TJSAMP_422, 0},
                 {200, 150, TJSAMP_420, 0}};  // not a multiple of the block size
    int seed = 0;
    for (const Case& c : cases) {
        const auto jpeg = Jpeg(c.w, c.h, ++seed, c.subsampling, c.flags);
        std::vector<uint8_t> frame(static_cast<size_t>(c.w) * c.h * 3, 0);
        ASSERT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), c.w, c.h, frame.data()),
                  MjpgResult::Decoded) << c.w << "x" << c.h;
        EXPECT_TRUE(frame == DecodedAlone(jpeg, c.w, c.h)) << c.w << "x" << c.h;

        std::vector<uint8_t> untouched(static_cast<size_t>(c.w) * c.h * 3, 7);
        EXPECT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), c.w + 16, c.h, untouched.data()),
                  MjpgResult::SizeMismatch);
        EXPECT_EQ(decoder.Decode(jpeg.data(), 20, c.w, c.h, untouched.data()), MjpgResult::Corrupt);
        const auto broken = WithUndefinedHuffmanTables(jpeg);
        EXPECT_EQ(decoder.Decode(broken.data(), broken.size(), c.w, c.h, untouched.data()),
                  MjpgResult::Corrupt);
    }
}

// Every segment with this marker taken out.
std::vector<uint8_t> WithoutSegments(std::vector<uint8_t> jpeg, uint8_t marker) {
    for (size_t i = 2; i + 4 < jpeg.size();) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) break;  // the scan: no more tables
        const size_t length = size_t{jpeg[i + 2]} << 8 | jpeg[i + 3];
        if (jpeg[i] == 0xFF && jpeg[i + 1] == marker) {
            jpeg.erase(jpeg.begin() + static_cast<std::ptrdiff_t>(i),
                       jpeg.begin() + static_cast<std::ptrdiff_t>(i + 2 + length));
        } else {
            i += 2 + length;
        }
    }
    return jpeg;
}

// The first Huffman table keeps its shape but two of its symbols trade places: a table a
// damaged sample may well carry, and one that garbles whatever is decoded with it.
std::vector<uint8_t> WithWrongHuffmanTable(std::vector<uint8_t> jpeg) {
    for (size_t i = 2; i + 22 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC4) {
            std::swap(jpeg[i + 21], jpeg[i + 22]);  // after length, class/id and 16 counts
            return jpeg;
        }
    }
    ADD_FAILURE() << "no Huffman table";
    return jpeg;
}

// Tables persist in a decompressor from one picture to the next; a camera's samples must
// not: a frame relying on the standard Huffman tables (as many cameras send them) decodes
// with those, not with what an earlier, damaged sample defined, and a frame without its
// quantisation tables is unreadable whatever came before.
TEST(MjpgDecoder, TablesOfOneSampleNeverServeTheNext) {
    MjpgDecoder decoder;
    const auto jpeg = Jpeg(320, 240, 9, TJSAMP_422);
    const auto wrong = WithWrongHuffmanTable(jpeg);
    const auto noHuffman = WithoutSegments(jpeg, 0xC4);
    const auto noQuant = WithoutSegments(jpeg, 0xDB);
    ASSERT_LT(noHuffman.size(), jpeg.size());
    ASSERT_LT(noQuant.size(), jpeg.size());
    const auto expected = DecodedAlone(jpeg, 320, 240);
    ASSERT_TRUE(DecodedAlone(noHuffman, 320, 240) == expected);

    std::vector<uint8_t> frame(320 * 240 * 3);
    for (int round = 0; round < 2; ++round) {
        decoder.Decode(wrong.data(), wrong.size(), 320, 240, frame.data());
        ASSERT_EQ(decoder.Decode(noHuffman.data(), noHuffman.size(), 320, 240, frame.data()),
                  MjpgResult::Decoded);
        EXPECT_TRUE(frame == expected) << round;
        ASSERT_EQ(decoder.Decode(jpeg.data(), jpeg.size(), 320, 240, frame.data()),
                  MjpgResult::Decoded);
        EXPECT_EQ(decoder.Decode(noQuant.data(), noQuant.size(), 320, 240, frame.data()),
                  MjpgResult::Corrupt) << round;
    }
}

TEST(RingQueue, KeepsOrderAcrossWrapAndGrowth) {
    RingQueue<int> q;
    q.reserve(4);
    int next = 0, expected = 0;
    // Wrap around the reserved room many times, then grow while wrapped.
    for (int round = 0; round < 10; ++round) {
        while (q.size() < 3) q.push_back(next++);
        q.pop_front();
        ASSERT_EQ(q.front(), ++expected) << round;
        q.pop_front();
        ++expected;
    }
    EXPECT_EQ(q.capacity(), 4u);
    for (int i = 0; i < 9; ++i) q.push_back(next++);
    EXPECT_GE(q.capacity(), 10u);
    ASSERT_EQ(q.size(), 10u);
    for (size_t i = 0; i < q.size(); ++i) EXPECT_EQ(q[i], expected + static_cast<int>(i));
    q.clear();
    EXPECT_TRUE(q.empty());
    q.push_back(42);
    EXPECT_EQ(q.front(), 42);
}

}  // namespace
