// The settings dialog ("Options"): measurement colours, line width and text size, the folder
// for photos and videos, the photo format and the language, applied together on OK.
#pragma once
#include <windows.h>

// Modal over `owner`. Returns IDOK after the choices were stored, saved and applied (a new
// language at once in the windows), IDCANCEL when nothing changed.
INT_PTR RunSettingsDialog(HWND owner);
