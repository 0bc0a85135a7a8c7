#include "measure/camera_view.h"

#include <cstring>
#include <cwchar>

#include <strsafe.h>

#include "capture/capture_graph.h"
#include "capture/device_lifecycle.h"
#include "capture/device_list.h"
#include "capture/open_countdown.h"
#include "measure/overlay.h"
#include "measure/view_geometry.h"
#include "pipeline/perf_log.h"
#include "pipeline/video_format.h"
#include "resources/resource_ids.h"

namespace {

constexpr COLORREF kBandColour = RGB(191, 191, 191);
constexpr COLORREF kDeviceListedColour = RGB(21, 25, 45);
constexpr COLORREF kNoDeviceBackground = RGB(13, 15, 20);
constexpr COLORREF kNoDeviceFallbackBackground = RGB(45, 45, 60);
constexpr int kNoDevicePictureSize = 554;
constexpr int kFullScreenButtonSize = 40;
constexpr int kFullScreenButtonInset = 60;
constexpr size_t kTextChars = 64;

struct Surface {
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    HGDIOBJ replaced = nullptr;
};

struct ViewState {
    HWND window = nullptr;
    HWND fullScreenButton = nullptr;
    int sourceWidth = 0, sourceHeight = 0;
    int pictureWidth = 0, pictureHeight = 0;
    int displayWidth = 0, displayHeight = 0;
    int zoomPercent = 100;
    int autoFit = 0;
    int digitalZoom = 0;
    BITMAPINFOHEADER frameInfo = {};
    const uint8_t* frameBits = nullptr;
    ActiveCalibration calibration;
    int hScrollPos = 0, vScrollPos = 0;
    bool hScrollShown = false, vScrollShown = false;
    int clientWidth = 0, clientHeight = 0;  // client area inside the shown bars
    Surface surface;
    OverlayResources overlay;  // drawing resources of the surface
    OverlayStyle style;
    bool crosslineOn = false;
    bool scaleBarOn = false;
    wchar_t noDeviceText[kTextChars] = L"Please connect USB microscope.";
    wchar_t textPlaceholder[kTextChars] = L" Input text, drag to move. ";
    HFONT noDeviceFont = nullptr;
    HBITMAP noDevicePicture = nullptr;  // loaded at its first showing, kept for the next paints
    bool noDevicePictureLoaded = false;
    OpenCountdown openCountdown;
};

ViewState g_view;

class ViewHost final : public MeasureHost {
public:
    ViewGeometry Geometry() const override {
        ViewGeometry g;
        g.hScrollPos = g_view.hScrollPos;
        g.vScrollPos = g_view.vScrollPos;
        g.clientWidth = g_view.clientWidth;
        g.clientHeight = g_view.clientHeight;
        g.pictureWidth = g_view.pictureWidth;
        g.pictureHeight = g_view.pictureHeight;
        g.displayWidth = g_view.displayWidth;
        g.displayHeight = g_view.displayHeight;
        g.zoomPercent = g_view.zoomPercent;
        g.digitalZoom = g_view.digitalZoom;
        return g;
    }
    TextSize MeasureLabelText(std::u16string_view text) override {
        return ::MeasureLabelText(g_view.overlay, text);
    }
    std::u16string_view TextPlaceholder() const override {
        return reinterpret_cast<const char16_t*>(g_view.textPlaceholder);
    }
    void CaptureMouse() override { SetCapture(g_view.window); }
    void ReleaseMouse() override {
        if (GetCapture() == g_view.window) ReleaseCapture();
    }
    void Invalidate() override { InvalidateRect(g_view.window, nullptr, FALSE); }
    void ComposeNow() override { CameraView_ComposeNow(); }
    void PanView(int32_t dx, int32_t dy) override;
    // As the Stop-measure button would: the main window's tool path, which answers at once.
    void RequestNoTool() override {
        SendMessageW(GetParent(g_view.window), WM_COMMAND, kCmdToolNone, 0);
    }
};

ViewHost g_host;
MeasureModel g_measure(g_host);

void ReleaseSurface() {
    ReleaseOverlayResources(g_view.overlay);
    Surface& s = g_view.surface;
    if (s.dc != nullptr) {
        if (s.replaced != nullptr) SelectObject(s.dc, s.replaced);
        DeleteDC(s.dc);
    }
    if (s.bitmap != nullptr) DeleteObject(s.bitmap);
    s = Surface();
}

bool EnsureSurface(HDC dc) {
    Surface& s = g_view.surface;
    if (s.dc != nullptr) return true;
    if (g_view.displayWidth <= 0 || g_view.displayHeight <= 0) return false;
    s.bitmap = CreateCompatibleBitmap(dc, g_view.displayWidth, g_view.displayHeight);
    if (s.bitmap == nullptr) return false;
    s.dc = CreateCompatibleDC(dc);
    if (s.dc == nullptr) {
        DeleteObject(s.bitmap);
        s.bitmap = nullptr;
        return false;
    }
    s.replaced = SelectObject(s.dc, s.bitmap);
    CreateOverlayResources(g_view.overlay, s.dc, g_view.style);
    return true;
}

const BITMAPINFO* FrameBitmapInfo() { return reinterpret_cast<const BITMAPINFO*>(&g_view.frameInfo); }

void DrawDigitalZoomLabel(int level) {
    wchar_t label[16];
    StringCchPrintfW(label, 16, L"X%d", level);
    DrawSingleLabel(g_view.overlay, reinterpret_cast<const char16_t*>(label), 0, 0,
                    PictureSize{g_view.displayWidth, g_view.displayHeight});
}

void CopyFrameToSurface() {
    HDC dc = g_view.surface.dc;
    const int sw = g_view.sourceWidth, sh = g_view.sourceHeight;
    SetStretchBltMode(dc, COLORONCOLOR);
    if (g_view.digitalZoom > 0) {
        const SourceRect src = DigitalZoomSource(sw, sh, g_view.digitalZoom);
        StretchDIBits(dc, 0, 0, g_view.displayWidth, g_view.displayHeight, src.x, src.y, src.width,
                      src.height, g_view.frameBits, FrameBitmapInfo(), DIB_RGB_COLORS, SRCCOPY);
        DrawDigitalZoomLabel(g_view.digitalZoom);
    } else if (g_view.zoomPercent == 100 && sw == g_view.pictureWidth) {
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(sw), static_cast<DWORD>(sh), 0, 0, 0,
                          static_cast<UINT>(sh), g_view.frameBits, FrameBitmapInfo(),
                          DIB_RGB_COLORS);
    } else {
        StretchDIBits(dc, 0, 0, g_view.displayWidth, g_view.displayHeight, 0, 0, sw, sh,
                      g_view.frameBits, FrameBitmapInfo(), DIB_RGB_COLORS, SRCCOPY);
    }
}

