#include <windows.h>

#include "app/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    if (!MainWindow_Register(instance)) return 1;
    HWND main = MainWindow_Create(instance);
    if (main == nullptr) return 1;
    ShowWindow(main, SW_SHOWMAXIMIZED);
    UpdateWindow(main);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
