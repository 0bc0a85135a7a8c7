#include <windows.h>

#include "app/format_settings.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "capture/capture_graph.h"
#include "pipeline/perf_log.h"
#include "settings/settings_store.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    if (ActivateRunningInstance()) return 0;
    Perf_Start();
    App_StartLibraries(instance);
    App_RegisterWindowClasses(instance);
    LoadSettings();
    g_requestedFormat = RequestedFormatFromSettings(g_settings);
    HWND main = MainWindow_Create(instance);
    if (main == nullptr) return 0;
    ShowWindow(main, SW_SHOWMAXIMIZED);
    UpdateWindow(main);
    const int exitCode = App_RunMessageLoop();
    Perf_Finish();
    App_StopLibraries();
    return exitCode;
}
