// The preview callback on Windows: real window notices, ring publication, record queue.
#include <windows.h>

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <vector>

#include "capture/capture_graph.h"
#include "pipeline/color_bar.h"
#include "pipeline/grabber_callback.h"
#include "pipeline/video_format.h"
#include "pipeline/yuy2_convert.h"
#include "win/win_test_support.h"

namespace {

class GrabberCallbackTest : public testing::Test {
protected:
    void SetUpStream(const MediaSubtype& subtype, int width, int height) {
        Pipeline_Initialise(view_.hwnd());
        g_pipeline.format.subtype = subtype;
        g_pipeline.format.width = width;
        g_pipeline.format.height = height;
        ASSERT_TRUE(Pipeline_AllocateRing());
        g_pipeline.ring.graphActive = 1;
    }
    void TearDown() override {
        Pipeline_DiscardRecordQueue();
        Pipeline_Reset();
    }
    LONG Published() const { return g_pipeline.ring.publishedIndex; }

    RecorderWindow view_;
};

std::vector<uint8_t> Gradient(int width, int height) {
    std::vector<uint8_t> yuy2(static_cast<size_t>(width) * height * 2);
    for (size_t i = 0; i < yuy2.size(); ++i) yuy2[i] = static_cast<uint8_t>(i * 7 + i / 97);
    return yuy2;
}

std::vector<uint8_t> EncodeJpeg(int width, int height) {
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(x * 4);
            p[1] = static_cast<uint8_t>(y * 4);
            p[2] = 200;
        }
    tjhandle h = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(h, bgr.data(), width, width * 3, height, TJPF_BGR, &jpeg, &size, TJSAMP_422, 95, 0);
    std::vector<uint8_t> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(h);
    return out;
}

TEST_F(GrabberCallbackTest, Yuy2SamplePublishesNextSlotWithConvertedPixels) {
    SetUpStream(kSubtypeYuy2, 64, 48);
    auto sample = Gradient(64, 48);
    g_grabberCallback.BufferCB(0.0, sample.data(), static_cast<LONG>(sample.size()));
    ASSERT_EQ(Published(), 1);
    std::vector<uint8_t> expected(64 * 48 * 3);
    Yuy2ToBgrReference(sample.data(), expected.data(), 64 * 48);
    const uint8_t* frame = Pipeline_CurrentFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(0, memcmp(frame, expected.data(), expected.size()));

    // Four more samples wrap the ring back to slot 1.
    for (int i = 0; i < 4; ++i)
        g_grabberCallback.BufferCB(0.0, sample.data(), static_cast<LONG>(sample.size()));
    EXPECT_EQ(Published(), 1);
}

TEST_F(GrabberCallbackTest, ShortOrForeignSamplesAreNotPublished) {
    SetUpStream(kSubtypeYuy2, 64, 48);
    auto sample = Gradient(64, 48);
    g_grabberCallback.BufferCB(0.0, sample.data(), static_cast<LONG>(sample.size() - 2));
    EXPECT_EQ(Published(), 0);

    g_pipeline.format.subtype = kSubtypeNone;
    g_grabberCallback.BufferCB(0.0, sample.data(), static_cast<LONG>(sample.size()));
    EXPECT_EQ(Published(), 0);
}

TEST_F(GrabberCallbackTest, MjpgSampleDecodesAndWrongSizeOrCorruptIsSkipped) {
    SetUpStream(kSubtypeMjpg, 64, 48);
    auto jpeg = EncodeJpeg(64, 48);
    g_grabberCallback.BufferCB(0.0, jpeg.data(), static_cast<LONG>(jpeg.size()));
    ASSERT_EQ(Published(), 1);
    const uint8_t* frame = Pipeline_CurrentFrame();
    // Pixel (10, 5): blue 40, green 20, red 200, within JPEG error.
    const uint8_t* p = frame + (5 * 64 + 10) * 3;
    EXPECT_NEAR(p[0], 40, 8);
    EXPECT_NEAR(p[1], 20, 8);
    EXPECT_NEAR(p[2], 200, 8);

    auto other = EncodeJpeg(32, 48);
    g_grabberCallback.BufferCB(0.0, other.data(), static_cast<LONG>(other.size()));
    EXPECT_EQ(Published(), 1);

    std::vector<uint8_t> garbage(jpeg.begin(), jpeg.begin() + 20);
    garbage.resize(4000, 0x5A);
    g_grabberCallback.BufferCB(0.0, garbage.data(), static_cast<LONG>(garbage.size()));
    EXPECT_EQ(Published(), 1);
}

