// The Device section: which camera is open and at which resolution and format, a new
// resolution or format for it, the "Open microscope" dialog, and the buttons for the image
// folder and the settings.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "capture/capture_graph.h"
#include "capture/device_list.h"
#include "capture/open_device_dialog.h"
#include "measure/camera_view.h"
#include "panel/control_panel.h"
#include "panel/panel_section.h"
#include "panel/section_rules.h"
#include "pipeline/video_format.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"

namespace {

void AddEntry(HWND combo, const wchar_t* text) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}
void AddEntry(HWND combo, const std::u16string& text) {
    AddEntry(combo, reinterpret_cast<const wchar_t*>(text.c_str()));
}

void AddDeviceNames(HWND combo) {
    for (size_t i = 0; i < g_deviceList.size(); ++i)
        AddEntry(combo, g_deviceList[i].friendlyName.c_str());
}

// Also all there is to do when only the list of cameras changed.
void FillDeviceList(HWND hwnd) {
    HWND combo = GetDlgItem(hwnd, kIdDeviceList);
    const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    AddDeviceNames(combo);
    if (g_deviceList.empty()) {
        AddEntry(combo, GetWideText("click open"));
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
    } else {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    }
}

const FormatMap& OpenMap() {
    return MapOfSubtype(g_pipeline.format.subtype, g_capture.currentMjpg, g_capture.currentYuy2);
}

void ShowOpenDevice(HWND hwnd) {
    if (g_capture.currentMjpg.empty() && g_capture.currentYuy2.empty())
        Capture_EnsureCurrentFormats();
    HWND devices = GetDlgItem(hwnd, kIdDeviceList);
    HWND resolutions = GetDlgItem(hwnd, kIdResolutionList);
    HWND formats = GetDlgItem(hwnd, kIdFormatList);
    for (HWND combo : {devices, resolutions, formats}) SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    AddDeviceNames(devices);
    SendMessageW(devices, CB_SETCURSEL, static_cast<WPARAM>(g_capture.currentDeviceIndex), 0);

    for (const std::u16string& entry :
         FormatListEntries(g_capture.currentMjpg, g_capture.currentYuy2))
        AddEntry(formats, entry);
    SendMessageW(formats, CB_SETCURSEL,
                 FormatListSelection(g_pipeline.format.subtype, g_capture.currentMjpg), 0);

    for (const std::u16string& entry : ResolutionListEntries(OpenMap())) AddEntry(resolutions, entry);
    SendMessageW(resolutions, CB_SETCURSEL,
                 ResolutionListSelection(OpenMap(), CameraView_PictureWidth(),
                                         CameraView_PictureHeight()),
                 0);
}

void OnRefresh(HWND hwnd, WPARAM reason) {
    if (reason > kRefreshDeviceState) {
        FillDeviceList(hwnd);
    } else if (Capture_IsOpen()) {
        ShowOpenDevice(hwnd);
    } else {
        FillDeviceList(hwnd);
        SendDlgItemMessageW(hwnd, kIdResolutionList, CB_RESETCONTENT, 0, 0);
        SendDlgItemMessageW(hwnd, kIdFormatList, CB_RESETCONTENT, 0, 0);
    }
}

// Every open ends with the whole panel showing the new state.
void OpenAndRefresh(HWND hwnd, const RequestedFormat& format, bool showDialog) {
    OpenDeviceOrFormat(format, showDialog);
    PostMessageW(GetParent(hwnd), WM_APP_PANEL_REFRESH, kRefreshDeviceState, 0);
}

void OnDeviceListClosed(HWND hwnd) {
    RequestedFormat format = {kSubtypeNone, 0, 0, 0};
    if (Capture_IsOpen()) {
        format = {g_pipeline.format.subtype, CameraView_PictureWidth(), CameraView_PictureHeight(),
                  0};
    }
    OpenAndRefresh(hwnd, format, true);
}

void OnResolutionChosen(HWND hwnd) {
    const int selected =
        static_cast<int>(SendDlgItemMessageW(hwnd, kIdResolutionList, CB_GETCURSEL, 0, 0));
    const auto format = ResolutionChoice(OpenMap(), selected, CameraView_PictureWidth(),
                                         CameraView_PictureHeight());
    if (format) OpenAndRefresh(hwnd, *format, false);
}

// The size stays, even where the other format does not list it.
void OnFormatChosen(HWND hwnd) {
    const int selected =
        static_cast<int>(SendDlgItemMessageW(hwnd, kIdFormatList, CB_GETCURSEL, 0, 0));
    const auto subtype =
        SubtypeOfFormatChoice(selected, g_capture.currentMjpg, g_capture.currentYuy2);
    if (!subtype) return;
    OpenAndRefresh(hwnd,
                   {*subtype, CameraView_PictureWidth(), CameraView_PictureHeight(),
                    g_pipeline.format.interpolated},
                   false);
}

