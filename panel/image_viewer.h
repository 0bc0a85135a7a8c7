// The image viewer: one photo from a file at a fixed zoom, centred when smaller than the
// window and dragged when larger; a video shows the photo saved beside it with a play mark.
// Commands kViewerCmdLoad and kViewerCmdZoom (resources/resource_ids.h).
#pragma once
#include <windows.h>

// To the viewer's parent: wParam 0 for a press, 1 for a double click; lParam = the
// viewer's control id.
constexpr UINT WM_APP_IMAGE_CLICK = WM_APP + 10;

LRESULT CALLBACK ImageWnd_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
