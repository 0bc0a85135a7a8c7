// The Preview section: the display ratio of the live picture and the six switches of the
// preview (two flips and four filters, at most one filter on).
#include <windows.h>
#include <commctrl.h>

#include "capture/capture_graph.h"
#include "measure/camera_view.h"
#include "measure/view_geometry.h"
#include "panel/control_panel.h"
#include "panel/panel_section.h"
#include "panel/section_rules.h"
#include "pipeline/video_format.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"

namespace {

constexpr COLORREF kSwitchOnBackground = 0xF7B43B;
constexpr COLORREF kSwitchOffBackground = 0x332622;
constexpr int kActualSize = 100;
constexpr int kSwitchTextChars = 63;
constexpr const char* kSwitchKeys[kPreviewSwitchCount] = {"flip horz", "flip vert", "gray",
                                                          "binary",    "invert",    "emboss"};
constexpr int kLastPreviewSwitch = kIdFirstPreviewSwitch + kPreviewSwitchCount - 1;

int SwitchId(int which) { return kIdFirstPreviewSwitch + which; }

HWND CameraViewOf(HWND section) { return GetDlgItem(Section_MainWindow(section), kIdCameraView); }

void SetViewZoom(HWND section, int percent) {
    if (HWND view = CameraViewOf(section)) SendMessageW(view, WM_COMMAND, kViewCmdSetZoom, percent);
}

void ShowRatio(HWND section, int percent) {
    SetDlgItemTextW(section, kIdRatioLabel,
                    reinterpret_cast<const wchar_t*>(RatioLabel(percent).c_str()));
    CheckDlgButton(section, kIdRatioActualSize,
                   percent == kActualSize ? BST_CHECKED : BST_UNCHECKED);
}

void ShowZoom(HWND section, int percent) {
    ShowRatio(section, percent);
    SendDlgItemMessageW(section, kIdRatioSlider, TBM_SETPOS, TRUE, percent);
}

LRESULT OnCreate(HWND hwnd) {
    SectionBase* record = Section_Attach(hwnd, kSectionPreview, kPreviewBodyUnits);
    if (record == nullptr) return -1;
    Section_CreateHeader(hwnd);
    Section_CreateControl(hwnd, WC_STATICW, L"Ratio", WS_CHILD, kIdRatioLabel);
    HWND slider = Section_CreateControl(hwnd, TRACKBAR_CLASSW, L"", WS_CHILD, kIdRatioSlider);
    SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(kMinZoomPercent, kMaxZoomPercent));
    SendMessageW(slider, TBM_SETPOS, TRUE, kActualSize);
    Section_CreateControl(hwnd, WC_BUTTONW, L"100%",
                          WS_CHILD | BS_AUTOCHECKBOX | BS_LEFTTEXT | BS_RIGHT, kIdRatioActualSize);
    for (int which = 0; which < kPreviewSwitchCount; ++which) {
        Section_CreateControl(hwnd, WC_BUTTONW, L"", WS_CHILD | BS_OWNERDRAW, SwitchId(which));
    }
    return 0;
}

void OnSize(HWND hwnd, int width) {
    const auto rects = PreviewSectionLayout(width, Panel_Metrics().units);
    Section_ApplyLayout(hwnd, rects.data(), kPreviewControlCount);
}

void OnReloadTexts(HWND hwnd) {
    Section_SetHeaderText(hwnd, "preview");
    for (int which = 0; which < kPreviewSwitchCount; ++which)
        Section_SetText(hwnd, SwitchId(which), kSwitchKeys[which]);
}

void OnRefresh(HWND hwnd, WPARAM reasonCode) {
    const int reason = static_cast<int>(reasonCode);
    if (!Capture_IsOpen()) {
        ShowZoom(hwnd, kActualSize);
        Section_EnableControls(hwnd, kIdRatioSlider, kLastPreviewSwitch, false);
    }
    if (reason <= static_cast<int>(kRefreshZoom)) {
        ShowZoom(hwnd, CameraView_ZoomPercent());
    } else if (reason == static_cast<int>(kRefreshDeviceState) && Capture_IsOpen()) {
        Section_EnableControls(hwnd, kIdRatioSlider, kLastPreviewSwitch, true);
        ShowZoom(hwnd, CameraView_ZoomPercent());
        for (int which = 0; which < kPreviewSwitchCount; ++which) {
            const bool on = SwitchOn(g_pipeline.preview, static_cast<PreviewSwitch>(which));
            CheckDlgButton(hwnd, SwitchId(which), on ? BST_CHECKED : BST_UNCHECKED);
        }
    }
}

