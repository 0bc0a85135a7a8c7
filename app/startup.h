// Bringing the process up and down: single-instance guard, platform libraries, window
// classes, the message loop. The entry point calls these in order.
#pragma once
#include <windows.h>

constexpr wchar_t kInstanceMutexName[] = L"Global\\VorrekVistrel";

// True when another copy already runs (its main window, if any, is restored and brought
// to the front); this copy should then end with 0. False for the first copy, which keeps
// the mutex for the life of the process.
bool ActivateRunningInstance();

// Stores the instance, then starts COM, Media Foundation, GDI+, the common controls and
// the rich-edit library. Results are not checked: a missing library shows up where it is used.
void App_StartLibraries(HINSTANCE instance);
// In reverse order of starting.
void App_StopLibraries();

// Registers the window classes of the program. True when every class is registered
// (now or by an earlier call).
bool App_RegisterWindowClasses(HINSTANCE instance);

// Serves the modeless dialogs first, then translates and dispatches; returns the exit code
// carried by WM_QUIT.
int App_RunMessageLoop();