void Present(HDC dc) {
    const PresentSpan x = PresentAxis(g_view.hScrollShown, g_view.clientWidth, g_view.displayWidth,
                                      g_view.hScrollPos);
    const PresentSpan y = PresentAxis(g_view.vScrollShown, g_view.clientHeight,
                                      g_view.displayHeight, g_view.vScrollPos);
    BitBlt(dc, x.destination, y.destination, x.extent, y.extent, g_view.surface.dc, x.source,
           y.source, SRCCOPY);
}

void CentreScroll();

// Measurements are drawn only where picture pixels are screen pixels.
void DrawOverlay() {
    if (g_view.zoomPercent != 100 || g_view.digitalZoom != 0) return;
    const ViewGeometry geometry = g_host.Geometry();
    const std::u16string_view placeholder = g_host.TextPlaceholder();
    if (g_measure.Ruler().Active()) {
        CentreScroll();
        DrawRuler(g_view.overlay, geometry, g_measure.Ruler());
        return;
    }
    if (g_view.crosslineOn) DrawCrossline(g_view.overlay, geometry, g_view.calibration);
    if (g_view.scaleBarOn) DrawScaleBar(g_view.overlay, geometry, g_view.calibration);
    DrawShapes(g_view.overlay, geometry, g_measure, g_view.calibration, placeholder);
    DrawShapeInProgress(g_view.overlay, geometry, g_measure, g_view.calibration, placeholder);
}

void Compose(HDC dc) {
    if (g_view.frameBits == nullptr) return;
    if (!EnsureSurface(dc)) return;
    CopyFrameToSurface();
    DrawOverlay();
    Present(dc);
}

