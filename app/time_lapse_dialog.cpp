#include "app/time_lapse_dialog.h"

#include <initializer_list>
#include <string>

#include "app/app_state.h"
#include "app/time_lapse.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/dialog_setup.h"
#include "settings/settings_store.h"
#include "settings/text_tables.h"
// Last: it brings in strsafe.h, which hides the C library functions <string> needs.
#include "capture/capture_graph.h"

namespace {

constexpr UINT_PTR kStatusTimer = 1;
constexpr UINT kStatusEveryMs = 250;

// Where each choice is kept, in the subkey of the features beyond the program's values.
struct StoredChoice {
    const wchar_t* value;
    int32_t TimeLapseChoices::*field;
};
const StoredChoice kStoredChoices[] = {
    {L"TimeLapseInterval", &TimeLapseChoices::interval},
    {L"TimeLapseIntervalUnit", &TimeLapseChoices::intervalUnit},
    {L"TimeLapseEnd", &TimeLapseChoices::end},
    {L"TimeLapseCount", &TimeLapseChoices::count},
    {L"TimeLapseDuration", &TimeLapseChoices::duration},
    {L"TimeLapseDurationUnit", &TimeLapseChoices::durationUnit},
    {L"TimeLapseKind", &TimeLapseChoices::kind},
    {L"TimeLapseVideo", &TimeLapseChoices::makeVideo},
    {L"TimeLapseVideoRate", &TimeLapseChoices::videoRate},
};

const char* const kUnitKeys[kTimeUnitCount] = {"more tl seconds", "more tl minutes",
                                               "more tl hours"};
const int kEndButtons[] = {IDC_TL_BY_COUNT, IDC_TL_BY_DURATION, IDC_TL_UNLIMITED};
// What a run fixes: greyed while it goes on.
const int kChoiceControls[] = {IDC_TL_INTERVAL,      IDC_TL_INTERVAL_UNIT, IDC_TL_BY_COUNT,
                               IDC_TL_COUNT,         IDC_TL_BY_DURATION,   IDC_TL_DURATION,
                               IDC_TL_DURATION_UNIT, IDC_TL_UNLIMITED,     IDC_TL_KIND,
                               IDC_TL_VIDEO,         IDC_TL_RATE};

TimeLapseChoices StoredChoices() {
    TimeLapseChoices choices;
    for (const StoredChoice& stored : kStoredChoices) {
        choices.*stored.field = static_cast<int32_t>(
            ReadMoreNumber(stored.value, static_cast<uint32_t>(choices.*stored.field)));
    }
    return ValidTimeLapseChoices(choices);
}

void StoreChoices(const TimeLapseChoices& choices) {
    for (const StoredChoice& stored : kStoredChoices)
        WriteMoreNumber(stored.value, static_cast<uint32_t>(choices.*stored.field));
}

void FillUnits(HWND dialog, int id, int32_t selected) {
    SendDlgItemMessageW(dialog, id, CB_RESETCONTENT, 0, 0);
    for (const char* key : kUnitKeys)
        SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(GetWideText(key)));
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, selected, 0);
}

void FillKinds(HWND dialog, int32_t selected) {
    std::wstring photo = GetWideText("more tl photo");
    const size_t at = photo.find(L"%s");
    if (at != std::wstring::npos) photo.replace(at, 2, g_settings.jpgPng == 1 ? L"PNG" : L"JPG");
    SendDlgItemMessageW(dialog, IDC_TL_KIND, CB_RESETCONTENT, 0, 0);
    SendDlgItemMessageW(dialog, IDC_TL_KIND, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(photo.c_str()));
    SendDlgItemMessageW(dialog, IDC_TL_KIND, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(GetWideText("more tl tiff")));
    SendDlgItemMessageW(dialog, IDC_TL_KIND, CB_SETCURSEL, selected, 0);
}

