// Device enumeration, the capture graph, stills and camera properties against the
// simulated microscope, through the same DirectShow calls the program makes.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "capture/capture_graph.h"
#include "capture/device_list.h"
#include "pipeline/grabber_callback.h"
#include "pipeline/still_callback.h"
#include "pipeline/video_format.h"
#include "pipeline/yuy2_convert.h"
#include "win/simcam_tool.h"

namespace {

int IndexOf(const std::wstring& friendlyName) {
    for (size_t i = 0; i < g_deviceList.size(); ++i)
        if (g_deviceList[i].friendlyName == friendlyName) return static_cast<int>(i);
    return -1;
}

int CountOf(const std::wstring& friendlyName) {
    int n = 0;
    for (size_t i = 0; i < g_deviceList.size(); ++i) n += g_deviceList[i].friendlyName == friendlyName;
    return n;
}

class CaptureTest : public testing::Test {
protected:
    static void SetUpTestSuite() { RunSimcam(L"unplug --all"); }
    void SetUp() override {
        Pipeline_Initialise(view_.hwnd());
        g_requestedFormat = {kSubtypeMjpg, 0, 0, 0};
    }
    void TearDown() override {
        Capture_Close();
        Capture_SetOpenDevice(DeviceEntry());
        g_deviceList.Clear();
        for (const auto& name : plugged_) RunSimcam(L"unplug " + name);
        // Property changes are remembered under the program's key; no later test may find them.
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Tessaloom\\More", L"CameraSettings");
    }
    void Plug(const std::wstring& name, const std::wstring& options) {
        const SimcamResult r = RunSimcam(L"plug " + name + L" --friendly " + name + L" " + options);
        ASSERT_EQ(r.code, 0u) << r.output;
        plugged_.push_back(name);
    }
    // Enumerates and opens the named camera as the lifecycle does; false if BuildGraph fails.
    bool Open(const std::wstring& name) {
        g_deviceList.Enumerate();
        const int index = IndexOf(name);
        EXPECT_GE(index, 0);
        if (index < 0) return false;
        DeviceEntry& entry = g_deviceList[static_cast<size_t>(index)];
        EXPECT_TRUE(BindDeviceFilter(entry));
        Capture_Close();
        Capture_SetOpenDevice(entry);
        return Capture_BuildGraph();
    }
    bool WaitForFrames(int frames, DWORD timeoutMs = 5000) {
        int seen = 0;
        LONG last = g_pipeline.ring.publishedIndex;
        return PumpUntil([&] {
            const LONG now = g_pipeline.ring.publishedIndex;
            if (now != last) {
                ++seen;
                last = now;
            }
            return seen >= frames;
        }, timeoutMs);
    }

