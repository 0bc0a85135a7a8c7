#include "panel/camera_settings_dialog.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "panel/camera_settings_rules.h"
#include "resources/resource_ids.h"
#include "settings/dialog_setup.h"
#include "settings/text_tables.h"
// Last: it brings in strsafe.h, which hides the C library functions <string> needs.
#include "capture/capture_graph.h"

namespace {

// Layout in dialog units: name, slider, value and "Auto" box across, one row per property.
constexpr int kMargin = 7;
constexpr int kRowHeight = 18;
constexpr int kNameX = 7, kNameWidth = 62;
constexpr int kSliderX = 70, kSliderWidth = 140, kSliderHeight = 14;
constexpr int kValueX = 212, kValueWidth = 44;
constexpr int kAutoX = 258, kAutoWidth = 36;
constexpr int kTextHeight = 8, kTextTop = 3;
constexpr int kComboWidth = 80, kComboDropHeight = 60;
constexpr int kButtonWidth = 60, kButtonHeight = 14;
constexpr int kDialogWidth = 300;

struct CameraSettingsState {
    FrequencyChoices frequencies;  // the power-line list as it was filled
};

CameraSettingsState* StateOf(HWND dialog) {
    return reinterpret_cast<CameraSettingsState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

int KindOfControl(int id, int base) {
    const int kind = id - base;
    return kind >= 0 && kind < kSettingsRowKindCount ? kind : -1;
}

const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

RECT DialogRect(HWND dialog, int x, int y, int width, int height) {
    RECT r = {x, y, x + width, y + height};
    MapDialogRect(dialog, &r);
    return r;
}

void Place(HWND dialog, int id, int x, int y, int width, int height, bool show) {
    HWND control = GetDlgItem(dialog, id);
    const RECT r = DialogRect(dialog, x, y, width, height);
    SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void MakeRowControls(HWND dialog) {
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    struct Part {
        const wchar_t* className;
        DWORD style;
        int base;
    };
    const Part parts[] = {
        {L"STATIC", SS_LEFT | SS_NOPREFIX, IDC_CAMSET_LABEL_BASE},
        {TRACKBAR_CLASSW, TBS_BOTH | TBS_NOTICKS | WS_TABSTOP, IDC_CAMSET_SLIDER_BASE},
        {L"STATIC", SS_LEFT | SS_NOPREFIX, IDC_CAMSET_VALUE_BASE},
        {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, IDC_CAMSET_AUTO_BASE},
    };
    // Before the template's controls, so the tab order runs down the rows first.
    HWND after = HWND_TOP;
    for (int kind = 0; kind < kSettingsRowKindCount; ++kind) {
        for (const Part& part : parts) {
            HWND control = CreateWindowExW(
                0, part.className, L"", WS_CHILD | part.style, 0, 0, 0, 0, dialog,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(part.base + kind)), instance, nullptr);
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            after = control;
        }
    }
}

void ShowValue(HWND dialog, int kind) {
    const PropertyIndex property = kSettingsRowKinds[kind].property;
    SetDlgItemTextW(dialog, IDC_CAMSET_VALUE_BASE + kind,
                    Wide(SettingValueText(property, g_cameraProperties[property].value)));
}

void FillRow(HWND dialog, int kind, const SettingsRow& row) {
    SetDlgItemTextW(dialog, IDC_CAMSET_LABEL_BASE + kind, GetWideText(row.nameKey));
    SetDlgItemTextW(dialog, IDC_CAMSET_AUTO_BASE + kind, GetWideText("auto"));
    HWND slider = GetDlgItem(dialog, IDC_CAMSET_SLIDER_BASE + kind);
    // The full range, not a 16-bit one: a camera may offer more than 65535 values.
    SendMessageW(slider, TBM_SETRANGEMIN, FALSE, 0);
    SendMessageW(slider, TBM_SETRANGEMAX, FALSE, row.slider.span);
    SendMessageW(slider, TBM_SETPOS, TRUE, row.slider.position);
    EnableWindow(slider, row.sliderEnabled);
    CheckDlgButton(dialog, IDC_CAMSET_AUTO_BASE + kind,
                   row.sliderEnabled ? BST_UNCHECKED : BST_CHECKED);
    ShowValue(dialog, kind);
}

void PlaceRow(HWND dialog, int kind, int y, const SettingsRow* row) {
    const bool show = row != nullptr;
    Place(dialog, IDC_CAMSET_LABEL_BASE + kind, kNameX, y + kTextTop, kNameWidth, kTextHeight,
          show);
    Place(dialog, IDC_CAMSET_SLIDER_BASE + kind, kSliderX, y, kSliderWidth, kSliderHeight, show);
    Place(dialog, IDC_CAMSET_VALUE_BASE + kind, kValueX, y + kTextTop, kValueWidth, kTextHeight,
          show);
    Place(dialog, IDC_CAMSET_AUTO_BASE + kind, kAutoX, y + 2, kAutoWidth, 10, show && row->autoBox);
}

// Returns where the next row goes.
int FillFrequency(HWND dialog, CameraSettingsState& state, int y) {
    HWND combo = GetDlgItem(dialog, IDC_CAMSET_FREQUENCY);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    state.frequencies = g_cameraProperties.Reported(kPropPowerLine)
                            ? SettingsPowerLineChoices(g_cameraProperties[kPropPowerLine])
                            : FrequencyChoices{{}, 0};
    const bool show = !state.frequencies.hertz.empty();
    for (int32_t hertz : state.frequencies.hertz)
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(FrequencyLabel(hertz))));
    SendMessageW(combo, CB_SETCURSEL, state.frequencies.selected, 0);
    Place(dialog, IDC_CAMSET_FREQUENCY_CAPTION, kNameX, y + kTextTop, kNameWidth, kTextHeight,
          show);
    Place(dialog, IDC_CAMSET_FREQUENCY, kSliderX, y, kComboWidth, kComboDropHeight, show);
    return show ? y + kRowHeight : y;
}