// With the DC's own brush: no brush is made and deleted for every band of every paint.
void FillRectColour(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    const RECT r = {left, top, right, bottom};
    SetDCBrushColor(dc, colour);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

HBITMAP NoDevicePicture() {
    if (!g_view.noDevicePictureLoaded) {
        g_view.noDevicePictureLoaded = true;
        g_view.noDevicePicture = static_cast<HBITMAP>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIdBitmapNoDevice),
                       IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    }
    return g_view.noDevicePicture;
}

void PaintNoPicture(HDC dc) {
    RECT client;
    GetClientRect(g_view.window, &client);
    if (!g_deviceList.empty()) {
        FillRectColour(dc, 0, 0, client.right, client.bottom, kDeviceListedColour);
        return;
    }
    HBITMAP picture = NoDevicePicture();
    if (picture != nullptr) {
        FillRectColour(dc, 0, 0, client.right, client.bottom, kNoDeviceBackground);
        BITMAP info = {};
        GetObjectW(picture, sizeof info, &info);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, picture);
        BitBlt(dc, (client.right - info.bmWidth) / 2, (client.bottom - info.bmHeight) / 2,
               info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        return;
    }
    HGDIOBJ oldFont = SelectObject(dc, g_view.noDeviceFont);
    SetBkColor(dc, kNoDeviceFallbackBackground);
    SetTextColor(dc, RGB(255, 255, 255));
    ExtTextOutW(dc, 22, 18, ETO_OPAQUE, &client, g_view.noDeviceText,
                static_cast<UINT>(std::wcslen(g_view.noDeviceText)), nullptr);
    SelectObject(dc, oldFont);
}

void PaintBackground(HDC dc) {
    if (g_view.displayWidth == 0 || g_view.displayHeight == 0) {
        PaintNoPicture(dc);
        return;
    }
    RECT client;
    GetClientRect(g_view.window, &client);
    Band band;
    if (LeadingBand(client.right, g_view.displayWidth, &band))
        FillRectColour(dc, band.from, 0, band.to, client.bottom, kBandColour);
    if (TrailingBand(client.right, g_view.displayWidth, &band))
        FillRectColour(dc, band.from, 0, band.to, client.bottom, kBandColour);
    if (LeadingBand(client.bottom, g_view.displayHeight, &band))
        FillRectColour(dc, 0, band.from, client.right, band.to, kBandColour);
    if (TrailingBand(client.bottom, g_view.displayHeight, &band))
        FillRectColour(dc, 0, band.from, client.right, band.to, kBandColour);
}

void SetBar(int bar, const ScrollBarState& state) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = state.maximum;
    si.nPage = static_cast<UINT>(state.page);
    si.nPos = state.position;
    SetScrollInfo(g_view.window, bar, &si, TRUE);
}

void UpdateScrollBars() {
    RECT client;
    GetClientRect(g_view.window, &client);
    if (g_view.fullScreenButton != nullptr) {
        MoveWindow(g_view.fullScreenButton, client.right - kFullScreenButtonInset,
                   client.bottom - kFullScreenButtonInset, kFullScreenButtonSize,
                   kFullScreenButtonSize, TRUE);
    }
    const int cyH = GetSystemMetrics(SM_CYHSCROLL), cxV = GetSystemMetrics(SM_CXVSCROLL);
    const int bareWidth = client.right + (g_view.vScrollShown ? cxV : 0);
    const int bareHeight = client.bottom + (g_view.hScrollShown ? cyH : 0);
    const ScrollLayout layout =
        LayoutScrollBars(bareWidth, bareHeight, g_view.displayWidth, g_view.displayHeight,
                         g_view.hScrollPos, g_view.vScrollPos, cxV, cyH);
    g_view.hScrollPos = layout.horizontal.position;
    g_view.vScrollPos = layout.vertical.position;
    g_view.clientWidth = layout.clientWidth;
    g_view.clientHeight = layout.clientHeight;
    if (layout.horizontal.shown != g_view.hScrollShown) {
        g_view.hScrollShown = layout.horizontal.shown;
        ShowScrollBar(g_view.window, SB_HORZ, g_view.hScrollShown);
    }
    if (layout.vertical.shown != g_view.vScrollShown) {
        g_view.vScrollShown = layout.vertical.shown;
        ShowScrollBar(g_view.window, SB_VERT, g_view.vScrollShown);
    }
    if (g_view.hScrollShown) SetBar(SB_HORZ, layout.horizontal);
    if (g_view.vScrollShown) SetBar(SB_VERT, layout.vertical);
}

