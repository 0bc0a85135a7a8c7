#include "panel/quick_adjust_dialog.h"

#include <commctrl.h>

#include "app/app_state.h"
#include "capture/capture_graph.h"
#include "measure/camera_view.h"
#include "panel/control_panel.h"
#include "panel/quick_adjust.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"

namespace {

// One pop-up at a time; the remembered value outlives it, so a zoom that is none of the
// ratio steps opens the slider where it was left.
struct QuickAdjustState {
    const QuickTarget* target;
    QuickSlider slider;
};

QuickAdjustState g_quick;

void ShowValue(HWND dialog, int32_t value) {
    SetDlgItemTextW(dialog, IDC_QUICK_VALUE,
                    reinterpret_cast<const wchar_t*>(QuickValueText(*g_quick.target, value).c_str()));
}

void Initialise(HWND dialog) {
    const QuickTarget& target = *g_quick.target;
    g_quick.slider = target.ratio
                         ? RatioSlider(CameraView_ZoomPercent(), g_quick.slider.remembered)
                         : PropertySlider(g_cameraProperties[target.property]);
    const QuickSlider& s = g_quick.slider;
    SetDlgItemTextW(dialog, IDC_QUICK_TITLE, GetWideText(target.titleKey));
    HWND slider = GetDlgItem(dialog, IDC_QUICK_SLIDER);
    // The full range, not a 16-bit one: a camera may offer more than 65535 values.
    const ValueSlider range = QuickSliderRange(s);
    SendMessageW(slider, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageW(slider, TBM_SETRANGEMAX, FALSE, range.span);
    SendMessageW(slider, TBM_SETPOS, TRUE, range.position);
    ShowValue(dialog, s.remembered);
    SetWindowPos(dialog, nullptr, kQuickAdjustScreenX, target.screenY, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void OnSliderMoved(HWND dialog) {
    const auto position =
        static_cast<int32_t>(SendDlgItemMessageW(dialog, IDC_QUICK_SLIDER, TBM_GETPOS, 0, 0));
    const int32_t value = QuickValueAt(g_quick.slider, position);
    if (value == g_quick.slider.remembered) return;
    g_quick.slider.remembered = value;
    const QuickTarget& target = *g_quick.target;
    if (target.ratio) {
        if (g_app.cameraView != nullptr && value >= 0 && value < kRatioStepCount) {
            SendMessageW(g_app.cameraView, WM_COMMAND, kViewCmdSetZoom, kRatioSteps[value]);
            // The Preview section shows the ratio.
            if (g_app.controlPanel != nullptr)
                PostMessageW(g_app.controlPanel, WM_APP_PANEL_REFRESH, kRefreshZoom, 0);
        }
    } else {
        Capture_SetProperty(target.property, value);
    }
    ShowValue(dialog, value);
}

void Close(HWND dialog) {
    DestroyWindow(dialog);
    App_SetModelessDialog(kQuickAdjustDialog, nullptr);
}

INT_PTR CALLBACK QuickAdjustDlg_Proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            Initialise(dialog);
            return TRUE;
        case WM_HSCROLL:
            OnSliderMoved(dialog);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                Close(dialog);
                return TRUE;
            }
            break;
        case WM_ACTIVATE:
            // Going back to the main window ends the adjustment.
            if (LOWORD(wParam) == WA_INACTIVE &&
                reinterpret_cast<HWND>(lParam) == GetWindow(dialog, GW_OWNER)) {
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            }
            return FALSE;
        case WM_CANCELMODE:
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

void ShowQuickAdjust(HWND mainWindow, int command) {
    const QuickTarget* target = QuickTargetOf(command);
    if (target == nullptr) return;
    const bool newTarget = target != g_quick.target;
    g_quick.target = target;
    HWND dialog = App_ModelessDialog(kQuickAdjustDialog);
    if (dialog == nullptr) {
        if (!Capture_IsOpen()) return;
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_QUICK_ADJUST),
                                    mainWindow, QuickAdjustDlg_Proc, 0);
        if (dialog == nullptr) return;
        App_SetModelessDialog(kQuickAdjustDialog, dialog);
    } else if (newTarget) {
        // Still open for another target: the slider must not write this one's values there.
        Initialise(dialog);
    }
    ShowWindow(dialog, SW_SHOW);
}
