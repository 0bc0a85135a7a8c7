#include "panel/panel_section.h"

#include <new>

#include "app/window_classes.h"
#include "panel/control_panel.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"

namespace {

constexpr COLORREF kHeaderBackground = 0x423434;
constexpr COLORREF kHeaderHoverText = 0xFF0000;
constexpr int kHeaderTextLeft = 5;
constexpr int kHeaderTextChars = 64;
constexpr int kHeaderFontPoints = 12;
constexpr int kBodyFontPoints = 10;
constexpr int kPanelFontWeight = 300;

struct HeaderRecord {
    HWND window;
    bool hover;
    bool expanded;
};

PanelMetrics ComputeMetrics() {
    PanelMetrics m = {};
    const LONG base = GetDialogBaseUnits();
    m.units = {LOWORD(base), HIWORD(base)};
    m.headerFont = Panel_CreateFont(kHeaderFontPoints);
    m.bodyFont = Panel_CreateFont(kBodyFontPoints);
    m.lineStep = Panel_TextHeight(m.bodyFont);
    m.background = CreateSolidBrush(kPanelBackground);
    return m;
}

HeaderRecord* HeaderOf(HWND hwnd) {
    return reinterpret_cast<HeaderRecord*>(GetWindowLongPtrW(hwnd, 0));
}

void DrawChevron(HDC dc, const RECT& client, bool expanded) {
    const int r = client.right, b = client.bottom;
    HGDIOBJ old = SelectObject(dc, GetStockObject(WHITE_PEN));
    if (expanded) {  // pointing up
        const int y = (b - 6) / 2;
        MoveToEx(dc, r - 25, y + 5, nullptr);
        LineTo(dc, r - 20, y);
        LineTo(dc, r - 14, y + 6);
    } else {
        const int y = (b + 8) / 2;
        MoveToEx(dc, r - 25, y - 5, nullptr);
        LineTo(dc, r - 20, y);
        LineTo(dc, r - 14, y - 6);
    }
    SelectObject(dc, old);
}

void DrawHeader(HWND hwnd, HDC dc, const HeaderRecord& header) {
    wchar_t text[kHeaderTextChars + 1] = {};
    const int length = GetWindowTextW(hwnd, text, kHeaderTextChars + 1);
    RECT client;
    GetClientRect(hwnd, &client);
    HGDIOBJ oldFont = SelectObject(dc, Panel_Metrics().headerFont);
    SIZE extent = {};
    GetTextExtentPoint32W(dc, text, length, &extent);
    SetBkColor(dc, kHeaderBackground);
    SetTextColor(dc, header.hover ? kHeaderHoverText : kPanelText);
    ExtTextOutW(dc, kHeaderTextLeft, (client.bottom - extent.cy) / 2, ETO_OPAQUE | ETO_CLIPPED,
                &client, text, static_cast<UINT>(length), nullptr);
    SelectObject(dc, oldFont);
    DrawChevron(dc, client, header.expanded);
}

void RedrawHeaderNow(HWND hwnd, const HeaderRecord& header) {
    HDC dc = GetDC(hwnd);
    DrawHeader(hwnd, dc, header);
    ReleaseDC(hwnd, dc);
}

LRESULT OnHeaderCreate(HWND hwnd) {
    auto* header = new (std::nothrow) HeaderRecord{hwnd, false, false};
    if (header == nullptr) return -1;
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(header));
    return 0;
}

void OnHeaderPaint(HWND hwnd, const HeaderRecord& header) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    DrawHeader(hwnd, dc, header);
    EndPaint(hwnd, &ps);
}

void SetHover(HWND hwnd, HeaderRecord& header, bool hover) {
    header.hover = hover;
    RedrawHeaderNow(hwnd, header);
}

// The header holds the mouse while it hovers, so it sees the pointer leave.
void OnHeaderMouseMove(HWND hwnd, HeaderRecord& header, POINT point) {
    if (!header.hover) {
        SetCapture(hwnd);
        SetHover(hwnd, header, true);
        return;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    if (PtInRect(&client, point)) return;
    SetHover(hwnd, header, false);  // before the release, whose notice would clear it too
    ReleaseCapture();
}

void ToggleHeader(HWND hwnd, HeaderRecord& header) {
    header.expanded = !header.expanded;
    InvalidateRect(hwnd, nullptr, FALSE);
    PostMessageW(GetParent(hwnd), WM_APP_SECTION_TOGGLE, header.expanded ? 1 : 0, 0);
}

void OnHeaderButtonDown(HWND hwnd, HeaderRecord& header, POINT point) {
    RECT client;
    GetClientRect(hwnd, &client);
    if (PtInRect(&client, point)) ToggleHeader(hwnd, header);
}

void ShowSectionControls(HWND section, bool show) {
    for (HWND child = GetWindow(section, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) != kIdSectionHeader) ShowWindow(child, show ? SW_SHOW : SW_HIDE);
    }
}

LRESULT ControlColours(HDC dc) {
    SetTextColor(dc, kPanelText);
    SetBkColor(dc, kPanelControlBackground);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(Panel_Metrics().background);
}

}  // namespace

