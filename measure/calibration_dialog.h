// The calibration dialog: shown beside the calibration ruler while the user lays it over a
// real ruler and types the length it covers. Modeless, owned by the main window.
#pragma once
#include <windows.h>

// Creates and shows the dialog for the table's editIndex. It ends itself (OK with a usable
// length, or Cancel): then it hides the ruler and posts the calibration command to the main
// window, which brings the manager back.
HWND CalibrationDialog_Create(HWND mainWindow);
