#include "app/main_window.h"

#include <cstdint>

#include "app/analysis_commands.h"
#include "app/app_messages.h"
#include "app/app_state.h"
#include "app/context_menu.h"
#include "app/format_settings.h"
#include "app/main_layout.h"
#include "app/photo_capture.h"
#include "app/settings_dialog.h"
#include "app/time_lapse.h"
#include "app/time_lapse_dialog.h"
#include "app/tool_buttons.h"
#include "app/window_classes.h"
#include "capture/capture_graph.h"
#include "capture/device_lifecycle.h"
#include "capture/open_device_dialog.h"
#include "measure/calibration_dialog.h"
#include "measure/calibration_manager.h"
#include "measure/calibration_types.h"
#include "measure/camera_view.h"
#include "measure/input_text_dialog.h"
#include "panel/camera_settings_dialog.h"
#include "panel/quick_adjust_dialog.h"
#include "pipeline/video_format.h"
#include "recording/avi_writer.h"
#include "recording/record_dialog.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "settings/text_tables.h"

namespace {

constexpr DWORD kToolbarStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kCameraViewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                   WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP;
constexpr DWORD kControlPanelStyle =
    WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL;

// View zoom commands: a ratio in percent, or anything outside 50..200 to fit.
constexpr LPARAM kZoomActualSize = 100;
constexpr LPARAM kZoomFit = 0;
// Pictures this wide or wider open fitted to the view.
constexpr int kFitFromWidth = 1920;
constexpr int kDigitalZoomLevels = 6;  // 0 (off) to 5

struct MainWindowState {
    int panelWidth;                   // pixels, fixed when the panel is created
    WINDOWPLACEMENT savedPlacement;   // taken when full screen is entered
};

MainWindowState g_main;

HWND CreateChild(HWND parent, const wchar_t* className, DWORD style, int width, int height,
                 int id, LPVOID param) {
    return CreateWindowExW(0, className, nullptr, style, 0, 0, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                           param);
}

bool IsFullScreen(HWND hwnd) {
    return (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_OVERLAPPEDWINDOW) == 0;
}

void DeferChild(HDWP& batch, HWND child, const ChildRect& rect) {
    if (child == nullptr || batch == nullptr) return;
    batch = DeferWindowPos(batch, child, nullptr, rect.x, rect.y, rect.width, rect.height,
                           SWP_NOZORDER | SWP_NOACTIVATE);
}

void LayoutChildren(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    const MainLayout layout =
        ComputeMainLayout(client.right, client.bottom, g_main.panelWidth, IsFullScreen(hwnd));
    HDWP batch = BeginDeferWindowPos(4);
    DeferChild(batch, g_app.measureToolbar, layout.measureToolbar);
    DeferChild(batch, g_app.cameraToolbar, layout.cameraToolbar);
    DeferChild(batch, g_app.cameraView, layout.cameraView);
    DeferChild(batch, g_app.controlPanel, layout.controlPanel);
    if (batch != nullptr) EndDeferWindowPos(batch);
}

void PostToPanel(UINT msg, WPARAM wParam) {
    // A null window would post to this thread's queue instead.
    if (g_app.controlPanel != nullptr) PostMessageW(g_app.controlPanel, msg, wParam, 0);
}

void SendViewCommand(int command, LPARAM lParam) {
    if (g_app.cameraView != nullptr) SendMessageW(g_app.cameraView, WM_COMMAND, command, lParam);
    // The Preview section shows the ratio.
    if (command == kViewCmdSetZoom) PostToPanel(WM_APP_PANEL_REFRESH, kRefreshZoom);
}

void SendOverlayStyle() {
    OverlayStyleCommand style = {};
    style.gridColor = static_cast<int32_t>(g_settings.gridColor);
    style.lineColor = static_cast<int32_t>(g_settings.lineColor);
    style.lineWidth = g_settings.lineWidth;
    style.textColor = static_cast<int32_t>(g_settings.textColor);
    style.textSize = g_settings.textSize;
    SendViewCommand(kViewCmdOverlayStyle, reinterpret_cast<LPARAM>(&style));
}

void InvalidateView() {
    if (g_app.cameraView != nullptr) InvalidateRect(g_app.cameraView, nullptr, FALSE);
}

// The Crossline button follows the view's crossline flag.
void ShowCrosslineButton(bool on) {
    if (g_app.measureToolbar == nullptr) return;
    HWND button = GetDlgItem(g_app.measureToolbar, kCmdCrossline);
    if (button != nullptr) SendMessageW(button, WM_COMMAND, kButtonCmdSetChecked, on ? 1 : 0);
}

void ToggleCrossline() {
    const bool on = !CameraView_Crossline();
    CameraView_SetCrossline(on);
    SendViewCommand(kViewCmdSetZoom, kZoomActualSize);
    InvalidateView();
    ShowCrosslineButton(on);
}

constexpr wchar_t kScaleBarValue[] = L"ScaleBar";

void ToggleScaleBar() {
    const bool on = !CameraView_ScaleBar();
    CameraView_SetScaleBar(on);
    WriteMoreNumber(kScaleBarValue, on ? 1 : 0);
}

constexpr wchar_t kCompressedVideoValue[] = L"CompressedVideo";

// Takes effect with the next file: a recording under way keeps its format.
void ToggleCompressedVideo() {
    const bool on = !Recorder_CompressedVideo();
    Recorder_SetCompressedVideo(on);
    WriteMoreNumber(kCompressedVideoValue, on ? 1 : 0);
}

// After a calibration is applied or a device opened: a calibrated picture shows its scale.
void AutoCrossline() {
    if (CameraView_Calibration().scale <= 0.0f) return;
    SendViewCommand(kViewCmdSetZoom, kZoomActualSize);
    if (!CameraView_Crossline()) {
        CameraView_SetCrossline(true);
        ShowCrosslineButton(true);
    }
}

bool CalibrationDialogOpen() { return App_ModelessDialog(kCalibrationDialog) != nullptr; }

void SetToolButton(int32_t tool, bool checked) {
    if (g_app.measureToolbar == nullptr) return;
    HWND button = GetDlgItem(g_app.measureToolbar, ToolButtonId(tool));
    if (button != nullptr) SendMessageW(button, WM_COMMAND, kButtonCmdSetChecked, checked ? 1 : 0);
}

void SelectTool(int32_t tool) {
    const int32_t current = CameraView_Measure().CurrentTool();
    if (tool == current) return;
    SetToolButton(current, false);
    SetToolButton(tool, true);
    SendViewCommand(kViewCmdSetTool, tool);
    SendViewCommand(kViewCmdSetZoom, kZoomActualSize);
    if (CameraView_Measure().CurrentTool() == kToolText) {
        if (!Capture_IsOpen() || App_ModelessDialog(kInputTextDialog) != nullptr) return;
        CameraView_Measure().BeginTextPlacement();
        App_SetModelessDialog(kInputTextDialog, InputTextDialog_Create(g_app.mainWindow));
        return;
    }
    App_CloseModelessDialog(kInputTextDialog);
}

void StopMeasuring() {
    SelectTool(kToolNone);
    SetToolButton(kToolText, false);
    SetToolButton(kToolNone, true);
}

void OnTextTool() {
    if (Capture_IsOpen() && !CalibrationDialogOpen()) {
        SelectTool(kToolText);
    } else {
        StopMeasuring();
    }
    SendViewCommand(kViewCmdSetZoom, kZoomActualSize);
}

// Manager, then the calibration dialog with the ruler; that dialog's end brings the manager
// back through this same command. The camera may have gone while the manager showed: without
// it there is no picture to calibrate.
void StartCalibration(HWND hwnd) {
    if (!Capture_IsOpen() || CalibrationDialogOpen()) return;
    if (CalibrationManager_Run(hwnd) != IDC_CALIB_CALIBRATE || !Capture_IsOpen()) return;
    App_SetModelessDialog(kCalibrationDialog, CalibrationDialog_Create(hwnd));
    SendViewCommand(kViewCmdSetZoom, kZoomActualSize);
    CameraView_StartCalibrationRuler();
}

// The dialog starts at the open camera's picture size, or at nothing in particular.
void OnOpenDevice() {
    RequestedFormat format = {kSubtypeNone, 0, 0, 0};
    if (Capture_IsOpen()) {
        format = {g_pipeline.format.subtype, CameraView_PictureWidth(),
                  CameraView_PictureHeight(), 0};
    }
    OpenDeviceOrFormat(format, true);
}

void OnDeleteShapes(bool all) {
    if (!Capture_IsOpen() || CalibrationDialogOpen()) return;
    MeasureModel& measure = CameraView_Measure();
    const bool deleted = all ? measure.DeleteAll() : measure.DeleteLast();
    if (deleted) InvalidateView();
}

void ToggleFullScreen(HWND hwnd) {
    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    if (style & WS_OVERLAPPEDWINDOW) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof placement;
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof monitor;
        if (!GetWindowPlacement(hwnd, &placement) ||
            !GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
            return;
        }
        g_main.savedPlacement = placement;
        SetWindowLongPtrW(hwnd, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW));
        const RECT& area = monitor.rcMonitor;
        SetWindowPos(hwnd, HWND_TOP, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
        if (g_app.cameraView != nullptr) SetFocus(g_app.cameraView);
    } else {
        // Still flagged maximised, the window would take a maximised placement as already
        // applied and keep the monitor rectangle with its frame inside; unflagged, it is
        // maximised anew with the frame outside the work area.
        const LONG_PTR framed = (style | WS_OVERLAPPEDWINDOW) & ~static_cast<LONG_PTR>(WS_MAXIMIZE);
        SetWindowLongPtrW(hwnd, GWL_STYLE, framed);
        SetWindowPlacement(hwnd, &g_main.savedPlacement);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
    }
}

