// The input-text dialog: the text annotation is typed here while the view already shows it,
// framed, where the user drags it. Modeless, owned by the main window.
#pragma once
#include <windows.h>

// Creates and shows the dialog; the view starts a fresh text near the top of the picture.
// OK commits a text that is not empty, OK and Cancel end the dialog and post the main
// window's text-dialog-closed command.
HWND InputTextDialog_Create(HWND mainWindow);
