// The time-lapse dialog: the run's choices, Start/Stop and its progress. Modeless, owned by
// the main window; the run goes on when it is closed and shows again when it is reopened.
#pragma once
#include <windows.h>

// Opens the dialog over `mainWindow`, or brings the open one forward.
void ShowTimeLapse(HWND mainWindow);