LRESULT OnCreate(HWND hwnd) {
    g_app.mainWindow = hwnd;
    g_app.measureToolbar =
        CreateChild(hwnd, kMeasureToolbarClass, kToolbarStyle, 600, 84, kIdMeasureToolbar, nullptr);
    g_app.cameraToolbar =
        CreateChild(hwnd, kCameraToolbarClass, kToolbarStyle, 42, 600, kIdCameraToolbar, nullptr);

    g_requestedFormat = RequestedFormatFromSettings(g_settings);
    // The view makes itself the capture side's notification window as it is created.
    g_app.cameraView =
        CreateChild(hwnd, kCameraWindowClass, kCameraViewStyle, 0, 0, kIdCameraView, nullptr);
    if (g_app.cameraView != nullptr) {
        ShowScrollBar(g_app.cameraView, SB_BOTH, FALSE);
        SendOverlayStyle();
        CameraView_SetPlaceholderTexts(GetWideText("no device"), GetWideText("input tip"));
        CameraView_SetScaleBar(ReadMoreNumber(kScaleBarValue, 0) != 0);
        Recorder_SetCompressedVideo(ReadMoreNumber(kCompressedVideoValue, 0) != 0);
        InvalidateRect(g_app.cameraView, nullptr, TRUE);
    }
    // No tool button starts checked (not even Stop measure); the Crossline follows its flag.
    ShowCrosslineButton(CameraView_Crossline());

    g_main.panelWidth = MulDiv(kPanelWidthDialogUnits, LOWORD(GetDialogBaseUnits()), 4);
    const auto panelParam = reinterpret_cast<LPVOID>(static_cast<INT_PTR>(g_main.panelWidth));
    g_app.controlPanel = CreateChild(hwnd, kControlPanelClass, kControlPanelStyle, 0, 0,
                                     kIdControlPanel, panelParam);
    if (g_app.controlPanel != nullptr) ShowScrollBar(g_app.controlPanel, SB_VERT, FALSE);

    LayoutChildren(hwnd);
    PostToPanel(WM_COMMAND, kCmdReloadTexts);
    PostToPanel(WM_APP_PANEL_REFRESH, kRefreshDeviceState);
    return 0;
}

