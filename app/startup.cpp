#include "app/startup.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <mfapi.h>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/photo_capture.h"
#include "app/prompt_window.h"
#include "app/tool_button_window.h"
#include "app/toolbars.h"
#include "app/window_classes.h"
#include "measure/camera_view.h"
#include "panel/control_panel.h"
#include "resources/resource_ids.h"

namespace {

constexpr ULONG kMediaFoundationVersion = 0x20070;
// List view, tree view, bar, tab, up-down, date, extended combo box, standard and link classes.
constexpr DWORD kCommonControlClasses = 0xC31F;

struct StartupState {
    HANDLE instanceMutex;  // held open until the process ends
    ULONG_PTR gdiplusToken;
    HBRUSH promptBrush;    // class brushes live as long as the process
    HBRUSH toolbarBrush;   // one brush for both toolbars
};

StartupState g_startup;

struct WindowClassInfo {
    const wchar_t* name;
    UINT style;
    int extraBytes;
    WNDPROC proc;
    HICON icon;
    HBRUSH background;
};

bool RegisterWindowClass(HINSTANCE instance, const WindowClassInfo& info) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = info.style;
    wc.lpfnWndProc = info.proc;
    wc.cbWndExtra = info.extraBytes;
    wc.hInstance = instance;
    wc.hIcon = info.icon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = info.background;
    wc.lpszClassName = info.name;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

bool ActivateRunningInstance() {
    SetLastError(ERROR_SUCCESS);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (mutex == nullptr || !existed) {
        g_startup.instanceMutex = mutex;
        return false;
    }
    CloseHandle(mutex);

    HWND running = FindWindowW(kMainWindowClass, nullptr);
    if (running == nullptr) return true;  // the other copy is starting or ending
    if (IsIconic(running)) SendMessageW(running, WM_SYSCOMMAND, SC_RESTORE, 0);
    SetWindowPos(running, HWND_TOP, 0, 0, 0, 0,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
    // Activating the window gives it the keyboard focus; SetFocus cannot reach across
    // processes.
    SetForegroundWindow(running);
    return true;
}

void App_StartLibraries(HINSTANCE instance) {
    g_app.instance = instance;
    HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    MFStartup(kMediaFoundationVersion, MFSTARTUP_FULL);
    Gdiplus::GdiplusStartupInput gdiplusInput;  // version 1, no debug callback
    Gdiplus::GdiplusStartup(&g_startup.gdiplusToken, &gdiplusInput, nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, kCommonControlClasses};
    InitCommonControlsEx(&controls);
    LoadLibraryW(L"Msftedit.dll");  // never freed: dialogs create rich-edit controls
    FindImageEncoders();
}

void App_StopLibraries() {
    Gdiplus::GdiplusShutdown(g_startup.gdiplusToken);
    MFShutdown();
    CoUninitialize();
}

bool App_RegisterWindowClasses(HINSTANCE instance) {
    if (g_startup.promptBrush == nullptr) {
        g_startup.promptBrush = CreateSolidBrush(kPromptBackground);
        g_startup.toolbarBrush = CreateSolidBrush(kToolbarBackground);
    }
    const WindowClassInfo mainWindow = {
        kMainWindowClass, 0, 0, MainWnd_Proc,
        LoadIconW(instance, MAKEINTRESOURCEW(IDI_TESSALOOM)),
        reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)};
    // The prompt keeps a record pointer in its extra bytes: room for a whole pointer.
    const WindowClassInfo prompt = {
        kPromptWindowClass, 0, sizeof(LONG_PTR), PromptWnd_Proc, nullptr, g_startup.promptBrush};
    const WindowClassInfo measureToolbar = {
        kMeasureToolbarClass, 0, 0, MeasureToolbar_Proc, nullptr, g_startup.toolbarBrush};
    const WindowClassInfo cameraToolbar = {
        kCameraToolbarClass, 0, 0, CameraToolbar_Proc, nullptr, g_startup.toolbarBrush};
    const WindowClassInfo toolButton = {
        kToolButtonClass, 0, sizeof(LONG_PTR), ToolButtonWnd_Proc, nullptr, nullptr};
    // In this order; the camera view describes its own class.
    bool all = RegisterWindowClass(instance, mainWindow);
    all = CameraView_RegisterClass(instance) && all;
    all = RegisterWindowClass(instance, prompt) && all;
    all = RegisterWindowClass(instance, measureToolbar) && all;
    all = RegisterWindowClass(instance, cameraToolbar) && all;
    all = RegisterWindowClass(instance, toolButton) && all;
    ToolButton_SetBackground(kToolbarBackground);
    ToolButtonWnd_Init(instance);  // does nothing once the pictures are loaded
    all = Panel_RegisterClasses(instance) && all;
    return all;
}

int App_RunMessageLoop() {
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (App_HandleDialogMessage(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}