void SetZoom(int ratio) {
    if (IsFixedZoom(ratio)) {
        g_view.autoFit = 0;
    } else {
        g_view.autoFit = 1;
        // Fit the area the view has without its bars: a fitted picture needs none.
        RECT client;
        GetClientRect(g_view.window, &client);
        const int width = client.right + (g_view.vScrollShown ? GetSystemMetrics(SM_CXVSCROLL) : 0);
        const int height = client.bottom + (g_view.hScrollShown ? GetSystemMetrics(SM_CYHSCROLL) : 0);
        ratio = FitZoomPercent(width, height, g_view.pictureWidth, g_view.pictureHeight);
    }
    if (ratio == g_view.zoomPercent) return;
    g_view.zoomPercent = ratio;
    if (g_view.autoFit) PostMessageW(GetParent(g_view.window), WM_APP_FIT_ZOOM_CHANGED, 0, 0);
    g_view.displayWidth = DisplayExtent(g_view.pictureWidth, ratio);
    g_view.displayHeight = DisplayExtent(g_view.pictureHeight, ratio);
    ReleaseSurface();
    UpdateScrollBars();
    InvalidateRect(g_view.window, nullptr, FALSE);
}

void CentreScroll() {
    if (g_view.clientWidth < g_view.pictureWidth) {
        g_view.hScrollPos = (g_view.pictureWidth - g_view.clientWidth) / 2;
        SetScrollPos(g_view.window, SB_HORZ, g_view.hScrollPos, TRUE);
    }
    if (g_view.clientHeight < g_view.pictureHeight) {
        g_view.vScrollPos = (g_view.pictureHeight - g_view.clientHeight) / 2;
        SetScrollPos(g_view.window, SB_VERT, g_view.vScrollPos, TRUE);
    }
}

void ScrollBy(int bar, int code, int thumb) {
    const bool horizontal = bar == SB_HORZ;
    int& position = horizontal ? g_view.hScrollPos : g_view.vScrollPos;
    const int extent = horizontal ? g_view.displayWidth - g_view.clientWidth
                                  : g_view.displayHeight - g_view.clientHeight;
    const int target = ScrollPosition(code, thumb, position, extent);
    if (target == position) return;
    position = target;
    SetScrollPos(g_view.window, bar, position, TRUE);
    CameraView_ComposeNow();
}

void SetUpForFormat() {
    const VideoFormat& f = g_pipeline.format;
    g_view.frameInfo = {};
    g_view.frameInfo.biSize = sizeof(BITMAPINFOHEADER);
    g_view.frameInfo.biWidth = f.width;
    g_view.frameInfo.biHeight = -f.height;  // rows top-down
    g_view.frameInfo.biPlanes = 1;
    g_view.frameInfo.biBitCount = 24;
    g_view.frameInfo.biCompression = BI_RGB;
    g_view.sourceWidth = f.width;
    g_view.sourceHeight = f.height < 0 ? -f.height : f.height;
    g_view.pictureWidth = g_requestedFormat.width;
    g_view.pictureHeight = g_requestedFormat.height;
    g_view.displayWidth = g_view.pictureWidth;
    g_view.displayHeight = g_view.pictureHeight;
    g_view.zoomPercent = 100;
    g_view.digitalZoom = 0;
    ResetCalibrationForFormat(g_view.calibration);
    PostMessageW(g_view.window, WM_SIZE, 0, 0);
}

void ResetView() {
    ReleaseSurface();
    g_view.calibration.scale = kNoCalibrationScale;
    g_view.frameBits = nullptr;
    g_measure.ClearAll();
    g_view.sourceWidth = g_view.sourceHeight = 0;
    g_view.pictureWidth = g_view.pictureHeight = 0;
    g_view.displayWidth = g_view.displayHeight = 0;
    g_view.zoomPercent = 100;
    g_view.digitalZoom = 0;
    InvalidateRect(g_view.window, nullptr, TRUE);
}

