// The Color section: a slider per camera property, automatic exposure and white balance,
// the power-line frequency and a reset to defaults. The panel never gives it room, but it
// is kept current like the other sections.
#include <windows.h>
#include <commctrl.h>

#include "capture/capture_graph.h"
#include "panel/control_panel.h"
#include "panel/panel_section.h"
#include "panel/section_rules.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"

namespace {

int LabelId(int row) { return kIdFirstPropertyLabel + row; }
int SliderId(int row) { return kIdFirstPropertySlider + row; }

// The auto check box of a row, or 0 for rows without one.
int AutoBoxOf(PropertyIndex index) {
    if (index == kPropExposure) return kIdAutoExposure;
    if (index == kPropWhiteBalance) return kIdAutoWhiteBalance;
    return 0;
}

void SetLabel(HWND hwnd, int row, const std::u16string& text) {
    SetDlgItemTextW(hwnd, LabelId(row), reinterpret_cast<const wchar_t*>(text.c_str()));
}

LRESULT OnCreate(HWND hwnd) {
    SectionBase* record = Section_Attach(hwnd, kSectionColor, kColorBodyUnits);
    if (record == nullptr) return -1;
    Section_CreateHeader(hwnd);
    for (int row = 0; row < kNamedPropertyCount; ++row) {
        Section_CreateControl(hwnd, WC_STATICW, L"", WS_CHILD, LabelId(row));
    }
    for (int row = 0; row < kNamedPropertyCount; ++row) {
        Section_CreateControl(hwnd, TRACKBAR_CLASSW, L"", WS_CHILD, SliderId(row));
    }
    const DWORD autoStyle = WS_CHILD | BS_AUTOCHECKBOX | BS_LEFTTEXT | BS_RIGHT;
    Section_CreateControl(hwnd, WC_BUTTONW, L"", autoStyle, kIdAutoExposure);
    Section_CreateControl(hwnd, WC_BUTTONW, L"", autoStyle, kIdAutoWhiteBalance);
    Section_CreateControl(hwnd, WC_STATICW, L"", WS_CHILD, kIdFrequencyCaption);
    Section_CreateControl(hwnd, WC_COMBOBOXW, L"", WS_CHILD | WS_VSCROLL | CBS_DROPDOWNLIST,
                          kIdFrequencyList);
    Section_CreateControl(hwnd, WC_BUTTONW, L"", WS_CHILD | BS_PUSHBUTTON, kIdPropertyDefaults);
    return 0;
}

void OnSize(HWND hwnd, int width) {
    const auto rects = ColorSectionLayout(width, Panel_Metrics().units);
    Section_ApplyLayout(hwnd, rects.data(), kColorControlCount);
}

void ShowRow(HWND hwnd, int row) {
    const PropertyName& name = kPropertyNames[row];
    const CameraProperty& record = g_cameraProperties[name.index];
    const PropertyRow shown = PropertyRowOf(record);
    HWND slider = GetDlgItem(hwnd, SliderId(row));
    if (shown.available) {
        SetLabel(hwnd, row, PropertyLabel(GetText(name.key), record.value));
        SendMessageW(slider, TBM_SETRANGEMIN, FALSE, 0);
        SendMessageW(slider, TBM_SETRANGEMAX, FALSE, shown.span);
        SendMessageW(slider, TBM_SETPOS, TRUE, shown.position);
    } else {
        SetLabel(hwnd, row, GetText(name.key));
    }
    EnableWindow(GetDlgItem(hwnd, LabelId(row)), shown.available);
    EnableWindow(slider, shown.available);
    if (const int box = AutoBoxOf(name.index)) {
        EnableWindow(GetDlgItem(hwnd, box), record.autoCapable != 0);
    }
}

void FillFrequencyList(HWND hwnd) {
    HWND list = GetDlgItem(hwnd, kIdFrequencyList);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    const FrequencyChoices choices = PowerLineChoices(g_cameraProperties[kPropPowerLine]);
    for (int32_t hertz : choices.hertz) {
        SendMessageW(list, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(FrequencyLabel(hertz).c_str()));
    }
    if (choices.hertz.empty()) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"N/A"));
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(choices.selected), 0);
}

