// The camera view's right-button menu: the one door to the features beyond the toolbars. Its
// items are WM_COMMANDs to the main window (ids from 3101 on), routed like toolbar commands.
#pragma once
#include <windows.h>

// The menu as it stands now: texts in the current language, checks and greyed items from the
// program's state. The caller destroys it.
HMENU ViewMenu_Build();
// Shows it at a WM_CONTEXTMENU's screen point (the view's centre for the keyboard's -1); the
// chosen command goes to `owner`.
void ViewMenu_Show(HWND owner, HWND view, LPARAM screenPoint);
