// The camera view against the simulated microscope: opening by itself, hot-plug, zoom and
// scroll bars, and the composed picture.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "capture/capture_graph.h"
#include "capture/device_list.h"
#include "measure/camera_view.h"
#include "measure/shapes.h"
#include "pipeline/video_format.h"
#include "resources/resource_ids.h"
#include "win/simcam_tool.h"

namespace {

class CameraViewTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RunSimcam(L"unplug --all");
        CameraView_RegisterClass(GetModuleHandleW(nullptr));
    }
    void SetUp() override { g_requestedFormat = {kSubtypeMjpg, 0, 0, 0}; }
    void TearDown() override {
        if (view_ != nullptr) DestroyWindow(view_);
        for (const auto& name : plugged_) RunSimcam(L"unplug " + name);
        PumpFor(50);
    }
    void Plug(const std::wstring& name, const std::wstring& options) {
        const SimcamResult r = RunSimcam(L"plug " + name + L" --friendly " + name + L" " + options);
        ASSERT_EQ(r.code, 0u) << r.output;
        plugged_.push_back(name);
    }
    // Grows or shrinks the view until its client area (without bars) has this size.
    void ResizeClient(int clientWidth, int clientHeight) {
        RECT window, client;
        GetWindowRect(view_, &window);
        GetClientRect(view_, &client);
        const LONG style = GetWindowLongW(view_, GWL_STYLE);
        const int barW = (style & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
        const int barH = (style & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0;
        const int borderW = (window.right - window.left) - client.right - barW;
        const int borderH = (window.bottom - window.top) - client.bottom - barH;
        MoveWindow(view_, 0, 0, clientWidth + borderW, clientHeight + borderH, TRUE);
    }
    void CreateView(int clientWidth, int clientHeight) {
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER |
                            WS_HSCROLL | WS_VSCROLL | WS_TABSTOP;
        view_ = CreateWindowExW(0, L"CameraWndClass", L"", style, 0, 0, 100, 100, parent_.hwnd(),
                                reinterpret_cast<HMENU>(108), GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(view_, nullptr);
        ShowScrollBar(view_, SB_BOTH, FALSE);
        SetWindowPos(parent_.hwnd(), nullptr, 0, 0, clientWidth + 100, clientHeight + 100,
                     SWP_NOZORDER | SWP_NOMOVE);
        ShowWindow(parent_.hwnd(), SW_SHOWNOACTIVATE);
        // Borders: grow the window until the client has the size asked for.
        RECT client;
        GetClientRect(view_, &client);
        const int borderW = 100 - client.right, borderH = 100 - client.bottom;
        MoveWindow(view_, 0, 0, clientWidth + borderW, clientHeight + borderH, TRUE);
    }
    bool Opened(int count, DWORD timeoutMs) {
        return PumpUntil([&] { return parent_.CountOf(WM_APP_DEVICE_OPENED) >= count; }, timeoutMs);
    }
    bool FramesFlow() { return NewFramesArrive(3, 5000); }

    RecorderWindow parent_;
    HWND view_ = nullptr;
    std::vector<std::wstring> plugged_;
};

TEST_F(CameraViewTest, OpensTheCameraByItselfAndFollowsHotPlug) {
    Plug(L"ViewCamA", L"--formats MJPG:1280x720,MJPG:640x480");
    g_requestedFormat = {kSubtypeMjpg, 640, 480, 0};  // as loaded from the settings
    const DWORD start = GetTickCount();
    CreateView(800, 600);
    ASSERT_TRUE(Opened(1, 5000));
    EXPECT_LT(GetTickCount() - start, 2500u);  // the first timer tick, not a late retry
    EXPECT_EQ(g_pipeline.format.width, 640);  // the saved resolution, not the default
    EXPECT_TRUE(FramesFlow());

    // A second camera arriving keeps the first one running.
    Plug(L"ViewCamB", L"--formats MJPG:640x480");
    PumpFor(1500);
    EXPECT_EQ(parent_.CountOf(WM_APP_DEVICE_OPENED), 1);
    EXPECT_EQ(g_capture.deviceName, L"ViewCamA");
    EXPECT_GE(parent_.CountOf(WM_APP + 1), 1);  // the list changed

    // Unplugging the other camera keeps the picture.
    ASSERT_EQ(RunSimcam(L"unplug ViewCamB").code, 0u);
    PumpFor(500);
    EXPECT_EQ(parent_.CountOf(WM_APP_DEVICE_CLOSED), 0);
    EXPECT_TRUE(Capture_FramesFlowing());

    // Unplugging the open camera clears the picture.
    ASSERT_EQ(RunSimcam(L"unplug ViewCamA").code, 0u);
    ASSERT_TRUE(PumpUntil([&] { return parent_.CountOf(WM_APP_DEVICE_CLOSED) == 1; }, 3000));
    EXPECT_EQ(Pipeline_CurrentFrame(), nullptr);
    EXPECT_EQ(CameraView_DisplayWidth(), 0);

    // Plugging it back opens it again after the arrival wait.
    ASSERT_EQ(RunSimcam(L"plug ViewCamA --friendly ViewCamA --formats MJPG:1280x720,MJPG:640x480").code, 0u);
    const DWORD plugged = GetTickCount();
    ASSERT_TRUE(Opened(2, 5000));
    EXPECT_GE(GetTickCount() - plugged, 600u);
    EXPECT_EQ(g_pipeline.format.width, 640);
}

TEST_F(CameraViewTest, FitZoomScrollBarsAndDigitalZoom) {
    Plug(L"ViewCamHd", L"--formats MJPG:1920x1080");
    CreateView(1000, 700);
    ASSERT_TRUE(Opened(1, 5000));
    PumpFor(100);
    parent_.Clear();

    SendMessageW(view_, WM_COMMAND, kViewCmdSetZoom, 0);  // fit
    EXPECT_EQ(CameraView_ZoomPercent(), 52);
    EXPECT_EQ(CameraView_DisplayWidth(), 998);
    EXPECT_EQ(CameraView_DisplayHeight(), 561);
    EXPECT_TRUE(PumpUntil([&] { return parent_.CountOf(WM_APP_FIT_ZOOM_CHANGED) == 1; }, 1000));
    const LONG style = GetWindowLongW(view_, GWL_STYLE);
    EXPECT_FALSE(style & WS_HSCROLL);
    EXPECT_FALSE(style & WS_VSCROLL);

    // Fit mode follows every size change of the view (full screen, restore, a resize), and
    // back; each new ratio is announced.
    ResizeClient(1500, 900);
    EXPECT_EQ(CameraView_ZoomPercent(), 78);  // 1500 / 1920 is the smaller quotient
    EXPECT_EQ(CameraView_DisplayWidth(), 1497);
    ResizeClient(1000, 700);
    EXPECT_EQ(CameraView_ZoomPercent(), 52);
    EXPECT_TRUE(PumpUntil([&] { return parent_.CountOf(WM_APP_FIT_ZOOM_CHANGED) == 3; }, 1000));

    SendMessageW(view_, WM_COMMAND, kViewCmdSetZoom, 200);
    EXPECT_EQ(CameraView_DisplayWidth(), 3840);
    EXPECT_TRUE(GetWindowLongW(view_, GWL_STYLE) & WS_HSCROLL);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(view_, SB_HORZ, &si));
    EXPECT_EQ(si.nPage, 50u);
    RECT client;
    GetClientRect(view_, &client);
    SendMessageW(view_, WM_HSCROLL, SB_RIGHT, 0);
    GetScrollInfo(view_, SB_HORZ, &si);
    EXPECT_EQ(si.nPos, 3840 - client.right);
    // The same ratio again changes nothing; a fixed ratio stays through a resize.
    SendMessageW(view_, WM_COMMAND, kViewCmdSetZoom, 200);
    EXPECT_EQ(CameraView_DisplayWidth(), 3840);
    ResizeClient(1200, 800);
    EXPECT_EQ(CameraView_ZoomPercent(), 200);
}

TEST_F(CameraViewTest, ComposedSurfaceAt100PercentHoldsTheFrameExactly) {
    Plug(L"ViewCamPx", L"--formats YUY2:640x480");
    CreateView(800, 600);
    ASSERT_TRUE(Opened(1, 5000));
    ASSERT_TRUE(FramesFlow());
    // Freeze the ring: stop the stream but keep the frames.
    g_capture.control->Stop();
    PumpFor(300);
    const LONG stopped = g_pipeline.ring.publishedIndex;
    PumpFor(300);
    ASSERT_EQ(g_pipeline.ring.publishedIndex, stopped);
    CameraView_ComposeNow();
    const uint8_t* frame = Pipeline_CurrentFrame();
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(CameraView_SurfaceBitmap(), nullptr);
    BITMAPINFOHEADER bi = {};
    bi.biSize = sizeof bi;
    bi.biWidth = 640;
    bi.biHeight = -480;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    std::vector<uint8_t> surface(640 * 480 * 3);
    HDC dc = GetDC(view_);
    ASSERT_EQ(GetDIBits(dc, CameraView_SurfaceBitmap(), 0, 480, surface.data(),
                        reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS), 480);
    ReleaseDC(view_, dc);
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < surface.size(); ++i)
        if (surface[i] != frame[i] && differing++ == 0) first = i;
    EXPECT_EQ(differing, 0u) << "first at byte " << first << " " << int(surface[first]) << " vs " << int(frame[first]) ;
}

