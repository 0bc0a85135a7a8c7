// Application messages (WM_APP + n) between the program's windows. The same number means
// different things at different receivers. Notices carry a small integer in wParam;
// pointers travel in lParam only with SendMessage.
//
// Defined beside their senders: WM_APP_DEVICE_LIST_CHANGED (+1 to the main window) in
// capture/device_lifecycle.h; WM_APP_GRAPH_EVENT (+1 to the camera view),
// WM_APP_DEVICE_OPENED (+2), WM_APP_DEVICE_CLOSED (+3) in capture/capture_graph.h;
// WM_APP_STILL_READY (+4), WM_APP_TEST_PATTERN (+7) in pipeline/video_format.h, which the
// camera view forwards to the main window unchanged; the view's own WM_APP_FIT_ZOOM_CHANGED
// (+6, ignored by the main window) and WM_APP_FULL_SCREEN (+8) in measure/camera_view.h.
#pragma once
#include <windows.h>

// To the main window.
constexpr UINT WM_APP_VIDEO_STARTED = WM_APP + 5;  // writer thread, once per file

// To the control panel.
constexpr UINT WM_APP_PANEL_REFRESH = WM_APP + 6;  // wParam: PanelRefreshReason
constexpr UINT WM_APP_FILE_ADDED = WM_APP + 9;     // wParam: index in the latest-files list

// To the parent of an image viewer.
constexpr UINT WM_APP_IMAGE_CLICK = WM_APP + 10;

enum PanelRefreshReason : WPARAM {
    kRefreshDeviceState = 1,  // a device opened or closed, or the panel was just created
    kRefreshDeviceList = 11,  // cameras came or went
};
