#include "measure/input_text_dialog.h"

#include "measure/camera_view.h"
#include "measure/shapes.h"
#include "resources/resource_ids.h"
#include "settings/dialog_setup.h"

namespace {

HWND MainWindowOf(HWND dialog) { return GetWindow(dialog, GW_OWNER); }

void SendPlacementEvent(HWND dialog, const TextPlacementEvent& event) {
    SendMessageW(GetDlgItem(MainWindowOf(dialog), kIdCameraView), WM_COMMAND, kViewCmdTextPlacement,
                 reinterpret_cast<LPARAM>(&event));
}

void OnInitDialog(HWND dialog) {
    LocalizeDialog(dialog, "input text", {{IDOK, "ok"}, {IDCANCEL, "cancel"}});
    PlaceDialogBelowOwnerTop(dialog, MainWindowOf(dialog));
    SendDlgItemMessageW(dialog, IDC_INPUT_TEXT_EDIT, EM_LIMITTEXT, kTextAnnotationChars, 0);
    SendPlacementEvent(dialog, kTextEventInit);
}

// Each change shows on the picture at once; the model keeps what fits its text.
void OnTextChanged(HWND dialog) {
    wchar_t text[kTextAnnotationChars + 1] = {};
    GetDlgItemTextW(dialog, IDC_INPUT_TEXT_EDIT, text, kTextAnnotationChars + 1);
    CameraView_Measure().SetPlacedText(reinterpret_cast<const char16_t*>(text));
}

void End(HWND dialog, const TextPlacementEvent& event) {
    HWND mainWindow = MainWindowOf(dialog);
    SendPlacementEvent(dialog, event);
    PostMessageW(mainWindow, WM_COMMAND, kCmdTextDialogClosed, 0);
    DestroyWindow(dialog);
}

void OnCommand(HWND dialog, int id, int code) {
    switch (id) {
        case IDOK:
            End(dialog, kTextEventOk);
            break;
        case IDCANCEL:
            End(dialog, kTextEventCancel);
            break;
        case IDC_INPUT_TEXT_EDIT:
            if (code == EN_CHANGE) OnTextChanged(dialog);
            break;
    }
}

INT_PTR CALLBACK InputTextDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
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

HWND InputTextDialog_Create(HWND mainWindow) {
    HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_INPUT_TEXT),
                                     mainWindow, InputTextDlgProc, 0);
    if (dialog != nullptr) ShowWindow(dialog, SW_SHOW);
    return dialog;
}
