#include "measure/calibration_dialog.h"

#include <string>

#include "measure/calibration.h"
#include "measure/calibration_texts.h"
#include "measure/camera_view.h"
#include "pipeline/video_format.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/dialog_setup.h"
#include "settings/settings_store.h"
#include "settings/text_tables.h"

namespace {

constexpr int kLengthChars = 63;

HWND MainWindowOf(HWND dialog) { return GetWindow(dialog, GW_OWNER); }
HWND ViewOf(HWND dialog) { return GetDlgItem(MainWindowOf(dialog), kIdCameraView); }

CalibrationRecord& EditedSlot() { return g_calibrations.slots[g_calibrations.editIndex]; }

int32_t UnitOfChoice(HWND dialog) {
    const LRESULT choice = SendDlgItemMessageW(dialog, IDC_CALIB_UNIT_LIST, CB_GETCURSEL, 0, 0);
    return choice == 0 ? kUnitMillimetres : kUnitMicrons;
}

void ShowUnitLabel(HWND dialog, int32_t unit) {
    const std::u16string label(UnitLabel(unit));
    SetDlgItemTextW(dialog, IDC_CALIB_UNIT_LABEL, reinterpret_cast<const wchar_t*>(label.c_str()));
}

int32_t Today() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return CalibrationDate(now.wYear, now.wMonth, now.wDay);
}

void OnInitDialog(HWND dialog) {
    LocalizeDialog(dialog, "calib title",
                   {{IDC_CALIB_TIP1, "calib tip1"},
                    {IDC_CALIB_TIP2, "calib tip2"},
                    {IDC_CALIB_UNIT_TIP, "unit tip"},
                    {IDOK, "ok"},
                    {IDCANCEL, "cancel"}});
    PlaceDialogBelowOwnerTop(dialog, MainWindowOf(dialog));
    const CalibrationRecord& slot = EditedSlot();
    const std::u16string title = CalibrationDialogTitle(g_calibrations.editIndex, slot);
    SetWindowTextW(dialog, reinterpret_cast<const wchar_t*>(title.c_str()));
    for (const char* key : {"mm", "um"}) {
        SendDlgItemMessageW(dialog, IDC_CALIB_UNIT_LIST, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(GetWideText(key)));
    }
    const int32_t unit = slot.unit == kUnitMillimetres ? kUnitMillimetres : kUnitMicrons;
    SendDlgItemMessageW(dialog, IDC_CALIB_UNIT_LIST, CB_SETCURSEL, unit, 0);
    ShowUnitLabel(dialog, unit);
    SendDlgItemMessageW(dialog, IDC_CALIB_LENGTH, EM_LIMITTEXT, kLengthChars, 0);
}

void Close(HWND dialog) {
    HWND mainWindow = MainWindowOf(dialog);
    DestroyWindow(dialog);
    CameraView_EndCalibrationRuler();
    PostMessageW(mainWindow, WM_COMMAND, kCmdCalibration, 0);
}

// A length that cannot make a calibration leaves the field selected for correction.
void RefuseLength(HWND dialog) {
    MessageBeep(MB_ICONWARNING);
    HWND field = GetDlgItem(dialog, IDC_CALIB_LENGTH);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    SendMessageW(field, EM_SETSEL, 0, -1);
}

void OnOk(HWND dialog) {
    wchar_t typed[kLengthChars + 1] = {};
    GetDlgItemTextW(dialog, IDC_CALIB_LENGTH, typed, kLengthChars + 1);
    float length = 0.0f;
    const int32_t unit = UnitOfChoice(dialog);
    CalibrationRecord& slot = EditedSlot();
    if (!ParseTypedLength(reinterpret_cast<const char16_t*>(typed), &length) ||
        !MakeCalibration(slot, unit, CameraView_RulerLength(), length, g_pipeline.format.width,
                         g_pipeline.format.height, Today())) {
        RefuseLength(dialog);
        return;
    }
    SaveSettings();
    if (g_calibrations.editIndex == g_calibrations.activeIndex) {
        CalibrationCommand command = {slot.scale, slot.unit};
        HWND view = ViewOf(dialog);
        SendMessageW(view, WM_COMMAND, kViewCmdApplyCalibration, reinterpret_cast<LPARAM>(&command));
        SendMessageW(view, WM_COMMAND, kViewCmdSetZoom, 100);
        PostMessageW(MainWindowOf(dialog), WM_COMMAND, kCmdAutoCrossline, 0);
    }
    Close(dialog);
}

void OnCommand(HWND dialog, int id, int code) {
    switch (id) {
        case IDOK:
            OnOk(dialog);
            break;
        case IDCANCEL:
            Close(dialog);
            break;
        case IDC_CALIB_UNIT_LIST:
            if (code == CBN_SELCHANGE) ShowUnitLabel(dialog, UnitOfChoice(dialog));
            break;
    }
}

INT_PTR CALLBACK CalibrationDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
    }
    return FALSE;
}

}  // namespace

HWND CalibrationDialog_Create(HWND mainWindow) {
    if (g_calibrations.editIndex < 0 || g_calibrations.editIndex >= kCalibrationSlots) return nullptr;
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CALIBRATION),
                                     mainWindow, CalibrationDlgProc, 0);
    if (dialog != nullptr) ShowWindow(dialog, SW_SHOW);
    return dialog;
}
