// The square owner-drawn buttons of both toolbars: a picture from the shared strip on a dark
// face, a translucent green highlight for hover, press and checked, and a hint in the main
// window's prompt while the mouse is over the button.
#pragma once
#include <windows.h>

constexpr COLORREF kToolButtonBackground = RGB(21, 21, 25);
constexpr COLORREF kToolButtonHighlight = RGB(0, 111, 0);
constexpr int kToolButtonHintChars = 64;  // including the terminator; longer hints are cut

// The colour every face is filled with before its picture is drawn.
void ToolButton_SetBackground(COLORREF colour);
// Loads the picture strip and makes the highlight surface, once per process. False when the
// strip was loaded before, or when either cannot be made (buttons then draw only their
// background, and no highlight when the surface is missing).
bool ToolButtonWnd_Init(HINSTANCE instance);
// A 52 x 52 button at (x, y) of `parent` with the strip's picture at `imageX`; `vertical`
// puts its hint to its right instead of below it. Null when it cannot be created.
HWND CreateToolButton(HWND parent, int id, int x, int y, int imageX, bool vertical);

LRESULT CALLBACK ToolButtonWnd_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