TEST_F(CameraViewTest, TextDialogEventsPlaceAndCommitText) {
    Plug(L"ViewCamText", L"--formats MJPG:640x480");
    CreateView(800, 600);
    ASSERT_TRUE(Opened(1, 5000));
    PumpFor(100);
    MeasureModel& model = CameraView_Measure();
    const size_t before = model.Shapes().size();
    SendMessageW(view_, WM_COMMAND, kViewCmdSetTool, kToolText);
    model.BeginTextPlacement();
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>(&kTextEventInit));
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>(&kTextEventOk));
    EXPECT_EQ(model.Shapes().size(), before);  // an empty text commits nothing

    model.BeginTextPlacement();
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>(&kTextEventInit));
    model.SetPlacedText(u"Nucleus");
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>(&kTextEventCancel));
    EXPECT_EQ(model.Shapes().size(), before);
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>(&kTextEventOk));
    ASSERT_EQ(model.Shapes().size(), before + 1);
    EXPECT_EQ(model.Shapes().back().kind, kToolText);
}

TEST_F(CameraViewTest, NoDeviceShowsThePlaceholder) {
    CreateView(800, 600);
    PumpFor(400);  // the first open attempt finds nothing
    EXPECT_EQ(parent_.CountOf(WM_APP_DEVICE_OPENED), 0);
    EXPECT_EQ(CameraView_DisplayWidth(), 0);
    // Without the picture resource the fallback text is painted on its dark background.
    UpdateWindow(view_);
    InvalidateRect(view_, nullptr, TRUE);
    UpdateWindow(view_);
    HDC dc = GetDC(view_);
    const COLORREF corner = GetPixel(dc, 5, 5);
    ReleaseDC(view_, dc);
    EXPECT_EQ(corner, RGB(45, 45, 60));
}

