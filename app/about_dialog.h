// The About box: the product line and the rights line, opened from the settings dialog.
#pragma once
#include <windows.h>

// Modal over `owner`; OK, Cancel or Esc close it.
void RunAboutDialog(HWND owner);
