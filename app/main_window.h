// The frame of the program: creates and lays out the toolbars, the camera view and the
// control panel, switches full screen and routes commands and device notices.
#pragma once
#include <windows.h>

// Creates the main window ("Tessaloom", default position and size) and its children.
HWND MainWindow_Create(HINSTANCE instance);

LRESULT CALLBACK MainWnd_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