// Space asks the main window for a photo with the key's own command, also without a camera.
TEST_F(CameraViewTest, SpaceAsksTheParentForAPhoto) {
    CreateView(640, 480);
    parent_.Clear();
    SendMessageW(view_, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(view_, WM_KEYDOWN, 'A', 0);
    PumpFor(50);
    int photos = 0;
    int others = 0;
    for (const auto& m : parent_.messages()) {
        if (m.msg != WM_COMMAND) continue;
        (LOWORD(m.wParam) == kCmdPhotoFromKey ? photos : others) += 1;
    }
    EXPECT_EQ(photos, 1);
    EXPECT_EQ(others, 0);
}

// The view keeps its state in the module, not in the window; the pipeline's locks live from
// the view's creation to its destruction, and a second view starts with fresh ones.
TEST_F(CameraViewTest, ClassReservesNoShortExtraBytesAndLocksLiveWithTheView) {
    WNDCLASSEXW viewClass = {};
    viewClass.cbSize = sizeof viewClass;
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"CameraWndClass", &viewClass));
    EXPECT_TRUE(viewClass.cbWndExtra == 0 || viewClass.cbWndExtra == sizeof(void*))
        << viewClass.cbWndExtra;

    CreateView(640, 480);
    EXPECT_TRUE(g_pipeline.locksLive);
    DestroyWindow(view_);
    view_ = nullptr;
    EXPECT_FALSE(g_pipeline.locksLive);
    CreateView(640, 480);
    EXPECT_TRUE(g_pipeline.locksLive);
    EnterCriticalSection(&g_pipeline.ring.frameLock);
    LeaveCriticalSection(&g_pipeline.ring.frameLock);
}

