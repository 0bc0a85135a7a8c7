// The camera settings dialog: every property the open camera offers, one row each, changed
// at once. Modeless, owned by the main window; it follows the camera being closed (greyed)
// and opened again (refilled).
#pragma once
#include <windows.h>

// From the main window when a camera has opened or closed (wParam 0, lParam 0).
constexpr UINT WM_APP_CAMERA_SETTINGS_REFRESH = WM_APP + 1;

// Opens the dialog over `mainWindow` while a camera is open, or brings the open one forward.
void ShowCameraSettings(HWND mainWindow);