void OnSize(HWND hwnd, WPARAM type) {
    // A minimised window has no client area; the children keep their places.
    if (type != SIZE_MINIMIZED) LayoutChildren(hwnd);
}

void OnGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMinTrackSize.x = kMainMinTrackWidth;
    info->ptMinTrackSize.y = kMainMinTrackHeight;
}

void OnDestroy() {
    TimeLapse_Shutdown();
    g_app.mainWindow = nullptr;
    g_app.measureToolbar = nullptr;
    g_app.cameraToolbar = nullptr;
    g_app.cameraView = nullptr;
    g_app.controlPanel = nullptr;
    PostQuitMessage(0);
}

// The camera settings dialog follows the camera: refilled when one opens, greyed when it closes.
void RefreshCameraSettings() {
    if (HWND dialog = App_ModelessDialog(kCameraSettingsDialog))
        SendMessageW(dialog, WM_APP_CAMERA_SETTINGS_REFRESH, 0, 0);
}

void OnDeviceOpened(HWND hwnd) {
    Capture_EnsureCurrentFormats();
    StoreRequestedFormat(g_requestedFormat, g_settings);
    SaveSettings();
    // A new preview starts uncalibrated, with no calibration marked as applied.
    g_calibrations.activeIndex = kNoActiveCalibration;
    CalibrationCommand none = {kNoCalibrationScale, kUnitMillimetres};
    SendViewCommand(kViewCmdApplyCalibration, reinterpret_cast<LPARAM>(&none));
    SendViewCommand(kViewCmdSetZoom,
                    g_requestedFormat.width < kFitFromWidth ? kZoomActualSize : kZoomFit);
    PostMessageW(hwnd, WM_COMMAND, kCmdAutoCrossline, 0);
    PostToPanel(WM_APP_PANEL_REFRESH, kRefreshDeviceState);
    RefreshCameraSettings();
}

void OnDeviceClosed() {
    SelectTool(kToolNone);
    App_CloseModelessDialog(kInputTextDialog);
    if (CalibrationDialogOpen()) {
        CameraView_EndCalibrationRuler();
        App_CloseModelessDialog(kCalibrationDialog);
    }
    PostToPanel(WM_APP_PANEL_REFRESH, kRefreshDeviceState);
    RefreshCameraSettings();
}

