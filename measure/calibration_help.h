// How to calibrate: three steps and a picture of a ruler under the microscope. Modal.
#pragma once
#include <windows.h>

// `owner` is the calibration manager; the help sits over the main window that owns it.
void CalibrationHelp_Run(HWND owner);