void SetButtonIcon(HWND hwnd, int id, int iconId) {
    const int size = GetSystemMetrics(SM_CXSMICON);
    HANDLE icon = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                             size, size, LR_SHARED);
    if (icon != nullptr)
        SendDlgItemMessageW(hwnd, id, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
}

LRESULT OnCreate(HWND hwnd) {
    SectionBase* record = Section_Attach(hwnd, kSectionDevice, kDeviceBodyUnits);
    if (record == nullptr) return -1;
    Section_CreateHeader(hwnd);
    const DWORD captionStyle = WS_CHILD | SS_RIGHT;
    const DWORD comboStyle = WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST;
    Section_CreateControl(hwnd, WC_STATICW, L"", captionStyle, kIdDeviceNameCaption);
    Section_CreateControl(hwnd, WC_COMBOBOXW, L"", comboStyle, kIdDeviceList);
    Section_CreateControl(hwnd, WC_STATICW, L"", captionStyle, kIdResolutionCaption);
    Section_CreateControl(hwnd, WC_COMBOBOXW, L"", comboStyle, kIdResolutionList);
    Section_CreateControl(hwnd, WC_STATICW, L"", captionStyle, kIdFormatCaption);
    Section_CreateControl(hwnd, WC_COMBOBOXW, L"", comboStyle, kIdFormatList);
    Section_CreateControl(hwnd, WC_BUTTONW, L"", WS_CHILD | BS_PUSHBUTTON, kIdImageFolderButton);
    Section_CreateControl(hwnd, WC_BUTTONW, L"", WS_CHILD | BS_PUSHBUTTON, kIdSettingsButton);
    SetButtonIcon(hwnd, kIdImageFolderButton, IDI_FOLDER);
    SetButtonIcon(hwnd, kIdSettingsButton, IDI_SETTINGS);
    return 0;
}

// In the body font the captions are drawn in; the dialog units alone do not know how wide
// the font the system substitutes for "Segoe UI" is.
int WidestCaption(HWND hwnd) {
    HDC dc = GetDC(hwnd);
    if (dc == nullptr) return 0;
    HGDIOBJ previous = SelectObject(dc, Panel_Metrics().bodyFont);
    int widest = 0;
    for (int id : {kIdDeviceNameCaption, kIdResolutionCaption, kIdFormatCaption}) {
        wchar_t text[64];
        const int length = GetDlgItemTextW(hwnd, id, text, 64);
        SIZE size = {};
        if (length > 0 && GetTextExtentPoint32W(dc, text, length, &size))
            widest = std::max(widest, static_cast<int>(size.cx));
    }
    SelectObject(dc, previous);
    ReleaseDC(hwnd, dc);
    return widest;
}

void OnSize(HWND hwnd, int width) {
    const auto rects = DeviceSectionLayout(width, Panel_Metrics().units, WidestCaption(hwnd));
    Section_ApplyLayout(hwnd, rects.data(), kDeviceControlCount);
}

void OnReloadTexts(HWND hwnd) {
    Section_SetHeaderText(hwnd, "device");
    Section_SetText(hwnd, kIdDeviceNameCaption, "name");
    Section_SetText(hwnd, kIdResolutionCaption, "resolution");
    Section_SetText(hwnd, kIdFormatCaption, "format");
    Section_SetText(hwnd, kIdImageFolderButton, "files");
    Section_SetText(hwnd, kIdSettingsButton, "setting");
    if (g_deviceList.empty()) FillDeviceList(hwnd);
    RECT client = {};
    if (GetClientRect(hwnd, &client) && client.right > 0) OnSize(hwnd, client.right);
}

void OnCommand(HWND hwnd, int id, int code) {
    switch (id) {
        case kCmdReloadTexts:
            OnReloadTexts(hwnd);
            break;
        case kIdDeviceList:
            if (code == CBN_CLOSEUP) OnDeviceListClosed(hwnd);
            break;
        case kIdResolutionList:
            if (code == CBN_SELCHANGE && Capture_IsOpen()) OnResolutionChosen(hwnd);
            break;
        case kIdFormatList:
            if (code == CBN_SELCHANGE && Capture_IsOpen()) OnFormatChosen(hwnd);
            break;
        case kIdImageFolderButton:
            PostMessageW(Section_MainWindow(hwnd), WM_COMMAND, kCmdOpenImageFolder, 0);
            break;
        case kIdSettingsButton:
            PostMessageW(Section_MainWindow(hwnd), WM_COMMAND, kCmdSettings, 0);
            break;
    }
}

}  // namespace

LRESULT CALLBACK DeviceSection_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static constexpr SectionHandlers kHandlers = {OnSize, OnRefresh, OnCommand};
    switch (msg) {
        case WM_CREATE:
            return OnCreate(hwnd);
    }
    return Section_Proc(hwnd, msg, wParam, lParam, kHandlers);
}