// Mouse messages as the system sends them: a pan captures the mouse, and losing the capture
// to another window ends it, so the next release with a drawing tool commits nothing.
TEST_F(CameraViewTest, LostCaptureEndsThePanAndNoPhantomShapeFollows) {
    Plug(L"ViewCamMouse", L"--formats MJPG:640x480");
    CreateView(640, 480);
    ASSERT_TRUE(Opened(1, 5000));
    PumpFor(100);
    MeasureModel& model = CameraView_Measure();
    SendMessageW(view_, WM_COMMAND, kViewCmdSetTool, kToolNone);
    const size_t before = model.Shapes().size();
    SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 300));
    EXPECT_EQ(GetCapture(), view_);
    EXPECT_TRUE(model.Dragging());
    SetCapture(parent_.hwnd());  // the release goes elsewhere
    EXPECT_FALSE(model.Dragging());
    ReleaseCapture();
    SendMessageW(view_, WM_COMMAND, kViewCmdSetTool, kToolLine);
    SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(300, 300));
    EXPECT_EQ(model.Shapes().size(), before);

    // A drawn line is committed on its release, which gives the capture back.
    SendMessageW(view_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    SendMessageW(view_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 120));
    SendMessageW(view_, WM_LBUTTONUP, 0, MAKELPARAM(200, 120));
    ASSERT_EQ(model.Shapes().size(), before + 1);
    EXPECT_EQ(model.Shapes().back().p2x, 200);
    EXPECT_NE(GetCapture(), view_);
    SendMessageW(view_, WM_COMMAND, kViewCmdSetTool, kToolNone);
}