void ShowChoices(HWND dialog, const TimeLapseChoices& c) {
    SetDlgItemInt(dialog, IDC_TL_INTERVAL, static_cast<UINT>(c.interval), FALSE);
    FillUnits(dialog, IDC_TL_INTERVAL_UNIT, c.intervalUnit);
    SetDlgItemInt(dialog, IDC_TL_COUNT, static_cast<UINT>(c.count), FALSE);
    SetDlgItemInt(dialog, IDC_TL_DURATION, static_cast<UINT>(c.duration), FALSE);
    FillUnits(dialog, IDC_TL_DURATION_UNIT, c.durationUnit);
    for (int end = kEndAfterCount; end <= kEndNever; ++end)
        CheckDlgButton(dialog, kEndButtons[end], end == c.end ? BST_CHECKED : BST_UNCHECKED);
    FillKinds(dialog, c.kind);
    CheckDlgButton(dialog, IDC_TL_VIDEO, c.makeVideo != 0 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(dialog, IDC_TL_RATE, static_cast<UINT>(c.videoRate), FALSE);
}

int32_t Number(HWND dialog, int id) {
    return static_cast<int32_t>(GetDlgItemInt(dialog, id, nullptr, FALSE));
}

int32_t Selection(HWND dialog, int id) {
    return static_cast<int32_t>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

TimeLapseChoices ChoicesShown(HWND dialog) {
    TimeLapseChoices c;
    c.interval = Number(dialog, IDC_TL_INTERVAL);
    c.intervalUnit = Selection(dialog, IDC_TL_INTERVAL_UNIT);
    c.end = IsDlgButtonChecked(dialog, IDC_TL_BY_DURATION) == BST_CHECKED ? kEndAfterDuration
            : IsDlgButtonChecked(dialog, IDC_TL_UNLIMITED) == BST_CHECKED ? kEndNever
                                                                          : kEndAfterCount;
    c.count = Number(dialog, IDC_TL_COUNT);
    c.duration = Number(dialog, IDC_TL_DURATION);
    c.durationUnit = Selection(dialog, IDC_TL_DURATION_UNIT);
    c.kind = Selection(dialog, IDC_TL_KIND);
    c.makeVideo = IsDlgButtonChecked(dialog, IDC_TL_VIDEO) == BST_CHECKED ? 1 : 0;
    c.videoRate = Number(dialog, IDC_TL_RATE);
    return ValidTimeLapseChoices(c);
}

std::wstring TwoDigits(int64_t n) { return (n < 10 ? L"0" : L"") + std::to_wstring(n); }

// "h:mm:ss", rounded up to the second.
std::wstring Clock(int64_t ms) {
    const int64_t seconds = (ms + 999) / 1000;
    return std::to_wstring(seconds / 3600) + L":" + TwoDigits(seconds / 60 % 60) + L":" +
           TwoDigits(seconds % 60);
}

// The table's pattern with its "%s" filled in order.
std::wstring Filled(const char* key, std::initializer_list<std::wstring> values) {
    std::wstring text = GetWideText(key);
    size_t from = 0;
    for (const std::wstring& value : values) {
        const size_t at = text.find(L"%s", from);
        if (at == std::wstring::npos) break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

void ShowStatus(HWND dialog) {
    const TimeLapseStatus status = TimeLapse_Status();
    std::wstring text;
    if (status.makingVideo) {
        text = GetWideText("more tl making video");
    } else if (status.running || status.taken > 0 || status.missed > 0) {
        text = Filled("more tl status",
                      {std::to_wstring(status.taken), std::to_wstring(status.missed)});
        if (status.running) text += L"    " + Filled("more tl next", {Clock(status.nextInMs)});
    }
    SetDlgItemTextW(dialog, IDC_TL_STATUS, text.c_str());
    SetDlgItemTextW(dialog, IDC_TL_START,
                    GetWideText(status.running ? "more tl stop" : "more tl start"));
    // A run starts only on a camera's frames, and not while the last one's video is written.
    EnableWindow(GetDlgItem(dialog, IDC_TL_START),
                 status.running || (Capture_FramesFlowing() && !status.makingVideo));
    for (int id : kChoiceControls) EnableWindow(GetDlgItem(dialog, id), !status.running);
}

void OnInitDialog(HWND dialog) {
    LocalizeDialog(dialog, "more time lapse title",
                   {{IDC_TL_INTERVAL_LABEL, "more tl interval"},
                    {IDC_TL_BY_COUNT, "more tl count"},
                    {IDC_TL_BY_DURATION, "more tl duration"},
                    {IDC_TL_UNLIMITED, "more tl unlimited"},
                    {IDC_TL_KIND_LABEL, "more tl kind"},
                    {IDC_TL_VIDEO, "more tl video"},
                    {IDC_TL_RATE_LABEL, "more tl rate"},
                    {IDCANCEL, "more close"}});
    ShowChoices(dialog, StoredChoices());
    ShowStatus(dialog);
    SetTimer(dialog, kStatusTimer, kStatusEveryMs, nullptr);
    PlaceDialogBelowOwnerTop(dialog, GetWindow(dialog, GW_OWNER));
}

void OnStartStop(HWND dialog) {
    if (TimeLapse_Status().running) {
        TimeLapse_Stop();
    } else {
        const TimeLapseChoices choices = ChoicesShown(dialog);
        StoreChoices(choices);
        ShowChoices(dialog, choices);  // what the run really uses, numbers brought into range
        TimeLapse_Start(choices);
    }
    ShowStatus(dialog);
}

void Close(HWND dialog) {
    DestroyWindow(dialog);
    App_SetModelessDialog(kTimeLapseDialog, nullptr);
}

INT_PTR CALLBACK TimeLapseDlg_Proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return TRUE;
        case WM_TIMER:
            ShowStatus(dialog);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) Close(dialog);
            if (LOWORD(wParam) == IDC_TL_START) OnStartStop(dialog);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

void ShowTimeLapse(HWND mainWindow) {
    HWND dialog = App_ModelessDialog(kTimeLapseDialog);
    if (dialog == nullptr) {
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_TIME_LAPSE),
                                    mainWindow, TimeLapseDlg_Proc, 0);
        if (dialog == nullptr) return;
        App_SetModelessDialog(kTimeLapseDialog, dialog);
    }
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
}
