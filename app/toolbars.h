// The measurement toolbar along the top and the camera toolbar along the left: plain dark
// windows holding the tool buttons, passing their clicks on to the main window.
#pragma once
#include <windows.h>

constexpr COLORREF kToolbarBackground = RGB(21, 21, 25);

LRESULT CALLBACK MeasureToolbar_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK CameraToolbar_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
