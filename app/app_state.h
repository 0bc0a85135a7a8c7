// Process-wide handles of the application shell: the instance, the main window and its
// children, and the modeless dialogs that the message loop serves. Main thread only.
#pragma once
#include <windows.h>

enum ModelessDialog {
    kCalibrationDialog,
    kInputTextDialog,
    kQuickAdjustDialog,
    kCameraSettingsDialog,
    kTimeLapseDialog,
    kModelessDialogCount,
};

struct AppState {
    HINSTANCE instance;
    HWND mainWindow;
    HWND measureToolbar;
    HWND cameraToolbar;
    HWND cameraView;
    HWND controlPanel;
    HWND modelessDialogs[kModelessDialogCount];  // read through App_ModelessDialog
};

extern AppState g_app;

// A dialog registers itself when created and may clear its slot (null) when it ends.
void App_SetModelessDialog(ModelessDialog slot, HWND dialog);
// The dialog of the slot, or null when it is not open (a destroyed window counts as closed).
HWND App_ModelessDialog(ModelessDialog slot);
// Destroys the dialog of the slot if it is open and clears the slot.
void App_CloseModelessDialog(ModelessDialog slot);
// Offers a message to the open modeless dialogs in slot order; true when one took it.
bool App_HandleDialogMessage(MSG* msg);