// Colour-bar frames from an interpolating camera step the digital zoom round.
void OnTestPattern() {
    if (g_pipeline.format.interpolated == 0) return;
    CameraView_SetDigitalZoom((CameraView_DigitalZoom() + 1) % kDigitalZoomLevels);
    InvalidateView();
}

// Only while frames flow: there is nothing to record otherwise.
void OnRecordVideo() {
    if (Capture_FramesFlowing() && !CalibrationDialogOpen()) RecordVideoDialog(g_app.mainWindow);
}

// False for ids this window does not handle, which go to default processing.
bool OnCommand(HWND hwnd, int id) {
    const int32_t tool = ToolOfButton(id);
    if (tool >= 0) {
        SelectTool(tool);
        return true;
    }
    switch (id) {
        case kCmdOverlayStyleChanged:
            SendOverlayStyle();
            return true;
        case kCmdTextDialogClosed:
            StopMeasuring();
            return true;
        case kCmdToolText:
            OnTextTool();
            return true;
        case kCmdOpenDevice:
            OnOpenDevice();
            return true;
        case kCmdSettings:
            RunSettingsDialog(g_app.mainWindow);
            return true;
        case kCmdQuickBrightness:
        case kCmdQuickContrast:
        case kCmdQuickSaturation:
        case kCmdQuickSharpness:
        case kCmdQuickRatio:
        case kCmdQuickGain:
            ShowQuickAdjust(g_app.mainWindow, id);
            return true;
        case kCmdCalibration:
            StartCalibration(hwnd);
            return true;
        case kCmdDeleteLastShape:
            OnDeleteShapes(false);
            return true;
        case kCmdDeleteAllShapes:
            OnDeleteShapes(true);
            return true;
        case kCmdCrossline:
            ToggleCrossline();
            return true;
        case kCmdAutoCrossline:
            AutoCrossline();
            return true;
        case kCmdScaleBar:
            ToggleScaleBar();
            return true;
        case kCmdSaveForAnalysis:
            SaveForAnalysis();
            return true;
        case kCmdCopyMeasurements:
            CopyMeasurements();
            return true;
        case kCmdCameraSettings:
            ShowCameraSettings(hwnd);
            return true;
        case kCmdTimeLapse:
            ShowTimeLapse(hwnd);
            return true;
        case kCmdCompressedVideo:
            ToggleCompressedVideo();
            return true;
        case kCmdPhotoFromKey:
        case kCmdPhoto:
            TakePhoto();
            return true;
        case kCmdRecordVideo:
            OnRecordVideo();
            return true;
        case kCmdOpenImageFolder:
            OpenImageFolder();
            return true;
    }
    return false;
}

}  // namespace

LRESULT CALLBACK MainWnd_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            return OnCreate(hwnd);
        case WM_SIZE:
            OnSize(hwnd, wParam);
            return 0;
        case WM_GETMINMAXINFO:
            OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
            return 0;
        case WM_CLOSE:
            // Not while a camera is being closed: the close is waiting for the video writer.
            if (Lifecycle_Busy()) {
                Lifecycle_PostWhenIdle(hwnd, WM_CLOSE);
                return 0;
            }
            break;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_COMMAND:
            if (OnCommand(hwnd, LOWORD(wParam))) return 0;
            break;
        case WM_TIMER:
            if (wParam == kTimeLapseTimer) TimeLapse_OnTimer();
            return 0;
        case WM_CONTEXTMENU:
            // The view's right button; the panel and toolbars have no menu.
            if (reinterpret_cast<HWND>(wParam) == g_app.cameraView) {
                ViewMenu_Show(hwnd, g_app.cameraView, lParam);
                return 0;
            }
            break;
        case WM_APP_FIT_ZOOM_CHANGED:
            PostToPanel(WM_APP_PANEL_REFRESH, kRefreshZoom);
            return 0;
        case WM_APP_DEVICE_LIST_CHANGED:
            OpenDevice_DeviceListChanged();
            PostToPanel(WM_APP_PANEL_REFRESH, kRefreshDeviceList);
            return 0;
        case WM_APP_DEVICE_OPENED:
            OnDeviceOpened(hwnd);
            return 0;
        case WM_APP_DEVICE_CLOSED:
            OnDeviceClosed();
            return 0;
        case WM_APP_TEST_PATTERN:
            OnTestPattern();
            return 0;
        case WM_APP_STILL_READY:
            SaveStillPhoto();
            return 0;
        case WM_APP_VIDEO_STARTED:
            SaveVideoCover();
            return 0;
        case WM_APP_TIME_LAPSE_VIDEO:
            TimeLapse_OnVideoWritten();
            return 0;
        case WM_APP_FULL_SCREEN:
            ToggleFullScreen(hwnd);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND MainWindow_Create(HINSTANCE instance) {
    return CreateWindowExW(0, kMainWindowClass, L"Tessaloom", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                           nullptr);
}