void ViewHost::PanView(int32_t dx, int32_t dy) {
    if (g_view.displayWidth <= g_view.clientWidth && g_view.displayHeight <= g_view.clientHeight) {
        return;
    }
    bool changed = false;
    const int h = PanPosition(g_view.hScrollPos, dx, g_view.displayWidth, g_view.clientWidth);
    if (h != g_view.hScrollPos) {
        g_view.hScrollPos = h;
        SetScrollPos(g_view.window, SB_HORZ, h, TRUE);
        changed = true;
    }
    const int v = PanPosition(g_view.vScrollPos, dy, g_view.displayHeight, g_view.clientHeight);
    if (v != g_view.vScrollPos) {
        g_view.vScrollPos = v;
        SetScrollPos(g_view.window, SB_VERT, v, TRUE);
        changed = true;
    }
    if (changed) CameraView_ComposeNow();
}

// ---- Messages ----

void OnCreate(HWND hwnd) {
    g_view = ViewState();
    g_view.window = hwnd;
    Pipeline_Initialise(hwnd);
    g_measure.ClearAll();
    HDC dc = GetDC(hwnd);
    g_view.noDeviceFont = CreateFontW(-MulDiv(18, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0,
                                      FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      DEFAULT_PITCH, L"Tohoma");
    ReleaseDC(hwnd, dc);
    g_view.openCountdown.Start();
    LifecycleHooks hooks;
    hooks.resetDrawingState = ResetView;
    hooks.setUpForFormat = SetUpForFormat;
    Lifecycle_Init(hwnd, GetParent(hwnd), hooks);
    Lifecycle_RegisterForDeviceNotifications(hwnd);
    SetTimer(hwnd, kIdViewTimer, 100, nullptr);
    g_view.fullScreenButton =
        CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_ICON, 0, 0,
                        0, 0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewCmdFullScreenButton)),
                        GetModuleHandleW(nullptr), nullptr);
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIdIconFullScreen),
                             IMAGE_ICON, 32, 32, 0);
    if (g_view.fullScreenButton != nullptr && icon != nullptr) {
        SendMessageW(g_view.fullScreenButton, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
    }
}

void OnDestroy(HWND hwnd) {
    KillTimer(hwnd, kIdViewTimer);
    ResetView();
    // Device list, graph and locks: at once, or after a close that is waiting for the writer.
    Lifecycle_Shutdown();
    if (g_view.noDeviceFont != nullptr) DeleteObject(g_view.noDeviceFont);
    g_view.noDeviceFont = nullptr;
    if (g_view.noDevicePicture != nullptr) DeleteObject(g_view.noDevicePicture);
    g_view.noDevicePicture = nullptr;
    g_view.noDevicePictureLoaded = false;
}

void OnPaint(HWND hwnd) {
    PaintTimer timer;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    PaintBackground(dc);
    if (Capture_FramesFlowing()) {
        g_view.frameBits = Pipeline_CurrentFrame();
        Compose(dc);
        timer.Drew(g_view.frameBits);
    }
    EndPaint(hwnd, &ps);
}

void OnSize(LPARAM lParam) {
    // lParam 0: the view's own notice after a format change.
    if (lParam == 0) {
        UpdateScrollBars();
        CentreScroll();
    }
    if (g_view.autoFit) SetZoom(0);
    UpdateScrollBars();
}

