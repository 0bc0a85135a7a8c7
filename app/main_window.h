// The top-level "Tessaloom" window.
#pragma once
#include <windows.h>

extern const wchar_t kMainWindowClass[];

bool MainWindow_Register(HINSTANCE instance);
HWND MainWindow_Create(HINSTANCE instance);