void OnSlider(HWND hwnd, HWND slider, int code, int thumb) {
    if (GetDlgCtrlID(slider) != kIdRatioSlider) return;
    const int current = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
    const int percent = SliderPosition(code, thumb, current);
    if (percent == CameraView_ZoomPercent()) return;
    // Dropping the tool first: it would set the view back to 100 % after the new ratio.
    SendMessageW(Section_MainWindow(hwnd), WM_COMMAND, kCmdToolNone, 0);
    SetViewZoom(hwnd, percent);
    ShowRatio(hwnd, percent);
}

void OnActualSizeClicked(HWND hwnd) {
    if (IsDlgButtonChecked(hwnd, kIdRatioActualSize) != BST_CHECKED) return;
    SetViewZoom(hwnd, kActualSize);
    ShowZoom(hwnd, kActualSize);
}

void OnSwitchClicked(HWND hwnd, int which) {
    const unsigned redraw = ToggleSwitch(g_pipeline.preview, static_cast<PreviewSwitch>(which));
    for (int other = 0; other < kPreviewSwitchCount; ++other) {
        if (redraw & (1u << other)) InvalidateRect(GetDlgItem(hwnd, SwitchId(other)), nullptr, FALSE);
    }
    if (which == kSwitchFlipVertical) CameraView_FlipVertically();
}

void OnCommand(HWND hwnd, int id, int) {
    if (id == kCmdReloadTexts) {
        OnReloadTexts(hwnd);
    } else if (id == kIdRatioActualSize) {
        OnActualSizeClicked(hwnd);
    } else if (id >= kIdFirstPreviewSwitch && id <= kLastPreviewSwitch) {
        OnSwitchClicked(hwnd, id - kIdFirstPreviewSwitch);
    }
}

// Switches are filled edge to edge in their colour; focus and pressed states look the same.
void OnDrawItem(const DRAWITEMSTRUCT& item) {
    const int which = static_cast<int>(item.CtlID) - kIdFirstPreviewSwitch;
    if (which < 0 || which >= kPreviewSwitchCount) return;
    wchar_t text[kSwitchTextChars + 1];
    lstrcpynW(text, GetWideText(kSwitchKeys[which]), kSwitchTextChars + 1);
    const int length = lstrlenW(text);
    HGDIOBJ oldFont = SelectObject(item.hDC, Panel_Metrics().bodyFont);
    SIZE extent = {};
    GetTextExtentPoint32W(item.hDC, text, length, &extent);
    const bool on = SwitchOn(g_pipeline.preview, static_cast<PreviewSwitch>(which));
    SetBkColor(item.hDC, on ? kSwitchOnBackground : kSwitchOffBackground);
    SetTextColor(item.hDC, kPanelText);
    const RECT& r = item.rcItem;
    ExtTextOutW(item.hDC, r.left + (r.right - r.left - extent.cx) / 2,
                r.top + (r.bottom - r.top - extent.cy) / 2, ETO_OPAQUE | ETO_CLIPPED, &r, text,
                static_cast<UINT>(length), nullptr);
    SelectObject(item.hDC, oldFont);
}

}  // namespace

LRESULT CALLBACK PreviewSection_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static constexpr SectionHandlers kHandlers = {OnSize, OnRefresh, OnCommand};
    switch (msg) {
        case WM_CREATE:
            return OnCreate(hwnd);
        case WM_HSCROLL:
            OnSlider(hwnd, reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DRAWITEM:
            OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
    }
    return Section_Proc(hwnd, msg, wParam, lParam, kHandlers);
}