    RecorderWindow view_;
    std::vector<std::wstring> plugged_;
};

TEST_F(CaptureTest, IdenticalCamerasKeepTheirOrderAndUnplugRemovesOnlyThatOne) {
    Plug(L"CapTwinA", L"--friendly CapTwin");
    g_deviceList.Enumerate();
    ASSERT_EQ(CountOf(L"CapTwin"), 1);
    const size_t first = static_cast<size_t>(IndexOf(L"CapTwin"));
    const std::wstring firstPath = g_deviceList[first].devicePath;

    // The second identical camera goes after the first, whatever order the system reports.
    Plug(L"CapTwinB", L"--friendly CapTwin");
    g_deviceList.Enumerate();
    ASSERT_EQ(CountOf(L"CapTwin"), 2);
    EXPECT_EQ(g_deviceList[first].devicePath, firstPath);
    DeviceEntry& second = g_deviceList[first + 1];
    EXPECT_EQ(second.friendlyName, L"CapTwin");
    const std::wstring secondPath = second.devicePath;
    EXPECT_NE(firstPath, secondPath);

    // A bound filter and listed formats survive a re-enumeration without changes.
    ASSERT_TRUE(BindDeviceFilter(second));
    IBaseFilter* filter = second.filter;
    Capture_ListFormats(filter, second.yuy2Formats, second.mjpgFormats);
    g_deviceList.Enumerate();
    ASSERT_EQ(CountOf(L"CapTwin"), 2);
    EXPECT_EQ(g_deviceList[first + 1].filter, filter);
    EXPECT_EQ(g_deviceList[first + 1].mjpgFormats.size(), 3u);

    ASSERT_EQ(RunSimcam(L"unplug CapTwinA").code, 0u);
    g_deviceList.Enumerate();
    ASSERT_EQ(CountOf(L"CapTwin"), 1);
    const DeviceEntry& left = g_deviceList[static_cast<size_t>(IndexOf(L"CapTwin"))];
    EXPECT_EQ(left.devicePath, secondPath);
    EXPECT_EQ(left.filter, filter);
}

TEST_F(CaptureTest, UnacceptedCamerasAreNotListed) {
    Plug(L"CapOther", L"--vid 046D --pid 0825");
    Plug(L"CapIntegrated", L"--friendly \"Integrated CapCam\"");
    Plug(L"ZEBCAMERA", L"--vid 1234 --pid 5678");
    g_deviceList.Enumerate();
    EXPECT_EQ(IndexOf(L"CapOther"), -1);
    EXPECT_EQ(IndexOf(L"Integrated CapCam"), -1);
    EXPECT_GE(IndexOf(L"ZEBCAMERA"), 0);
}

TEST_F(CaptureTest, DefaultCameraOpensAt1080pMjpgAndStreams) {
    Plug(L"CapDefault", L"--formats MJPG:640x480,MJPG:1920x1080,MJPG:1280x720,YUY2:640x480");
    ASSERT_TRUE(Open(L"CapDefault"));
    EXPECT_TRUE(SameSubtype(g_pipeline.format.subtype, kSubtypeMjpg));
    EXPECT_EQ(g_pipeline.format.width, 1920);
    EXPECT_EQ(g_pipeline.format.height, 1080);
    EXPECT_EQ(g_pipeline.format.interpolated, 0);
    EXPECT_EQ(g_capture.currentDeviceIndex, IndexOf(L"CapDefault"));
    EXPECT_TRUE(PumpUntil([&] { return view_.CountOf(WM_APP_DEVICE_OPENED) == 1; }, 2000));
    EXPECT_TRUE(WaitForFrames(10));
    ASSERT_NE(Pipeline_CurrentFrame(), nullptr);

    Capture_Close();
    EXPECT_FALSE(Capture_IsOpen());
    EXPECT_EQ(Pipeline_CurrentFrame(), nullptr);
    EXPECT_EQ(g_capture.currentDeviceIndex, -1);
    EXPECT_TRUE(PumpUntil([&] { return view_.CountOf(WM_APP_DEVICE_CLOSED) == 1; }, 2000));
}

TEST_F(CaptureTest, SmallCameraGetsInterpolatedSizesAndStreams640x480) {
    Plug(L"CapSmall", L"--formats MJPG:640x480,MJPG:320x240");
    g_deviceList.Enumerate();
    DeviceEntry& entry = g_deviceList[static_cast<size_t>(IndexOf(L"CapSmall"))];
    ASSERT_TRUE(BindDeviceFilter(entry));
    Capture_ListFormats(entry.filter, entry.yuy2Formats, entry.mjpgFormats);
    ASSERT_EQ(entry.mjpgFormats.size(), 3u);  // 320 x 240 is never listed
    EXPECT_EQ(entry.mjpgFormats.at(1228800).interpolated, 1);
    EXPECT_EQ(entry.mjpgFormats.at(2073600).interpolated, 1);
    EXPECT_TRUE(entry.yuy2Formats.empty());

    ASSERT_TRUE(Open(L"CapSmall"));
    EXPECT_EQ(g_pipeline.format.width, 640);
    EXPECT_EQ(g_pipeline.format.height, 480);
    EXPECT_EQ(g_pipeline.format.interpolated, 1);
    EXPECT_TRUE(WaitForFrames(5));
}

TEST_F(CaptureTest, MissingRequestedSizeFallsBackToTheDefault) {
    Plug(L"CapFallback", L"--formats MJPG:1280x720,MJPG:640x480");
    g_requestedFormat = {kSubtypeMjpg, 1600, 1200, 0};
    ASSERT_TRUE(Open(L"CapFallback"));
    EXPECT_EQ(g_pipeline.format.width, 1280);
    EXPECT_EQ(g_requestedFormat.width, 1280);
}

TEST_F(CaptureTest, Yuy2OnlyCameraDefaultsToYuy2WithExactPixels) {
    Plug(L"CapYuy2", L"--formats YUY2:800x600,YUY2:640x480");
    ASSERT_TRUE(Open(L"CapYuy2"));
    ASSERT_TRUE(SameSubtype(g_pipeline.format.subtype, kSubtypeYuy2));
    EXPECT_EQ(g_pipeline.format.width, 640);

    // Look at what the camera sends and what lands in the ring for the same sample.
    struct Tap final : ISampleGrabberCB {
        std::vector<uint8_t> raw, frame;
        std::atomic<int> samples{0};
        STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
        STDMETHODIMP_(ULONG) AddRef() override { return 1; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
        STDMETHODIMP SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
        STDMETHODIMP BufferCB(double t, BYTE* buffer, LONG length) override {
            g_grabberCallback.BufferCB(t, buffer, length);
            if (samples == 3) {
                raw.assign(buffer, buffer + length);
                const size_t size = 640 * 480 * 3;
                const uint8_t* published = g_pipeline.ring.slots[g_pipeline.ring.publishedIndex];
                frame.assign(published, published + size);
            }
            ++samples;
            return S_OK;
        }
    } tap;
    ASSERT_NE(g_capture.grabber, nullptr);
    g_capture.grabber->SetCallback(&tap, 1);
    const DWORD start = GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return tap.samples >= 31; }, 5000));
    const DWORD elapsed = GetTickCount() - start;
    Capture_Close();  // stops the stream before the tap goes out of scope
    EXPECT_LT(elapsed, 2500u) << "the camera runs at 30 frames per second";
    ASSERT_EQ(tap.raw.size(), 640u * 480 * 2);
    std::vector<uint8_t> expected(640 * 480 * 3);
    Yuy2ToBgrReference(tap.raw.data(), expected.data(), 640 * 480);
    EXPECT_EQ(tap.frame, expected);
}

