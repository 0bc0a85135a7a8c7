// The Files section: the latest photos and videos by name, a preview of the selected one,
// and opening a file with the program the shell associates with it.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/window_classes.h"
#include "panel/control_panel.h"
#include "panel/image_viewer.h"
#include "panel/panel_section.h"
#include "panel/section_rules.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"

namespace {

constexpr COLORREF kItemBackground = 0xFAFFFF;
constexpr COLORREF kSelectedItemBackground = 0xDCDC91;
constexpr COLORREF kItemText = 0x000000;
constexpr int kItemTextInset = 3;
constexpr int kRowFontPoints = 12;
constexpr int kRowPadding = 6;
constexpr LPARAM kPreviewZoomPercent = 25;
constexpr DWORD kListStyle = WS_CHILD | WS_BORDER | WS_VSCROLL | LBS_NOTIFY |
                             LBS_OWNERDRAWFIXED | LBS_NODATA | LBS_NOINTEGRALHEIGHT;

// Rows are as high as a 12-point line, whatever the list's own font.
int RowHeight() {
    static const int height = [] {
        HFONT rowFont = Panel_CreateFont(kRowFontPoints);  // kept for the process, like the others
        return Panel_TextHeight(rowFont) + kRowPadding;
    }();
    return height;
}

bool OpensForReading(const std::u16string& path) {
    HANDLE file = CreateFileW(AsWide(path.c_str()), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The list as the settings brought it, less the files that are gone, sorted. It stays the
// one list the savers append to.
void LoadLatestFiles(HWND list) {
    std::vector<std::u16string> kept;
    for (const std::u16string& path : LatestFiles()) {
        if (OpensForReading(path)) kept.push_back(path);
    }
    SortLatestFiles(kept);
    ReplaceLatestFiles(std::move(kept));
    SendMessageW(list, LB_SETCOUNT, LatestFiles().size(), 0);
}

// The selected entry's path, or an empty text when nothing valid is selected.
std::u16string SelectedPath(HWND hwnd) {
    const LRESULT index = SendDlgItemMessageW(hwnd, kIdFileList, LB_GETCURSEL, 0, 0);
    if (index < 0 || static_cast<size_t>(index) >= LatestFiles().size()) return std::u16string();
    return LatestFiles()[static_cast<size_t>(index)];
}

void OpenWithItsProgram(HWND hwnd, const std::u16string& path) {
    if (path.empty()) return;
    ShellExecuteW(hwnd, L"open", AsWide(path.c_str()), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowInPreview(HWND hwnd, const std::u16string& path) {
    SendDlgItemMessageW(hwnd, kIdFilePreview, WM_COMMAND, kViewerCmdLoad,
                        reinterpret_cast<LPARAM>(AsWide(path.c_str())));
}

LRESULT OnCreate(HWND hwnd, const CREATESTRUCTW* create) {
    const int panelWidth = static_cast<int>(reinterpret_cast<INT_PTR>(create->lpCreateParams));
    SectionBase* record = Section_Attach(hwnd, kSectionFiles, kFilesBodyUnits);
    if (record == nullptr) return -1;
    record->expandedHeight =
        FilesExpandedHeight(Panel_Metrics().units, FilesInitialWidth(panelWidth));
    Section_CreateHeader(hwnd);
    HWND list = Section_CreateControl(hwnd, WC_LISTBOXW, L"", kListStyle, kIdFileList);
    HWND preview = Section_CreateControl(hwnd, kImageWindowClass, L"", WS_CHILD, kIdFilePreview);
    SendMessageW(preview, WM_COMMAND, kViewerCmdZoom, kPreviewZoomPercent);
    LoadLatestFiles(list);
    return 0;
}

void OnSize(HWND hwnd, int width) {
    const DialogUnits& units = Panel_Metrics().units;
    Section_RecordOf(hwnd)->expandedHeight = FilesExpandedHeight(units, width);
    const auto rects = FilesSectionLayout(width, units);
    Section_ApplyLayout(hwnd, rects.data(), kFilesControlCount);
}

void OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (item.CtlID != static_cast<UINT>(kIdFileList)) return;
    if (item.itemID >= LatestFiles().size()) return;  // also the -1 of an empty list
    const std::u16string_view name = DisplayedFileName(LatestFiles()[item.itemID]);
    HGDIOBJ oldFont = SelectObject(item.hDC, Panel_Metrics().bodyFont);
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    SetBkColor(item.hDC, selected ? kSelectedItemBackground : kItemBackground);
    SetTextColor(item.hDC, kItemText);
    ExtTextOutW(item.hDC, item.rcItem.left + kItemTextInset, item.rcItem.top + kItemTextInset,
                ETO_OPAQUE | ETO_CLIPPED, &item.rcItem, AsWide(name.data()),
                static_cast<UINT>(name.size()), nullptr);
    SelectObject(item.hDC, oldFont);
}

void OnListNotice(HWND hwnd, int code) {
    if (code != LBN_SELCHANGE && code != LBN_DBLCLK) return;
    const std::u16string path = SelectedPath(hwnd);
    if (code == LBN_DBLCLK) OpenWithItsProgram(hwnd, path);
    ShowInPreview(hwnd, path);
}

// The saver has appended the file already; the list box only follows the list's length, so
// the selection and the preview stay on what the user was looking at.
void OnFileAdded(HWND hwnd) {
    SendDlgItemMessageW(hwnd, kIdFileList, LB_SETCOUNT, LatestFiles().size(), 0);
}

// Nothing here depends on the device or the zoom.
void OnRefresh(HWND, WPARAM) {}

void OnCommand(HWND hwnd, int id, int code) {
    if (id == kCmdReloadTexts) {
        Section_SetHeaderText(hwnd, "files");
    } else if (id == kIdFileList) {
        OnListNotice(hwnd, code);
    }
}

}  // namespace

LRESULT CALLBACK FilesSection_Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static constexpr SectionHandlers kHandlers = {OnSize, OnRefresh, OnCommand};
    switch (msg) {
        case WM_CREATE:
            return OnCreate(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lParam));
        case WM_MEASUREITEM:
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = RowHeight();
            return TRUE;
        case WM_DRAWITEM:
            OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_APP_FILE_ADDED:
            OnFileAdded(hwnd);
            return 0;
        case WM_APP_IMAGE_CLICK:
            if (wParam != 0) OpenWithItsProgram(hwnd, SelectedPath(hwnd));
            return 0;
    }
    return Section_Proc(hwnd, msg, wParam, lParam, kHandlers);
}
