// Class names of every window the program registers; the entry point registers them and
// the creators of the windows refer to them here.
#pragma once

constexpr wchar_t kMainWindowClass[] = L"TessaloomWndClass";
constexpr wchar_t kCameraWindowClass[] = L"CameraWndClass";
constexpr wchar_t kPromptWindowClass[] = L"PromptWndClass";
constexpr wchar_t kMeasureToolbarClass[] = L"MyToolbarWndClass";
constexpr wchar_t kCameraToolbarClass[] = L"VToolbarWndClass";
constexpr wchar_t kControlPanelClass[] = L"CtrlPanelWndClass";
constexpr wchar_t kPanelHeaderClass[] = L"CtrlPanelHeaderWndClass";
constexpr wchar_t kPanelDeviceClass[] = L"CtrlPanelSourceWndClass";
constexpr wchar_t kPanelPreviewClass[] = L"CtrlPanelFlipWndClass";
constexpr wchar_t kPanelColorClass[] = L"CtrlPanelColorWndClass";
constexpr wchar_t kPanelFilesClass[] = L"CtrlPanelFilesWndClass";
constexpr wchar_t kToolButtonClass[] = L"zToolButtonWndClass";
constexpr wchar_t kImageWindowClass[] = L"ImageWndClass";