HFONT Panel_CreateFont(int points) {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontW(height, 0, 0, 0, kPanelFontWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       L"Segoe UI");
}

int Panel_TextHeight(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent = {};
    GetTextExtentExPointW(dc, L"ZH", 2, 0, nullptr, nullptr, &extent);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return extent.cy;
}

const PanelMetrics& Panel_Metrics() {
    static const PanelMetrics metrics = ComputeMetrics();
    return metrics;
}

HWND Section_CreateHeader(HWND section) {
    return CreateWindowExW(0, kPanelHeaderClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                           section, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdSectionHeader)),
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(section, GWLP_HINSTANCE)),
                           nullptr);
}

HWND Section_CreateControl(HWND section, const wchar_t* className, const wchar_t* text,
                           DWORD style, int id) {
    HWND control = CreateWindowExW(
        0, className, text, style & ~static_cast<DWORD>(WS_VISIBLE), 0, 0, 0, 0, section,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(section, GWLP_HINSTANCE)), nullptr);
    if (control != nullptr) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Panel_Metrics().bodyFont),
                     FALSE);
    }
    return control;
}

void Section_ApplyLayout(HWND section, const ControlRect* rects, int count) {
    HDWP batch = BeginDeferWindowPos(count);
    for (int i = 0; i < count && batch != nullptr; ++i) {
        HWND child = GetDlgItem(section, kIdSectionHeader + i);
        if (child == nullptr) continue;
        const ControlRect& r = rects[i];
        batch = DeferWindowPos(batch, child, nullptr, r.x, r.y, r.width, r.height,
                               SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch != nullptr) EndDeferWindowPos(batch);
}

void Section_SetText(HWND section, int id, const char* key) {
    SetDlgItemTextW(section, id, GetWideText(key));
}

void Section_SetHeaderText(HWND section, const char* key) {
    Section_SetText(section, kIdSectionHeader, key);
    InvalidateRect(GetDlgItem(section, kIdSectionHeader), nullptr, FALSE);
}

void Section_EnableControls(HWND section, int firstId, int lastId, bool enable) {
    for (int id = firstId; id <= lastId; ++id) EnableWindow(GetDlgItem(section, id), enable);
}

HWND Section_MainWindow(HWND section) { return GetParent(GetParent(section)); }

SectionBase* Section_Attach(HWND section, int order, int bodyUnits) {
    const DialogUnits& units = Panel_Metrics().units;
    auto* base = new (std::nothrow) SectionBase{section, order, SectionCollapsedHeight(units),
                                                SectionExpandedHeight(units, bodyUnits), false};
    if (base != nullptr) SetWindowLongPtrW(section, 0, reinterpret_cast<LONG_PTR>(base));
    return base;
}

SectionBase* Section_RecordOf(HWND section) {
    return reinterpret_cast<SectionBase*>(GetWindowLongPtrW(section, 0));
}

LRESULT Section_Proc(HWND section, UINT msg, WPARAM wParam, LPARAM lParam,
                     const SectionHandlers& handlers) {
    SectionBase* base = Section_RecordOf(section);
    if (base == nullptr) return DefWindowProcW(section, msg, wParam, lParam);
    switch (msg) {
        case WM_APP_SECTION_HEIGHTS:
            return MAKELONG(base->collapsedHeight, base->expandedHeight);
        case WM_APP_SECTION_TOGGLE:
            base->expanded = wParam != 0;
            ShowSectionControls(section, base->expanded);
            PostMessageW(GetParent(section), WM_APP_SECTION_TOGGLE,
                         static_cast<WPARAM>(base->order), base->expanded ? 1 : 0);
            return 0;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORMSGBOX:
            return ControlColours(reinterpret_cast<HDC>(wParam));
        case WM_SIZE:
            if (LOWORD(lParam) != 0 && HIWORD(lParam) != 0) handlers.layout(section, LOWORD(lParam));
            return 0;
        case WM_APP_PANEL_REFRESH:
            handlers.refresh(section, wParam);
            return 0;
        case WM_COMMAND:
            handlers.command(section, LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_DESTROY:
            SetWindowLongPtrW(section, 0, 0);
            delete base;
            return 0;
    }
    return DefWindowProcW(section, msg, wParam, lParam);
}

LRESULT CALLBACK SectionHeader_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return OnHeaderCreate(hwnd);
    HeaderRecord* header = HeaderOf(hwnd);
    if (header == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (msg) {
        case WM_PAINT:
            OnHeaderPaint(hwnd, *header);
            return 0;
        case WM_MOUSEMOVE:
            OnHeaderMouseMove(hwnd, *header, point);
            return 0;
        case WM_CAPTURECHANGED:
            // Another window took the mouse: the pointer may be anywhere now.
            if (header->hover) SetHover(hwnd, *header, false);
            return 0;
        case WM_LBUTTONDOWN:
            OnHeaderButtonDown(hwnd, *header, point);
            return 0;
        case WM_APP_SECTION_TOGGLE:
            ToggleHeader(hwnd, *header);
            return 0;
        case WM_DESTROY:
            SetWindowLongPtrW(hwnd, 0, 0);
            delete header;
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}