void Refresh(HWND hwnd) {
    const CameraProperty& powerLine = g_cameraProperties[kPropPowerLine];
    EnableWindow(GetDlgItem(hwnd, kIdFrequencyList), powerLine.min > 0 || powerLine.max > 0);
    EnableWindow(GetDlgItem(hwnd, kIdPropertyDefaults), Capture_IsOpen());
    CheckDlgButton(hwnd, kIdAutoExposure, g_cameraProperties[kPropExposure].autoOn ? 1 : 0);
    CheckDlgButton(hwnd, kIdAutoWhiteBalance,
                   g_cameraProperties[kPropWhiteBalance].autoOn ? 1 : 0);
    for (int row = 0; row < kNamedPropertyCount; ++row) ShowRow(hwnd, row);
    FillFrequencyList(hwnd);
}

void OnRefresh(HWND hwnd, WPARAM reason) {
    if (reason == kRefreshZoom || reason == kRefreshDeviceState) Refresh(hwnd);
}

void OnReloadTexts(HWND hwnd) {
    Section_SetHeaderText(hwnd, "color");
    Section_SetText(hwnd, kIdAutoExposure, "auto");
    Section_SetText(hwnd, kIdAutoWhiteBalance, "auto");
    Section_SetText(hwnd, kIdFrequencyCaption, "frequence");
    Section_SetText(hwnd, kIdPropertyDefaults, "default");
    Refresh(hwnd);
}

void OnSlider(HWND hwnd, HWND slider, int code, int thumb) {
    const int row = GetDlgCtrlID(slider) - kIdFirstPropertySlider;
    if (row < 0 || row >= kNamedPropertyCount) return;
    const PropertyName& name = kPropertyNames[row];
    const CameraProperty& record = g_cameraProperties[name.index];
    const int current = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
    const int32_t value = PropertyValueAt(record, SliderPosition(code, thumb, current));
    if (value == record.value) return;
    SetLabel(hwnd, row, PropertyLabel(GetText(name.key), value));
    Capture_SetProperty(name.index, value);
}

void OnAutoClicked(HWND hwnd, PropertyIndex index, int box) {
    const bool on = IsDlgButtonChecked(hwnd, box) == BST_CHECKED;
    Capture_SetPropertyAuto(index, on);
    const int row = index == kPropExposure ? 0 : 1;  // the first two rows
    EnableWindow(GetDlgItem(hwnd, SliderId(row)), !on);
}

void OnCommand(HWND hwnd, int id, int code) {
    switch (id) {
        case kCmdReloadTexts:
            OnReloadTexts(hwnd);
            break;
        case kIdAutoExposure:
            OnAutoClicked(hwnd, kPropExposure, id);
            break;
        case kIdAutoWhiteBalance:
            OnAutoClicked(hwnd, kPropWhiteBalance, id);
            break;
        case kIdFrequencyList:
            if (code == CBN_SELCHANGE) {
                Capture_SetPowerLine(static_cast<int>(
                    SendDlgItemMessageW(hwnd, kIdFrequencyList, CB_GETCURSEL, 0, 0)));
            }
            break;
        case kIdPropertyDefaults:
            Capture_ResetProperties();
            Refresh(hwnd);
            break;
    }
}

}  // namespace

LRESULT CALLBACK ColorSection_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static constexpr SectionHandlers kHandlers = {OnSize, OnRefresh, OnCommand};
    switch (msg) {
        case WM_CREATE:
            return OnCreate(hwnd);
        case WM_HSCROLL:
            OnSlider(hwnd, reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
            return 0;
    }
    return Section_Proc(hwnd, msg, wParam, lParam, kHandlers);
}
