#include "panel/control_panel.h"

#include <array>
#include <new>

#include "app/window_classes.h"
#include "panel/image_viewer.h"
#include "panel/panel_section.h"
#include "resources/resource_ids.h"

namespace {

constexpr DWORD kSectionStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

struct PanelRecord {
    HWND window;
    std::array<SectionSlot, kSectionCount> slots;
    std::array<HWND, kSectionCount> sections;
    int count;
    int contentHeight;
    int scrollPosition;
};

PanelRecord* PanelOf(HWND hwnd) {
    return reinterpret_cast<PanelRecord*>(GetWindowLongPtrW(hwnd, 0));
}

int ClientHeight(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    return client.bottom;
}

void QueryHeights(PanelRecord& panel) {
    for (int i = 0; i < panel.count; ++i) {
        const LRESULT heights = SendMessageW(panel.sections[i], WM_APP_SECTION_HEIGHTS, 0, 0);
        panel.slots[i].collapsedHeight = LOWORD(heights);
        panel.slots[i].expandedHeight = HIWORD(heights);
    }
}

void SetScrollPosition(HWND hwnd, int position) {
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    si.nPos = position;
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
}

// After any change of a height or a flag; the layout follows once the queue is through.
void UpdateScrollRange(PanelRecord& panel) {
    panel.contentHeight = ContentHeight(panel.slots, Panel_Metrics().units.Y(kPanelMarginUnits));
    const PanelScrollBar bar =
        PanelScrollFor(panel.contentHeight, ClientHeight(panel.window), panel.scrollPosition);
    panel.scrollPosition = bar.position;
    if (bar.shown) {
        ShowScrollBar(panel.window, SB_VERT, TRUE);
        SCROLLINFO si = {};
        si.cbSize = sizeof si;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 0;
        si.nMax = bar.maximum;
        si.nPage = static_cast<UINT>(bar.page);
        si.nPos = bar.position;
        SetScrollInfo(panel.window, SB_VERT, &si, TRUE);
    } else {
        SetScrollPosition(panel.window, 0);
        ShowScrollBar(panel.window, SB_VERT, FALSE);
    }
    PostMessageW(panel.window, WM_COMMAND, kPanelCmdLayout, 0);
}

HWND CreateSection(HWND panel, const wchar_t* className, int id, LPVOID param) {
    return CreateWindowExW(0, className, nullptr, kSectionStyle, 0, 0, 0, 0, panel,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(panel, GWLP_HINSTANCE)),
                           param);
}

LRESULT OnCreate(HWND hwnd, const CREATESTRUCTW* create) {
    Panel_Metrics();
    auto* panel = new (std::nothrow) PanelRecord();
    if (panel == nullptr) return -1;
    panel->window = hwnd;
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(panel));

    struct SectionClass {
        const wchar_t* name;
        int id;
    };
    const SectionClass classes[kSectionCount] = {{kPanelDeviceClass, kIdDeviceSection},
                                                 {kPanelPreviewClass, kIdPreviewSection},
                                                 {kPanelColorClass, kIdColorSection},
                                                 {kPanelFilesClass, kIdFilesSection}};
    for (const SectionClass& section : classes) {
        // Only the Files section sizes itself from the panel's width.
        LPVOID param = section.id == kIdFilesSection ? create->lpCreateParams : nullptr;
        HWND window = CreateSection(hwnd, section.name, section.id, param);
        if (window != nullptr) panel->sections[panel->count++] = window;
    }
    QueryHeights(*panel);
    // The headers toggle themselves open and tell their sections, which tell the panel.
    for (int i = 0; i < panel->count; ++i) {
        if (i == kSectionColor) continue;
        PostMessageW(GetDlgItem(panel->sections[i], kIdSectionHeader), WM_APP_SECTION_TOGGLE, 0,
                     0);
    }
    panel->slots[kSectionColor].suppressed = true;
    return 0;
}

void OnSize(PanelRecord& panel, int width, int height) {
    if (width == 0 || height == 0) return;
    QueryHeights(panel);
    UpdateScrollRange(panel);
}

