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
    bool FramesFlow() {
        LONG last = g_pipeline.ring.publishedIndex;
        int changes = 0;
        return PumpUntil([&] {
            if (g_pipeline.ring.publishedIndex != last) {
                last = g_pipeline.ring.publishedIndex;
                ++changes;
            }
            return changes >= 3;
        }, 5000);
    }

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
    // The same ratio again changes nothing.
    SendMessageW(view_, WM_COMMAND, kViewCmdSetZoom, 200);
    EXPECT_EQ(CameraView_DisplayWidth(), 3840);
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
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>("Init"));
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>("OK"));
    EXPECT_EQ(model.Shapes().size(), before);  // an empty text commits nothing

    model.BeginTextPlacement();
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>("Init"));
    model.SetPlacedText(u"Nucleus");
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>("Cancel"));
    EXPECT_EQ(model.Shapes().size(), before);
    SendMessageW(view_, WM_COMMAND, kViewCmdTextPlacement, reinterpret_cast<LPARAM>("OK"));
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

}  // namespace