TEST_F(GrabberCallbackTest, ColourBarFramePostsTestPatternAndIsNotShown) {
    SetUpStream(kSubtypeYuy2, 640, 480);
    std::vector<uint8_t> bars(kColorBarSampleLength);
    BuildColorBarFrame(bars.data());
    g_grabberCallback.BufferCB(0.0, bars.data(), static_cast<LONG>(bars.size()));
    EXPECT_EQ(Published(), 0);
    ASSERT_TRUE(PumpUntil([&] { return view_.CountOf(WM_APP_TEST_PATTERN) == 1; }, 2000));

    // Same size, one group different inside a band: an ordinary frame.
    bars[2560 + 4 * 500] ^= 1;
    view_.Clear();
    g_grabberCallback.BufferCB(0.0, bars.data(), static_cast<LONG>(bars.size()));
    EXPECT_EQ(Published(), 1);
    PumpFor(100);
    EXPECT_EQ(view_.CountOf(WM_APP_TEST_PATTERN), 0);
}

TEST_F(GrabberCallbackTest, ColourBarIsCheckedWhateverTheOpenSubtype) {
    SetUpStream(kSubtypeMjpg, 640, 480);
    std::vector<uint8_t> bars(kColorBarSampleLength);
    BuildColorBarFrame(bars.data());
    g_grabberCallback.BufferCB(0.0, bars.data(), static_cast<LONG>(bars.size()));
    EXPECT_TRUE(PumpUntil([&] { return view_.CountOf(WM_APP_TEST_PATTERN) == 1; }, 2000));
}

TEST_F(GrabberCallbackTest, RecordingQueuesCopiesUnlessPaused) {
    SetUpStream(kSubtypeYuy2, 32, 16);
    g_pipeline.queue.frameReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto sample = Gradient(32, 16);
    g_pipeline.format.recording = 1;
    g_grabberCallback.BufferCB(0.0, sample.data(), static_cast<LONG>(sample.size()));
    ASSERT_EQ(g_pipeline.queue.frames.size(), 1u);
    EXPECT_EQ(g_pipeline.queue.frames.front().size, 32u * 16 * 3);
    EXPECT_EQ(0, memcmp(g_pipeline.queue.frames.front().data, Pipeline_CurrentFrame(), 32 * 16 * 3));
    EXPECT_EQ(WaitForSingleObject(g_pipeline.queue.frameReady, 0), WAIT_OBJECT_0);

    g_pipeline.format.paused = 1;
    g_grabberCallback.BufferCB(0.0, sample.data(), static_cast<LONG>(sample.size()));
    EXPECT_EQ(g_pipeline.queue.frames.size(), 1u);
    EXPECT_EQ(Published(), 2);  // still displayed
}

TEST_F(GrabberCallbackTest, ResetClearsFlagsAndFrames) {
    SetUpStream(kSubtypeYuy2, 32, 16);
    g_pipeline.preview.gray = 1;
    g_pipeline.format.frameRate = 12.5f;
    Pipeline_Reset();
    EXPECT_EQ(Pipeline_CurrentFrame(), nullptr);
    EXPECT_EQ(g_pipeline.preview.gray, 0);
    EXPECT_EQ(g_pipeline.format.width, 0);
    EXPECT_FLOAT_EQ(g_pipeline.format.frameRate, 30.0f);
}