void OnOverlayStyle(HWND hwnd, const OverlayStyleCommand& command) {
    g_view.style.gridColor = static_cast<uint32_t>(command.gridColor);
    g_view.style.lineColor = static_cast<uint32_t>(command.lineColor);
    g_view.style.lineWidth = command.lineWidth;
    g_view.style.textColor = static_cast<uint32_t>(command.textColor);
    g_view.style.textSize = command.textSize;
    if (g_view.surface.dc != nullptr && SetOverlayStyle(g_view.overlay, g_view.style)) {
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

void OnTextPlacement(HWND hwnd, const TextPlacementEvent& event) {
    if (std::strcmp(event.name, kTextEventInit.name) == 0) {
        g_measure.OnTextInit();
        InvalidateRect(hwnd, nullptr, FALSE);
    } else if (std::strcmp(event.name, kTextEventOk.name) == 0 && g_measure.OnTextOk()) {
        InvalidateRect(hwnd, nullptr, FALSE);
    }  // Cancel: nothing to do
}

void OnApplyCalibration(HWND hwnd, const CalibrationCommand& command) {
    ApplyCalibration(g_view.calibration, command.scale, command.unit);
    OutputDebugStringA(ScaleStepDebugLine(g_view.calibration).c_str());
    InvalidateRect(hwnd, nullptr, FALSE);
}

void OnCommand(HWND hwnd, int id, LPARAM lParam) {
    switch (id) {
        case kCmdCheckRemoval:
            Lifecycle_CheckRemoval();
            break;
        case kCmdOpenNewest:
            Lifecycle_OpenNewest();
            break;
        case kViewCmdFullScreenButton:
            PostMessageW(GetParent(hwnd), WM_APP_FULL_SCREEN, 0, 0);
            SetFocus(hwnd);
            break;
        case kViewCmdOverlayStyle:
            if (lParam != 0) OnOverlayStyle(hwnd, *reinterpret_cast<const OverlayStyleCommand*>(lParam));
            break;
        case kViewCmdTextPlacement:
            if (lParam != 0) OnTextPlacement(hwnd, *reinterpret_cast<const TextPlacementEvent*>(lParam));
            break;
        case kViewCmdSetTool:
            g_measure.SetTool(static_cast<int32_t>(lParam));
            break;
        case kViewCmdSetZoom:
            SetZoom(static_cast<int>(lParam));
            break;
        case kViewCmdApplyCalibration:
            if (lParam != 0) OnApplyCalibration(hwnd, *reinterpret_cast<const CalibrationCommand*>(lParam));
            break;
        default:
            break;
    }
}

void OnTimer() {
    if (g_view.openCountdown.Tick()) {
        PostMessageW(g_view.window, WM_COMMAND, kCmdOpenNewest, 0);
    }
}

void OnDeviceChange(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    switch (Lifecycle_ClassifyDeviceChange(wParam, lParam)) {
        case DeviceChange::Arrival:
            g_view.openCountdown.Arrival();
            break;
        case DeviceChange::Removal:
            PostMessageW(hwnd, WM_COMMAND, kCmdCheckRemoval, 0);
            break;
        case DeviceChange::None:
            break;
    }
}

void OnKeyDown(HWND hwnd, WPARAM key) {
    if (key == VK_SPACE) {
        PostMessageW(GetParent(hwnd), WM_COMMAND, kCmdPhotoFromKey, 0);
    } else if (key == VK_BACK || key == VK_DELETE) {
        g_measure.DeleteSelected();
    }
}

}  // namespace

LRESULT CALLBACK CameraWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            OnCreate(hwnd);
            return 0;
        case WM_DESTROY:
            OnDestroy(hwnd);
            return 0;
        case WM_SIZE:
            OnSize(lParam);
            return 0;
        case WM_PAINT:
            OnPaint(hwnd);
            return 0;
        case WM_KEYDOWN:
            OnKeyDown(hwnd, wParam);
            return 0;
        case WM_COMMAND:
            OnCommand(hwnd, LOWORD(wParam), lParam);
            return 0;
        case WM_TIMER:
            OnTimer();
            return 0;
        case WM_HSCROLL:
            ScrollBy(SB_HORZ, LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_VSCROLL:
            ScrollBy(SB_VERT, LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_MOUSEMOVE:
            g_measure.OnMove(static_cast<uint32_t>(wParam), LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);
            g_measure.OnPress(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_LBUTTONUP:
            g_measure.OnRelease();
            return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd) g_measure.OnCaptureLost();
            return 0;
        case WM_CANCELMODE:
            g_measure.OnCaptureLost();
            return DefWindowProcW(hwnd, msg, wParam, lParam);
        case WM_DEVICECHANGE:
            OnDeviceChange(hwnd, wParam, lParam);
            return TRUE;
        case WM_PALETTECHANGED:
            if (reinterpret_cast<HWND>(wParam) != hwnd) InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_QUERYNEWPALETTE:
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_APP_GRAPH_EVENT:
            Capture_DrainEvents();
            return 0;
        case WM_APP_DEVICE_CLOSED:
            // A close that did not come through the lifecycle may have held back its work.
            Lifecycle_RunDeferred();
            PostMessageW(GetParent(hwnd), msg, 0, 0);
            return 0;
        case WM_APP_DEVICE_OPENED:
        case WM_APP_STILL_READY:
        case WM_APP_TEST_PATTERN:
            PostMessageW(GetParent(hwnd), msg, 0, 0);
            return 0;
        default:
            return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

bool CameraView_RegisterClass(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = CameraWndProc;
    wc.cbWndExtra = 0;  // the view's state is module-level: nothing in the window
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = L"CameraWndClass";
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int CameraView_ZoomPercent() { return g_view.zoomPercent; }
int CameraView_DigitalZoom() { return g_view.digitalZoom; }
void CameraView_SetDigitalZoom(int level) {
    g_view.digitalZoom = level < 0 ? 0 : (level > kMaxDigitalZoom ? kMaxDigitalZoom : level);
}
HDC CameraView_SurfaceDC() { return g_view.surface.dc; }
HBITMAP CameraView_SurfaceBitmap() { return g_view.surface.bitmap; }
int CameraView_DisplayWidth() { return g_view.displayWidth; }
int CameraView_DisplayHeight() { return g_view.displayHeight; }
int CameraView_PictureWidth() { return g_view.pictureWidth; }
int CameraView_PictureHeight() { return g_view.pictureHeight; }
bool CameraView_ShownPicture(ShownPicture* picture) {
    const int width = g_view.pictureWidth, height = g_view.pictureHeight;
    if (!Capture_FramesFlowing() || width <= 0 || height <= 0 || g_view.sourceWidth <= 0) {
        return false;
    }
    const uint8_t* frame = Pipeline_CurrentFrame();
    if (frame == nullptr) return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr) return false;
    bool copied = false;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc != nullptr) {
        HGDIOBJ replaced = SelectObject(dc, section);
        // GDI reads the frame through the view's own header, so a vertical flip of the display
        // and an interpolated picture size come out exactly as shown.
        SetStretchBltMode(dc, COLORONCOLOR);
        copied = StretchDIBits(dc, 0, 0, width, height, 0, 0, g_view.sourceWidth,
                               g_view.sourceHeight, frame, FrameBitmapInfo(), DIB_RGB_COLORS,
                               SRCCOPY) != 0;
        GdiFlush();
        SelectObject(dc, replaced);
        DeleteDC(dc);
    }
    if (copied) {
        picture->width = width;
        picture->height = height;
        picture->stride = (width * 3 + 3) & ~3;
        const auto* first = static_cast<const uint8_t*>(bits);
        picture->bgr.assign(first, first + static_cast<size_t>(picture->stride) * height);
    }
    DeleteObject(section);
    return copied;
}

void CameraView_FlipVertically() {
    g_view.frameInfo.biHeight = -g_view.frameInfo.biHeight;
    InvalidateRect(g_view.window, nullptr, FALSE);
}
MeasureModel& CameraView_Measure() { return g_measure; }
const ActiveCalibration& CameraView_Calibration() { return g_view.calibration; }
bool CameraView_Crossline() { return g_view.crosslineOn; }
void CameraView_StartCalibrationRuler() { g_measure.ShowRuler(); }

int32_t CameraView_RulerLength() {
    PlaceRuler(g_measure.Ruler(), g_view.pictureWidth);
    return g_measure.Ruler().length;
}

void CameraView_EndCalibrationRuler() { g_measure.HideRuler(); }

void CameraView_SetCrossline(bool on) {
    g_view.crosslineOn = on;
    InvalidateRect(g_view.window, nullptr, FALSE);
}

bool CameraView_ScaleBar() { return g_view.scaleBarOn; }

void CameraView_SetScaleBar(bool on) {
    g_view.scaleBarOn = on;
    InvalidateRect(g_view.window, nullptr, FALSE);
}

void CameraView_SetPlaceholderTexts(const wchar_t* noDevice, const wchar_t* textPlaceholder) {
    if (noDevice != nullptr) lstrcpynW(g_view.noDeviceText, noDevice, kTextChars);
    if (textPlaceholder != nullptr) lstrcpynW(g_view.textPlaceholder, textPlaceholder, kTextChars);
}

void CameraView_ComposeNow() {
    if (g_view.window == nullptr || !Capture_FramesFlowing()) return;
    g_view.frameBits = Pipeline_CurrentFrame();
    HDC dc = GetDC(g_view.window);
    Compose(dc);
    ReleaseDC(g_view.window, dc);
}