TEST_F(CaptureTest, CameraWithoutUsableFormatsFailsCleanlyAndNextOpenWorks) {
    Plug(L"CapTiny", L"--formats YUY2:320x240");
    EXPECT_FALSE(Open(L"CapTiny"));
    EXPECT_FALSE(Capture_IsOpen());
    EXPECT_EQ(g_pipeline.ring.slots[0], nullptr);
    // Nothing of the attempt is held until the next open.
    EXPECT_EQ(g_capture.camera, nullptr);
    EXPECT_EQ(g_capture.moniker, nullptr);
    EXPECT_EQ(g_capture.currentDeviceIndex, -1);

    // Formats listed for one camera (no graph yet), then a build for another that fails: the
    // maps go with the attempt, so the next open cannot choose from them.
    Plug(L"CapListed", L"--formats MJPG:640x480");
    g_deviceList.Enumerate();
    DeviceEntry& listed = g_deviceList[static_cast<size_t>(IndexOf(L"CapListed"))];
    DeviceEntry& tiny = g_deviceList[static_cast<size_t>(IndexOf(L"CapTiny"))];
    ASSERT_TRUE(BindDeviceFilter(listed));
    ASSERT_TRUE(BindDeviceFilter(tiny));
    Capture_SetOpenDevice(listed);
    Capture_EnsureCurrentFormats();
    ASSERT_FALSE(g_capture.currentMjpg.empty());
    Capture_SetOpenDevice(tiny);
    g_requestedFormat = {kSubtypeMjpg, 640, 480, 0};
    EXPECT_FALSE(Capture_BuildGraph());
    EXPECT_TRUE(g_capture.currentMjpg.empty());
    EXPECT_TRUE(g_capture.currentYuy2.empty());
    EXPECT_EQ(g_capture.camera, nullptr);
    EXPECT_EQ(g_capture.moniker, nullptr);
    EXPECT_EQ(g_pipeline.queue.writerDone, nullptr);
    Plug(L"CapAfter", L"--formats MJPG:640x480");
    EXPECT_TRUE(Open(L"CapAfter"));
}