TEST(GrabberCallbackCom, AnswersOnlyItsInterfaces) {
    void* out = nullptr;
    EXPECT_EQ(g_grabberCallback.QueryInterface(IID_ISampleGrabberCB, &out), S_OK);
    EXPECT_EQ(out, &g_grabberCallback);
    EXPECT_EQ(g_grabberCallback.QueryInterface(IID_IUnknown, &out), S_OK);
    EXPECT_EQ(g_grabberCallback.QueryInterface(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(g_grabberCallback.AddRef(), 1u);
    EXPECT_EQ(g_grabberCallback.Release(), 2u);
    EXPECT_EQ(g_grabberCallback.SampleCB(0.0, nullptr), E_NOTIMPL);
}

// Runs on its own thread: holds the frame lock until told to let go.
struct FrameLockHolder {
    HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE leave = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<FrameLockHolder*>(param);
        EnterCriticalSection(&g_pipeline.ring.frameLock);
        SetEvent(self->entered);
        WaitForSingleObject(self->leave, 10000);
        LeaveCriticalSection(&g_pipeline.ring.frameLock);
        return 0;
    }
    ~FrameLockHolder() {
        SetEvent(leave);
        if (thread != nullptr) WaitForSingleObject(thread, 10000), CloseHandle(thread);
        CloseHandle(entered);
        CloseHandle(leave);
    }
};

TEST(PipelineLifetime, NoDeviceIndexBeforeTheFirstOpen) {
    EXPECT_EQ(g_capture.currentDeviceIndex, -1);
}

// A second view (or a test) initialising again must not reset a lock another thread holds,
// and must not leak the still image of the first.
TEST(PipelineLifetime, InitialisingAgainKeepsHeldLocksAndFreesTheStill) {
    RecorderWindow view;
    Pipeline_Initialise(view.hwnd());
    FrameLockHolder holder;
    holder.thread = CreateThread(nullptr, 0, &FrameLockHolder::Run, &holder, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(holder.entered, 5000), WAIT_OBJECT_0);
    Pipeline_Initialise(view.hwnd());
    EXPECT_FALSE(TryEnterCriticalSection(&g_pipeline.ring.frameLock));  // still the holder's
    SetEvent(holder.leave);
    ASSERT_EQ(WaitForSingleObject(holder.thread, 5000), WAIT_OBJECT_0);
    ASSERT_TRUE(TryEnterCriticalSection(&g_pipeline.ring.frameLock));
    LeaveCriticalSection(&g_pipeline.ring.frameLock);

    void* still = HeapAlloc(GetProcessHeap(), 0, 4096);
    ASSERT_NE(still, nullptr);
    g_pipeline.still.pixels = static_cast<uint8_t*>(still);
    g_pipeline.still.size = 4096;
    Pipeline_Initialise(view.hwnd());
    EXPECT_EQ(g_pipeline.still.pixels, nullptr);
    EXPECT_FALSE(HeapValidate(GetProcessHeap(), 0, still));  // freed, not dropped
}

// A writer that is still running when the wait gives up may touch its queue, the queue lock
// and both events at any time: none of them is freed, also not by a later reset, a new graph
// or the view's end.
TEST(PipelineLifetime, AWriterThatDoesNotFinishKeepsItsQueueLockAndEvents) {
    RecorderWindow view;
    Pipeline_Initialise(view.hwnd());
    Pipeline_CreateRecordEvents();
    const HANDLE ready = g_pipeline.queue.frameReady, done = g_pipeline.queue.writerDone;
    ASSERT_NE(done, nullptr);
    const uint8_t frame[12] = {};
    ASSERT_TRUE(Pipeline_QueueRecordFrame(frame, sizeof frame));
    g_pipeline.format.recording = 1;
    EXPECT_FALSE(Pipeline_FinishRecording(100));
    Pipeline_Reset();
    Pipeline_CreateRecordEvents();
    Pipeline_Shutdown();
    Pipeline_Initialise(view.hwnd());
    // The events of a later graph are closed with it: reopening the camera leaks none. (Wine
    // counts no handles, so the check is that they no longer work.)
    Pipeline_CreateRecordEvents();
    const HANDLE laterReady = g_pipeline.queue.frameReady, laterDone = g_pipeline.queue.writerDone;
    Pipeline_Reset();
    EXPECT_EQ(WaitForSingleObject(laterReady, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(laterDone, 0), WAIT_FAILED);
    EXPECT_EQ(g_pipeline.queue.frames.size(), 1u);  // left for the writer to take
    EXPECT_EQ(WaitForSingleObject(ready, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(SetEvent(done));
    EXPECT_TRUE(TryEnterCriticalSection(&g_pipeline.queue.queueLock));
    LeaveCriticalSection(&g_pipeline.queue.queueLock);

    // The writer finally ends: the test plays its part and gives everything back.
    Pipeline_DiscardRecordQueue();
    CloseHandle(ready);
    CloseHandle(done);
    g_pipeline.writerAbandoned = false;
    g_pipeline.abandonedEvents[0] = g_pipeline.abandonedEvents[1] = nullptr;
}

}  // namespace
