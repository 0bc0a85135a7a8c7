#include "measure/calibration_help.h"

#include "resources/resource_ids.h"
#include "settings/dialog_setup.h"

namespace {

// The picture, drawn to fit its frame (it was made for 96 dots per inch); null when the
// program carries no such picture, and the steps alone still say it all.
HBITMAP LoadHowToPicture(HWND frame) {
    RECT r = {};
    GetClientRect(frame, &r);
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                           MAKEINTRESOURCEW(IDB_CALIBRATION_HOWTO), IMAGE_BITMAP,
                                           r.right, r.bottom, LR_DEFAULTCOLOR));
}

void OnInitDialog(HWND dialog) {
    LocalizeDialog(dialog, nullptr,
                   {{IDC_HELP_STEP1, "howto 1"},
                    {IDC_HELP_STEP2, "howto 2"},
                    {IDC_HELP_STEP3, "howto 3"},
                    {IDOK, "ok"}});
    PlaceDialogBelowOwnerTop(dialog, GetAncestor(dialog, GA_ROOTOWNER));
    HWND frame = GetDlgItem(dialog, IDC_HELP_PICTURE);
    HBITMAP picture = LoadHowToPicture(frame);
    if (picture == nullptr) return;
    // The control does not own a picture handed to it; the dialog frees it when it ends.
    SendMessageW(frame, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(picture));
}

void OnDestroy(HWND dialog) {
    auto picture = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (picture != nullptr) DeleteObject(picture);
}

INT_PTR CALLBACK HelpDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        case WM_DESTROY:
            OnDestroy(dialog);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

void CalibrationHelp_Run(HWND owner) {
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CALIBRATION_HELP), owner,
                    HelpDlgProc, 0);
}