void OnLayout(const PanelRecord& panel) {
    if (panel.count == 0) return;
    RECT client;
    GetClientRect(panel.window, &client);
    const auto placed =
        PlaceSections(panel.slots, client.right, Panel_Metrics().units, panel.scrollPosition);
    HDWP batch = BeginDeferWindowPos(panel.count);
    for (int i = 0; i < panel.count && batch != nullptr; ++i) {
        const ControlRect& r = placed[i];
        batch = DeferWindowPos(batch, panel.sections[i], nullptr, r.x, r.y, r.width, r.height,
                               SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch != nullptr) EndDeferWindowPos(batch);
}

void OnScroll(PanelRecord& panel, int code, int thumb) {
    const int maxPosition = panel.contentHeight - ClientHeight(panel.window);
    if (maxPosition <= 0) return;
    const int target = PanelScrollTarget(code, thumb, panel.scrollPosition,
                                         Panel_Metrics().lineStep, maxPosition);
    if (target == panel.scrollPosition) return;
    panel.scrollPosition = target;
    SetScrollPosition(panel.window, target);
    PostMessageW(panel.window, WM_COMMAND, kPanelCmdLayout, 0);
}

void OnRefresh(PanelRecord& panel, WPARAM reason) {
    for (int i = 0; i < panel.count; ++i)
        SendMessageW(panel.sections[i], WM_APP_PANEL_REFRESH, reason, 0);
    panel.slots[kSectionColor].suppressed = true;
    UpdateScrollRange(panel);
}

void OnSectionToggled(PanelRecord& panel, WPARAM order, LPARAM expanded) {
    if (order >= static_cast<WPARAM>(kSectionCount)) return;
    panel.slots[order].expanded = expanded != 0;
    UpdateScrollRange(panel);
}

void OnCommand(PanelRecord& panel, int id) {
    if (id == kPanelCmdLayout) {
        OnLayout(panel);
    } else if (id == kCmdReloadTexts) {
        for (int i = 0; i < panel.count; ++i)
            PostMessageW(panel.sections[i], WM_COMMAND, kCmdReloadTexts, 0);
    }
}

void OnDestroy(HWND hwnd, PanelRecord* panel) {
    SetWindowLongPtrW(hwnd, 0, 0);
    delete panel;
}

LRESULT CALLBACK CtrlPanel_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CREATE) return OnCreate(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
    PanelRecord* panel = PanelOf(hwnd);
    if (panel == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
        case WM_SIZE:
            OnSize(*panel, LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_COMMAND:
            OnCommand(*panel, LOWORD(wParam));
            return 0;
        case WM_VSCROLL:
            OnScroll(*panel, LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_MOUSEWHEEL:
            OnScroll(*panel, WheelScrollCode(GET_WHEEL_DELTA_WPARAM(wParam)), 0);
            return 0;
        case WM_APP_PANEL_REFRESH:
            OnRefresh(*panel, wParam);
            return 0;
        case WM_APP_SECTION_TOGGLE:
            OnSectionToggled(*panel, wParam, lParam);
            return 0;
        case WM_APP_FILE_ADDED:
            if (panel->count > kSectionFiles)
                PostMessageW(panel->sections[kSectionFiles], WM_APP_FILE_ADDED, wParam, lParam);
            return 0;
        case WM_DESTROY:
            OnDestroy(hwnd, panel);
            return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

struct PanelClass {
    const wchar_t* name;
    UINT style;
    WNDPROC proc;
    HBRUSH background;
};

}  // namespace

bool Panel_RegisterClasses(HINSTANCE instance) {
    HBRUSH background = Panel_Metrics().background;
    const PanelClass classes[] = {
        {kControlPanelClass, 0, CtrlPanel_Proc, background},
        {kPanelHeaderClass, CS_HREDRAW, SectionHeader_Proc, nullptr},
        {kPanelDeviceClass, CS_HREDRAW, DeviceSection_Proc, background},
        {kPanelPreviewClass, CS_HREDRAW, PreviewSection_Proc, background},
        {kPanelColorClass, CS_HREDRAW, ColorSection_Proc, background},
        {kPanelFilesClass, CS_HREDRAW, FilesSection_Proc, background},
        {kImageWindowClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, ImageWnd_Proc, nullptr},
    };
    bool all = true;
    for (const PanelClass& c : classes) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = c.style;
        wc.lpfnWndProc = c.proc;
        wc.cbWndExtra = sizeof(LONG_PTR);  // each window keeps its record's pointer
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = c.background;
        wc.lpszClassName = c.name;
        all = (RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) && all;
    }
    return all;
}