// The rows of the open camera's properties; the dialog's height follows their number.
void Fill(HWND dialog) {
    const std::vector<SettingsRow> rows = SettingsRowsOf(g_cameraProperties);
    int y = kMargin;
    size_t next = 0;
    for (int kind = 0; kind < kSettingsRowKindCount; ++kind) {
        const bool shown =
            next < rows.size() && rows[next].property == kSettingsRowKinds[kind].property;
        PlaceRow(dialog, kind, y, shown ? &rows[next] : nullptr);
        if (!shown) continue;
        FillRow(dialog, kind, rows[next++]);
        y += kRowHeight;
    }
    y = FillFrequency(dialog, *StateOf(dialog), y) + 4;
    Place(dialog, IDC_CAMSET_DEFAULT, kMargin, y, kButtonWidth, kButtonHeight, true);
    Place(dialog, IDCANCEL, kDialogWidth - kMargin - kButtonWidth, y, kButtonWidth, kButtonHeight,
          true);

    RECT frame = DialogRect(dialog, 0, 0, kDialogWidth, y + kButtonHeight + kMargin);
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
    SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Greyed while no camera is open, keeping the rows of the last one; Close always works.
void EnableControls(HWND dialog, bool open) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) != IDCANCEL) EnableWindow(child, open);
    }
}

void Refresh(HWND dialog) {
    const bool open = Capture_IsOpen();
    EnableControls(dialog, open);
    if (open) Fill(dialog);  // after enabling: sliders of rows in auto go grey again
}

void OnInitDialog(HWND dialog) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(new CameraSettingsState()));
    LocalizeDialog(dialog, "more camera settings title",
                   {{IDC_CAMSET_FREQUENCY_CAPTION, "frequence"},
                    {IDC_CAMSET_DEFAULT, "default"},
                    {IDCANCEL, "more close"}});
    MakeRowControls(dialog);
    Refresh(dialog);
    PlaceDialogBelowOwnerTop(dialog, GetWindow(dialog, GW_OWNER));
}

void OnSlider(HWND dialog, HWND slider) {
    const int kind = KindOfControl(GetDlgCtrlID(slider), IDC_CAMSET_SLIDER_BASE);
    if (kind < 0 || !Capture_IsOpen()) return;
    const PropertyIndex property = kSettingsRowKinds[kind].property;
    const auto position = static_cast<int32_t>(SendMessageW(slider, TBM_GETPOS, 0, 0));
    const int32_t value = PropertyValueAt(g_cameraProperties[property], position);
    if (value == g_cameraProperties[property].value) return;
    Capture_SetProperty(property, value);
    ShowValue(dialog, kind);
}

void OnAutoBox(HWND dialog, int kind) {
    if (!Capture_IsOpen()) return;
    const bool on = IsDlgButtonChecked(dialog, IDC_CAMSET_AUTO_BASE + kind) == BST_CHECKED;
    const PropertyIndex property = kSettingsRowKinds[kind].property;
    Capture_SwitchPropertyAuto(property, on);
    // Either way the camera is at its default now.
    for (const SettingsRow& row : SettingsRowsOf(g_cameraProperties)) {
        if (row.property == property) FillRow(dialog, kind, row);
    }
}

void OnFrequency(HWND dialog) {
    const CameraSettingsState& state = *StateOf(dialog);
    const auto choice = SendDlgItemMessageW(dialog, IDC_CAMSET_FREQUENCY, CB_GETCURSEL, 0, 0);
    if (choice < 0 || static_cast<size_t>(choice) >= state.frequencies.hertz.size()) return;
    Capture_SetPowerLine(
        PowerLineChoiceOfHertz(state.frequencies.hertz[static_cast<size_t>(choice)]));
}

void Close(HWND dialog) {
    DestroyWindow(dialog);
    App_SetModelessDialog(kCameraSettingsDialog, nullptr);
}

void OnCommand(HWND dialog, int id, int code) {
    if (id == IDCANCEL) {
        Close(dialog);
    } else if (id == IDC_CAMSET_DEFAULT) {
        Capture_ResetAllProperties();
        Refresh(dialog);
    } else if (id == IDC_CAMSET_FREQUENCY && code == CBN_SELCHANGE) {
        OnFrequency(dialog);
    } else if (const int kind = KindOfControl(id, IDC_CAMSET_AUTO_BASE);
               kind >= 0 && code == BN_CLICKED) {
        OnAutoBox(dialog, kind);
    }
}

INT_PTR CALLBACK CameraSettingsDlg_Proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return TRUE;
        case WM_HSCROLL:
            OnSlider(dialog, reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_APP_CAMERA_SETTINGS_REFRESH:
            Refresh(dialog);
            return TRUE;
        case WM_NCDESTROY:
            delete StateOf(dialog);
            SetWindowLongPtrW(dialog, DWLP_USER, 0);
            return FALSE;
    }
    return FALSE;
}

}  // namespace

void ShowCameraSettings(HWND mainWindow) {
    HWND dialog = App_ModelessDialog(kCameraSettingsDialog);
    if (dialog == nullptr) {
        if (!Capture_IsOpen()) return;
        dialog =
            CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CAMERA_SETTINGS),
                               mainWindow, CameraSettingsDlg_Proc, 0);
        if (dialog == nullptr) return;
        App_SetModelessDialog(kCameraSettingsDialog, dialog);
    }
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
}
