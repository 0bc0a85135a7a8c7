#include "app/app_state.h"

AppState g_app;

void App_SetModelessDialog(ModelessDialog slot, HWND dialog) {
    g_app.modelessDialogs[slot] = dialog;
}

HWND App_ModelessDialog(ModelessDialog slot) {
    HWND dialog = g_app.modelessDialogs[slot];
    return dialog != nullptr && IsWindow(dialog) ? dialog : nullptr;
}

void App_CloseModelessDialog(ModelessDialog slot) {
    if (HWND dialog = App_ModelessDialog(slot)) DestroyWindow(dialog);
    g_app.modelessDialogs[slot] = nullptr;
}

bool App_HandleDialogMessage(MSG* msg) {
    for (int slot = 0; slot < kModelessDialogCount; ++slot) {
        HWND dialog = App_ModelessDialog(static_cast<ModelessDialog>(slot));
        if (dialog != nullptr && IsDialogMessageW(dialog, msg)) return true;
    }
    return false;
}
