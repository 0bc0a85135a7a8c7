// The quick-adjust pop-up: one slider for a camera property or the display ratio, beside the
// camera toolbar, gone as soon as the user goes back to the main window.
#pragma once
#include <windows.h>

// For a quick-adjust command of the camera toolbar: opens the pop-up over `mainWindow` while a
// camera is open, or shows the one that is open again (set up anew when the command asks for
// another target). Other commands are ignored.
void ShowQuickAdjust(HWND mainWindow, int command);
