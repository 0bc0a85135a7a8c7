// The modal "Recording video" dialog: starts and stops the video writer, shows the recorded
// time, pauses, stops at the chosen time limit and continues in a new file past the size
// limit. Every finished file is announced like a photo.
#pragma once
#include <windows.h>

// Runs the dialog owned by `owner`; 1 after a recording, 2 when closed without one.
INT_PTR RecordVideoDialog(HWND owner);
