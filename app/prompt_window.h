// The transient one-line notice of a window (saved files, tool-button hints): a bordered
// child on a pale yellow background that closes itself about four seconds after its text
// was last set. A window has at most one; a new prompt reuses it.
#pragma once
#include <windows.h>

constexpr COLORREF kPromptBackground = RGB(255, 250, 205);
constexpr int kPromptTextChars = 512;  // including the terminator; longer texts are cut

// Shows `text` in the prompt of `parent`, creating it if needed. x is the left edge in the
// parent's client area (0 or less: centred), y the top edge. Returns the prompt, or null
// when it could not be created.
HWND ShowPrompt(HINSTANCE instance, HWND parent, const wchar_t* text, int x, int y);

LRESULT CALLBACK PromptWnd_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