// A writer that takes frames while recording and, once recording is cleared, drains only
// after `release` is set (or a deadline), slowly. It counts calls on its events that failed,
// as they would once the events were closed under it.
struct SlowWriter {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = nullptr;
    volatile LONG written = 0;
    volatile LONG eventFailures = 0;
    volatile LONG closeWaitedForUs = 0;
    ~SlowWriter() {
        SetEvent(release);
        if (thread != nullptr) {
            WaitForSingleObject(thread, 30000);
            CloseHandle(thread);
        }
        CloseHandle(release);
    }
    void TakeAll(bool slowly) {
        RecordQueue& q = g_pipeline.queue;
        EnterCriticalSection(&q.queueLock);
        while (!q.frames.empty()) {
            HeapFree(GetProcessHeap(), 0, q.frames.front().data);
            q.frames.pop_front();
            InterlockedIncrement(&written);
            if (slowly) Sleep(2);
        }
        if (!ResetEvent(q.frameReady)) InterlockedIncrement(&eventFailures);
        LeaveCriticalSection(&q.queueLock);
    }
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<SlowWriter*>(param);
        const HANDLE frameReady = g_pipeline.queue.frameReady;
        const HANDLE done = g_pipeline.queue.writerDone;
        while (g_pipeline.format.recording) {
            const DWORD r = WaitForSingleObject(frameReady, 30);
            if (r == WAIT_FAILED) InterlockedIncrement(&self->eventFailures);
            if (r == WAIT_OBJECT_0) self->TakeAll(false);
        }
        WaitForSingleObject(self->release, 20000);
        self->TakeAll(true);
        if (WaitForSingleObject(frameReady, 0) == WAIT_FAILED) InterlockedIncrement(&self->eventFailures);
        self->closeWaitedForUs = Capture_Closing() ? 1 : 0;
        if (!SetEvent(done)) InterlockedIncrement(&self->eventFailures);
        return 0;
    }
};

struct Churn {
    HANDLE thread = nullptr;
    HANDLE writerRelease = nullptr;
    volatile LONG sawClose = 0;
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<Churn*>(param);
        const DWORD start = GetTickCount();
        while (!Capture_Closing() && GetTickCount() - start < 20000) Sleep(5);
        self->sawClose = Capture_Closing() ? 1 : 0;
        // While the close waits for the writer: another camera comes and goes, the unplugged
        // one comes back, and the view's timer keeps ticking through the arrival wait.
        RunSimcam(L"plug ViewRecB --friendly ViewRecB --formats MJPG:640x480");
        RunSimcam(L"unplug ViewRecB");
        RunSimcam(L"plug ViewRecA --friendly ViewRecA --formats MJPG:640x480");
        Sleep(1200);
        SetEvent(self->writerRelease);
        return 0;
    }
};

// Unplugging the camera mid-recording while the writer is slow to drain: what arrives during
// the close (removal checks, an open after the arrival, timer ticks) waits for it instead of
// closing again under it, and is carried out afterwards.
TEST_F(CameraViewTest, UnplugMidRecordingDefersWhatArrivesWhileTheWriterDrains) {
    Plug(L"ViewRecA", L"--formats MJPG:640x480");
    plugged_.push_back(L"ViewRecB");
    CreateView(640, 480);
    ASSERT_TRUE(Opened(1, 5000));
    ASSERT_TRUE(FramesFlow());

    SlowWriter writer;
    g_pipeline.format.recording = 1;
    writer.thread = CreateThread(nullptr, 0, &SlowWriter::Run, &writer, 0, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return writer.written >= 5; }, 5000));
    Churn churn;
    churn.writerRelease = writer.release;
    churn.thread = CreateThread(nullptr, 0, &Churn::Run, &churn, 0, nullptr);

    ASSERT_EQ(RunSimcam(L"unplug ViewRecA").code, 0u);
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(churn.thread, 0) == WAIT_OBJECT_0; },
                          30000));
    CloseHandle(churn.thread);
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(writer.thread, 0) == WAIT_OBJECT_0; },
                          30000));
    EXPECT_EQ(churn.sawClose, 1);
    EXPECT_EQ(writer.eventFailures, 0);
    EXPECT_EQ(writer.closeWaitedForUs, 1);  // the events stayed open until the writer was done

    // The camera that came back opens once the close is over; there was one close only.
    ASSERT_TRUE(Opened(2, 10000));
    PumpFor(300);
    EXPECT_EQ(parent_.CountOf(WM_APP_DEVICE_CLOSED), 1);
    EXPECT_EQ(parent_.CountOf(WM_APP_DEVICE_OPENED), 2);
    EXPECT_EQ(g_capture.deviceName, L"ViewRecA");
    EXPECT_TRUE(g_pipeline.queue.frames.empty());
    EXPECT_TRUE(FramesFlow());
}

}  // namespace