TEST_F(CaptureTest, StillButtonGivesAColourStillImage) {
    Plug(L"CapStill", L"--formats MJPG:640x480");
    ASSERT_TRUE(Open(L"CapStill"));
    ASSERT_NE(g_capture.stillPin, nullptr);
    g_pipeline.preview.gray = 1;  // previews gray; the still stays in colour
    ASSERT_TRUE(WaitForFrames(3));
    ASSERT_EQ(RunSimcam(L"still CapStill").code, 0u);
    ASSERT_TRUE(PumpUntil([&] { return view_.CountOf(WM_APP_STILL_READY) >= 1; }, 5000));
    PumpFor(300);
    EXPECT_EQ(view_.CountOf(WM_APP_STILL_READY), 1);
    size_t size = 0;
    const uint8_t* still = Pipeline_LockStillImage(&size);
    ASSERT_NE(still, nullptr);
    EXPECT_EQ(size, 640u * 480 * 3);
    int coloured = 0;
    for (size_t i = 0; i < size; i += 3) coloured += still[i] != still[i + 1] || still[i + 1] != still[i + 2];
    Pipeline_UnlockStillImage();
    EXPECT_GT(coloured, 640 * 480 / 10);
    const uint8_t* preview = Pipeline_CurrentFrame();
    EXPECT_EQ(preview[0], preview[1]);
}

TEST_F(CaptureTest, PropertiesReadSetAutoAndReset) {
    Plug(L"CapProps", L"--formats MJPG:640x480 brightness.min=-64 brightness.max=64 "
                      L"brightness.default=0 brightness=10 whitebalance.min=2800 "
                      L"whitebalance.max=6500 whitebalance.default=4600 whitebalance=5000 "
                      L"whitebalance.caps=auto+manual");
    ASSERT_TRUE(Open(L"CapProps"));
    EXPECT_EQ(g_cameraProperties[kPropBrightness].min, -64);
    EXPECT_EQ(g_cameraProperties[kPropBrightness].max, 64);
    EXPECT_EQ(g_cameraProperties[kPropBrightness].value, 10);
    EXPECT_EQ(g_cameraProperties[kPropWhiteBalance].autoCapable, 1);

    long value = 0, flags = 0;
    Capture_SetProperty(kPropBrightness, 30);
    g_capture.procAmp->Get(VideoProcAmp_Brightness, &value, &flags);
    EXPECT_EQ(value, 30);
    EXPECT_EQ(flags, 2);

    Capture_SetProperty(kPropWhiteBalance, 3000);
    Capture_SetPropertyAuto(kPropWhiteBalance, true);
    g_capture.procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags);
    EXPECT_EQ(flags, 1);
    Capture_SetPropertyAuto(kPropWhiteBalance, false);
    g_capture.procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags);
    EXPECT_EQ(value, 4600);
    EXPECT_EQ(flags, 2);

    Capture_ResetProperties();
    g_capture.procAmp->Get(VideoProcAmp_Brightness, &value, &flags);
    EXPECT_EQ(value, 0);
    g_capture.procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags);
    EXPECT_EQ(value, 4600);  // untouched by the reset

    Capture_Close();
    EXPECT_EQ(g_cameraProperties[kPropBrightness].max, 0);
    EXPECT_EQ(g_cameraProperties[kPropWhiteBalance].value, 4600);
}

