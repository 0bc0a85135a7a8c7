// Application messages (WM_APP + n) between the program's windows. The same number means
// different things at different receivers. Notices carry a small integer in wParam;
// pointers travel in lParam only with SendMessage.
//
// Defined beside their senders: WM_APP_DEVICE_LIST_CHANGED (+1 to the main window) in
// capture/device_lifecycle.h; WM_APP_GRAPH_EVENT (+1 to the camera view),
// WM_APP_DEVICE_OPENED (+2), WM_APP_DEVICE_CLOSED (+3) in capture/capture_graph.h;
// WM_APP_STILL_READY (+4), WM_APP_TEST_PATTERN (+7) in pipeline/video_format.h, which the
// camera view forwards to the main window unchanged; the view's own WM_APP_FIT_ZOOM_CHANGED
// (+6) and WM_APP_FULL_SCREEN (+8) in measure/camera_view.h. Defined with their receivers:
// the control panel's WM_APP_PANEL_REFRESH (+6), WM_APP_SECTION_TOGGLE (+8) and
// WM_APP_FILE_ADDED (+9) in panel/control_panel.h, included here for their senders; the
// image viewer's WM_APP_IMAGE_CLICK (+10) to its parent in panel/image_viewer.h.
#pragma once
#include <windows.h>

#include "panel/control_panel.h"

// To the main window.
constexpr UINT WM_APP_VIDEO_STARTED = WM_APP + 5;  // writer thread, once per file
constexpr UINT WM_APP_TIME_LAPSE_VIDEO = WM_APP + 11;  // a time-lapse video is written
