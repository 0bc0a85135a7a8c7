// Application messages (WM_APP + n) between the program's windows. The same number means
// different things at different receivers. Notices carry a small integer in wParam;
// pointers travel in lParam only with SendMessage.
//
// Defined beside their senders: WM_APP_GRAPH_EVENT (+1 to the camera view),
// WM_APP_DEVICE_OPENED (+2), WM_APP_DEVICE_CLOSED (+3) in capture/capture_graph.h;
// WM_APP_STILL_READY (+4), WM_APP_TEST_PATTERN (+7) in pipeline/video_format.h. The camera
// view forwards +2, +3, +4 and +7 to the main window unchanged.
#pragma once
#include <windows.h>

#include <cstdint>

// To the main window.
constexpr UINT WM_APP_DEVICE_LIST_CHANGED = WM_APP + 1;  // after every enumeration
constexpr UINT WM_APP_VIDEO_STARTED = WM_APP + 5;        // writer thread, once per file
constexpr UINT WM_APP_VIEW_FIT_CHANGED = WM_APP + 6;     // camera view; ignored
constexpr UINT WM_APP_FULLSCREEN = WM_APP + 8;           // camera view's full-screen button

// To the control panel.
constexpr UINT WM_APP_PANEL_REFRESH = WM_APP + 6;  // wParam: PanelRefreshReason
constexpr UINT WM_APP_FILE_ADDED = WM_APP + 9;     // wParam: index in the latest-files list

// To the parent of an image viewer.
constexpr UINT WM_APP_IMAGE_CLICK = WM_APP + 10;

enum PanelRefreshReason : WPARAM {
    kRefreshDeviceState = 1,  // a device opened or closed, or the panel was just created
    kRefreshDeviceList = 11,  // cameras came or went
};

// lParam of the camera view's overlay-style command (SendMessage only).
struct OverlayStyle {
    int32_t gridColor;
    int32_t lineColor;
    int32_t lineWidth;
    int32_t textColor;
    int32_t textSize;
};

// lParam of the camera view's calibration command (SendMessage only).
struct ViewCalibration {
    float scale;  // pixels per unit, -1 for none
    int32_t unit;
};
