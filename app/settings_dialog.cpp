#include "app/settings_dialog.h"

#include <shlobj.h>

#include <string>

#include "app/about_dialog.h"
#include "app/app_state.h"
#include "app/settings_choices.h"
#include "measure/camera_view.h"
#include "resources/resource_ids.h"
#include "settings/dialog_setup.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"

namespace {

constexpr int kColourLists[] = {IDC_SETTINGS_RULER_COLOUR, IDC_SETTINGS_LINE_COLOUR,
                                IDC_SETTINGS_TEXT_COLOUR};
constexpr const wchar_t* kLineWidths[] = {L" 1", L" 2"};
constexpr const wchar_t* kPhotoFormats[] = {L" JPG", L" PNG"};
// Each language in its own script, so a user finds it whatever language is shown.
constexpr const wchar_t* kLanguages[] = {L" English", L" \u4E2D\u6587", L" \u65E5\u672C\u8A9E"};

void AddEntry(HWND dialog, int list, const wchar_t* text) {
    SendDlgItemMessageW(dialog, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void Select(HWND dialog, int list, int index) {
    SendDlgItemMessageW(dialog, list, CB_SETCURSEL, index, 0);
}

int Selected(HWND dialog, int list) {
    const LRESULT index = SendDlgItemMessageW(dialog, list, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? kNoChoice : static_cast<int>(index);
}

void FillLists(HWND dialog) {
    for (int list : kColourLists) {
        for (int i = 0; i < kPaletteSize; ++i) AddEntry(dialog, list, std::to_wstring(i).c_str());
    }
    for (const wchar_t* width : kLineWidths) AddEntry(dialog, IDC_SETTINGS_LINE_WIDTH, width);
    for (int size = kFirstTextSize; size <= kLastTextSize; ++size) {
        AddEntry(dialog, IDC_SETTINGS_TEXT_SIZE, AsWide(TextSizeEntry(size).c_str()));
    }
    for (const wchar_t* format : kPhotoFormats) AddEntry(dialog, IDC_SETTINGS_PHOTO_FORMAT, format);
    for (const wchar_t* language : kLanguages) AddEntry(dialog, IDC_SETTINGS_LANGUAGE, language);
}

void ShowChoices(HWND dialog, const SettingsChoices& c) {
    Select(dialog, IDC_SETTINGS_RULER_COLOUR, c.rulerColour);
    Select(dialog, IDC_SETTINGS_LINE_COLOUR, c.lineColour);
    Select(dialog, IDC_SETTINGS_TEXT_COLOUR, c.textColour);
    Select(dialog, IDC_SETTINGS_LINE_WIDTH, c.lineWidth);
    Select(dialog, IDC_SETTINGS_TEXT_SIZE, c.textSize);
    Select(dialog, IDC_SETTINGS_PHOTO_FORMAT, c.photoFormat);
    Select(dialog, IDC_SETTINGS_LANGUAGE, c.language);
}

SettingsChoices ReadChoices(HWND dialog) {
    SettingsChoices c = {};
    c.rulerColour = Selected(dialog, IDC_SETTINGS_RULER_COLOUR);
    c.lineColour = Selected(dialog, IDC_SETTINGS_LINE_COLOUR);
    c.textColour = Selected(dialog, IDC_SETTINGS_TEXT_COLOUR);
    c.lineWidth = Selected(dialog, IDC_SETTINGS_LINE_WIDTH);
    c.textSize = Selected(dialog, IDC_SETTINGS_TEXT_SIZE);
    c.photoFormat = Selected(dialog, IDC_SETTINGS_PHOTO_FORMAT);
    c.language = Selected(dialog, IDC_SETTINGS_LANGUAGE);
    return c;
}

void OnInitDialog(HWND dialog) {
    LocalizeDialog(dialog, "setting",
                   {{IDC_SETTINGS_MEASURE_GROUP, "measure"},
                    {IDC_SETTINGS_RULER_LABEL, "ruler color"},
                    {IDC_SETTINGS_LINE_LABEL, "line color"},
                    {IDC_SETTINGS_WIDTH_LABEL, "line width"},
                    {IDC_SETTINGS_TEXT_LABEL, "text color"},
                    {IDC_SETTINGS_SIZE_LABEL, "text size"},
                    {IDC_SETTINGS_FILES_GROUP, "photo video"},
                    {IDC_SETTINGS_FOLDER_LABEL, "save path"},
                    {IDC_SETTINGS_FORMAT_LABEL, "jpg png"},
                    {IDC_SETTINGS_LANGUAGE_GROUP, "language"},
                    {IDOK, "ok"},
                    {IDCANCEL, "cancel"}});
    PlaceDialogBelowOwnerTop(dialog, GetWindow(dialog, GW_OWNER));
    FillLists(dialog);
    ShowChoices(dialog, ChoicesFromSettings(g_settings));
    SetDlgItemTextW(dialog, IDC_SETTINGS_FOLDER, AsWide(g_settings.imgDir));
}

// A swatch of the palette colour, framed in light grey.
BOOL OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.itemID >= static_cast<UINT>(kPaletteSize)) return FALSE;  // also no item (-1)
    HBRUSH swatch = CreateSolidBrush(kMeasurePalette[item.itemID]);
    FillRect(item.hDC, &item.rcItem, swatch);
    DeleteObject(swatch);
    FrameRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
    return TRUE;
}

// Only file-system folders; nothing is stored before OK.
void BrowseForFolder(HWND dialog) {
    BROWSEINFOW browse = {};
    browse.hwndOwner = dialog;
    browse.lpszTitle = GetWideText("save path");
    browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
    if (chosen == nullptr) return;
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) SetDlgItemTextW(dialog, IDC_SETTINGS_FOLDER, path);
    CoTaskMemFree(chosen);
}

void PostIfOpen(HWND window, int command) {
    // A null window would post to this thread's queue instead.
    if (window != nullptr) PostMessageW(window, WM_COMMAND, command, 0);
}

// Windows show their texts in the new language at once; dialogs when they next open.
void SwitchLanguage() {
    SelectLanguageTexts(g_settings.language);
    PostIfOpen(g_app.controlPanel, kCmdReloadTexts);
    PostIfOpen(g_app.measureToolbar, kCmdReloadTexts);
    PostIfOpen(g_app.cameraToolbar, kCmdReloadTexts);
    CameraView_SetPlaceholderTexts(GetWideText("no device"), GetWideText("input tip"));
    if (g_app.cameraView != nullptr) InvalidateRect(g_app.cameraView, nullptr, TRUE);
}

void OnOk(HWND dialog) {
    const bool newLanguage = ApplyChoices(ReadChoices(dialog), g_settings);
    wchar_t folder[kPathChars] = {};
    GetDlgItemTextW(dialog, IDC_SETTINGS_FOLDER, folder, kPathChars);
    CopyToField(AsUtf16(folder), g_settings.imgDir);
    if (newLanguage) SwitchLanguage();
    SaveSettings();
    PostIfOpen(g_app.mainWindow, kCmdOverlayStyleChanged);
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK SettingsDlg_Proc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog(dialog);
            return TRUE;
        case WM_DRAWITEM:
            return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    OnOk(dialog);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, IDCANCEL);
                    return TRUE;
                case IDC_SETTINGS_BROWSE:
                    BrowseForFolder(dialog);
                    return TRUE;
                case IDC_SETTINGS_ABOUT:
                    RunAboutDialog(dialog);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

INT_PTR RunSettingsDialog(HWND owner) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETTINGS), owner,
                           SettingsDlg_Proc, 0);
}