TEST_F(CaptureTest, CameraWithoutPropertyInterfaces) {
    Plug(L"CapBare", L"--formats MJPG:640x480 --no-procamp --no-cameracontrol --no-still");
    ASSERT_TRUE(Open(L"CapBare"));
    EXPECT_EQ(g_capture.procAmp, nullptr);
    EXPECT_EQ(g_capture.stillPin, nullptr);
    Capture_SetProperty(kPropBrightness, 5);
    Capture_ResetProperties();
    EXPECT_EQ(g_cameraProperties[kPropBrightness].value, 0);
    EXPECT_TRUE(WaitForFrames(3));
}

// A writer that behaves like the AVI writer: takes copies while recording, drains the queue
// once recording is cleared, then signals writerDone. It counts what it "wrote".
struct FakeWriter {
    int written = 0;
    HANDLE thread = nullptr;
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<FakeWriter*>(param);
        RecordQueue& q = g_pipeline.queue;
        auto takeAll = [&] {
            EnterCriticalSection(&q.queueLock);
            while (!q.frames.empty()) {
                HeapFree(GetProcessHeap(), 0, q.frames.front().data);
                q.frames.pop_front();
                ++self->written;
                Sleep(2);  // writing takes a while; the camera may be gone meanwhile
            }
            ResetEvent(q.frameReady);
            LeaveCriticalSection(&q.queueLock);
        };
        while (g_pipeline.format.recording) {
            if (WaitForSingleObject(q.frameReady, 30) == WAIT_OBJECT_0) takeAll();
        }
        takeAll();
        SetEvent(q.writerDone);
        return 0;
    }
};

TEST_F(CaptureTest, RemovingTheCameraMidRecordingLetsTheWriterFinishFirst) {
    Plug(L"CapRecord", L"--formats MJPG:640x480");
    ASSERT_TRUE(Open(L"CapRecord"));
    FakeWriter writer;
    g_pipeline.format.recording = 1;
    writer.thread = CreateThread(nullptr, 0, &FakeWriter::Run, &writer, 0, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return writer.written >= 5; }, 5000));
    ASSERT_EQ(RunSimcam(L"unplug CapRecord").code, 0u);
    Capture_Close();
    // Close returned only once the writer had drained the queue and closed its file.
    EXPECT_EQ(WaitForSingleObject(writer.thread, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(g_pipeline.queue.frames.empty());
    EXPECT_EQ(g_pipeline.format.recording, 0);
    EXPECT_EQ(g_pipeline.queue.writerDone, nullptr);  // closed after the writer was done
    WaitForSingleObject(writer.thread, 5000);
    CloseHandle(writer.thread);
}

TEST_F(CaptureTest, BuildAndCloseFiftyTimesLeavesNoThreadsOrHandles) {
    Plug(L"CapLoop", L"--formats MJPG:640x480");
    ASSERT_TRUE(Open(L"CapLoop"));
    Capture_Close();
    PumpFor(200);
    const int threadsBefore = ThreadsOfThisProcess();
    DWORD handlesBefore = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    // Close releases the open camera: take it again before each build.
    const DeviceEntry& entry = g_deviceList[static_cast<size_t>(IndexOf(L"CapLoop"))];
    for (int i = 0; i < 50; ++i) {
        Capture_SetOpenDevice(entry);
        ASSERT_TRUE(Capture_BuildGraph()) << i;
        if (i % 10 == 0) {
            ASSERT_TRUE(WaitForFrames(2)) << i;
        }
        Capture_Close();
    }
    PumpFor(300);
    // Wine's thread pool keeps a few idle workers for a while; a leak would be one or more
    // threads per round, fifty in all.
    EXPECT_TRUE(PumpUntil([&] { return ThreadsOfThisProcess() <= threadsBefore + 4; }, 10000))
        << ThreadsOfThisProcess() << " threads, " << threadsBefore << " before";
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore + 5);
}

}  // namespace
