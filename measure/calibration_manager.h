// The calibration manager: the ten calibration slots in a list, to rename, delete, calibrate
// and apply. Modal, owned by the main window; main thread only.
#pragma once
#include <windows.h>

// Runs the manager and returns how it ended: IDC_CALIB_CALIBRATE when the user chose to
// calibrate the selected slot (its index is then the table's editIndex), IDC_CALIB_APPLY
// after Apply, IDCANCEL when closed.
INT_PTR CalibrationManager_Run(HWND mainWindow);
