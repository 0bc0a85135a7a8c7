#include "measure/calibration_manager.h"

#include <commctrl.h>

#include <string>

#include "capture/capture_graph.h"
#include "measure/calibration_help.h"
#include "measure/calibration_texts.h"
#include "measure/camera_view.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/dialog_setup.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"

namespace {

constexpr int kColumnCount = 5;

struct Column {
    const char* key;
    int width;
    int format;
};
constexpr Column kColumns[kColumnCount] = {
    {"name col", 128, LVCFMT_LEFT},  {"value col", 88, LVCFMT_RIGHT},
    {"unit col", 78, LVCFMT_CENTER}, {"date col", 118, LVCFMT_LEFT},
    {"resolution col", 128, LVCFMT_LEFT},
};

// Where the manager comes back after a calibration; (-1, -1) when it opens centred again.
POINT g_rememberedPosition = {-1, -1};

struct ManagerState {
    HWND mainWindow;
    HWND list;
};

ManagerState* StateOf(HWND dialog) {
    return reinterpret_cast<ManagerState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

HWND ViewOf(const ManagerState& state) { return GetDlgItem(state.mainWindow, kIdCameraView); }

void InsertColumn(HWND list, int index, const wchar_t* text, int width, int format) {
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = format;
    column.cx = width;
    column.pszText = const_cast<wchar_t*>(text);
    SendMessageW(list, LVM_INSERTCOLUMNW, index, reinterpret_cast<LPARAM>(&column));
}

// The first column of a list view is always left-aligned: a stand-in takes its place while
// the real ones go in, then leaves, so Value and Unit keep their alignment.
void BuildColumns(HWND list) {
    InsertColumn(list, 0, L"TMP", 48, LVCFMT_CENTER);
    for (int i = 0; i < kColumnCount; ++i) {
        InsertColumn(list, i + 1, GetWideText(kColumns[i].key), kColumns[i].width,
                     kColumns[i].format);
    }
    SendMessageW(list, LVM_DELETECOLUMN, 0, 0);
}

void SetCell(HWND list, int row, int column, const std::u16string& text) {
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(text.c_str()));
    SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void RefreshRow(HWND list, int row) {
    const CalibrationRowCells cells = CalibrationRow(g_calibrations.slots[row]);
    SetCell(list, row, 0, cells.name);
    SetCell(list, row, 1, cells.value);
    SetCell(list, row, 2, cells.unit);
    SetCell(list, row, 3, cells.date);
    SetCell(list, row, 4, cells.resolution);
}

void BuildRows(HWND list) {
    for (int row = 0; row < kCalibrationSlots; ++row) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        item.lParam = row;
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        RefreshRow(list, row);
    }
}

// Any row outside the table (no active slot to select) selects nothing: row -1 would set the
// state of every row.
void SelectRow(HWND list, int row) {
    if (row < 0 || row >= kCalibrationSlots) return;
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    SendMessageW(list, LVM_ENSUREVISIBLE, row, FALSE);
}

// Where the user left the manager, or centred over the main window the first time.
void PlaceManager(HWND dialog, HWND mainWindow) {
    if (g_rememberedPosition.x == -1 && g_rememberedPosition.y == -1) {
        PlaceDialogBelowOwnerTop(dialog, mainWindow);
        RECT placed = {};
        GetWindowRect(dialog, &placed);
        g_rememberedPosition = {placed.left, placed.top};
        return;
    }
    SetWindowPos(dialog, nullptr, g_rememberedPosition.x, g_rememberedPosition.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ForgetPosition() { g_rememberedPosition = {-1, -1}; }

// The selected row, also remembered as the table's list selection; false without one.
bool SelectedSlot(const ManagerState& state, int* slot) {
    const int selected =
        static_cast<int>(SendMessageW(state.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                      LVNI_SELECTED));
    if (selected < 0) return false;
    g_calibrations.listSelection = selected;
    *slot = selected;
    return selected < kCalibrationSlots;
}

void SendCalibrationToView(const ManagerState& state, const CalibrationRecord& record) {
    CalibrationCommand command = {record.scale, record.unit};
    SendMessageW(ViewOf(state), WM_COMMAND, kViewCmdApplyCalibration,
                 reinterpret_cast<LPARAM>(&command));
}

void OnInitDialog(HWND dialog, ManagerState* state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    state->list = GetDlgItem(dialog, IDC_CALIB_LIST);
    LocalizeDialog(dialog, "calib man",
                   {{IDC_CALIB_RENAME, "rename"},
                    {IDC_CALIB_DELETE, "delete"},
                    {IDC_CALIB_CALIBRATE, "calibrate"},
                    {IDC_CALIB_APPLY, "apply"},
                    {IDC_CALIB_HELP, "howto"}});
    PlaceManager(dialog, state->mainWindow);
    BuildColumns(state->list);
    BuildRows(state->list);
    SendMessageW(state->list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    SelectRow(state->list, g_calibrations.listSelection);
    if (!Capture_FramesFlowing()) {
        EnableWindow(GetDlgItem(dialog, IDC_CALIB_APPLY), FALSE);
        EnableWindow(GetDlgItem(dialog, IDC_CALIB_CALIBRATE), FALSE);
    }
}

void OnRename(const ManagerState& state) {
    int slot = 0;
    if (!SelectedSlot(state, &slot)) return;
    SetFocus(state.list);
    SendMessageW(state.list, LVM_EDITLABELW, slot, 0);
}

void OnDelete(HWND dialog, const ManagerState& state) {
    int slot = 0;
    if (!SelectedSlot(state, &slot)) return;
    const std::u16string question = GetText("del data");
    const std::u16string caption = GetText("calibrate");
    if (MessageBoxW(dialog, reinterpret_cast<const wchar_t*>(question.c_str()),
                    reinterpret_cast<const wchar_t*>(caption.c_str()),
                    MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    g_calibrations.slots[slot] = kFreeCalibration;
    RefreshRow(state.list, slot);
    SaveSettings();
    // The applied calibration is gone: the view measures in pixels again.
    if (slot == g_calibrations.activeIndex) {
        SendCalibrationToView(state, g_calibrations.slots[slot]);
        PostMessageW(state.mainWindow, WM_COMMAND, kCmdAutoCrossline, 0);
    }
}

void OnCalibrate(HWND dialog, const ManagerState& state) {
    int slot = 0;
    if (!SelectedSlot(state, &slot)) return;
    RECT r = {};
    GetWindowRect(dialog, &r);
    g_rememberedPosition = {r.left, r.top};
    g_calibrations.editIndex = slot;
    EndDialog(dialog, IDC_CALIB_CALIBRATE);
}

void OnApply(HWND dialog, const ManagerState& state) {
    int slot = 0;
    if (!SelectedSlot(state, &slot)) return;
    g_calibrations.activeIndex = slot;
    SendCalibrationToView(state, g_calibrations.slots[slot]);
    SendMessageW(ViewOf(state), WM_COMMAND, kViewCmdSetZoom, 100);
    PostMessageW(state.mainWindow, WM_COMMAND, kCmdAutoCrossline, 0);
    g_calibrations.listSelection = g_calibrations.activeIndex;
    ForgetPosition();
    EndDialog(dialog, IDC_CALIB_APPLY);
}

void OnClose(HWND dialog) {
    g_calibrations.listSelection = g_calibrations.activeIndex;
    ForgetPosition();
    EndDialog(dialog, IDCANCEL);
}

void OnCommand(HWND dialog, int id) {
    const ManagerState* state = StateOf(dialog);
    if (state == nullptr) return;
    switch (id) {
        case IDC_CALIB_RENAME:
            OnRename(*state);
            break;
        case IDC_CALIB_DELETE:
            OnDelete(dialog, *state);
            break;
        case IDC_CALIB_CALIBRATE:
            OnCalibrate(dialog, *state);
            break;
        case IDC_CALIB_APPLY:
            OnApply(dialog, *state);
            break;
        case IDCANCEL:
            OnClose(dialog);
            break;
        case IDC_CALIB_HELP:
            CalibrationHelp_Run(dialog);
            break;
    }
}

// Typing ',' or ';' into a name does nothing: either would end the slot's stored entry.
LRESULT CALLBACK NameEditProc(HWND edit, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR) {
    if (msg == WM_CHAR && IsRefusedNameCharacter(static_cast<char16_t>(wParam))) {
        MessageBeep(MB_OK);
        return 0;
    }
    if (msg == WM_NCDESTROY) RemoveWindowSubclass(edit, NameEditProc, 0);
    return DefSubclassProc(edit, msg, wParam, lParam);
}

void OnBeginLabelEdit(const ManagerState& state) {
    HWND edit = reinterpret_cast<HWND>(SendMessageW(state.list, LVM_GETEDITCONTROL, 0, 0));
    if (edit == nullptr) return;
    SendMessageW(edit, EM_LIMITTEXT, kCalibrationNameMaxChars, 0);
    SetWindowSubclass(edit, NameEditProc, 0, 0);
}

void OnEndLabelEdit(const ManagerState& state, const NMLVDISPINFOW& info) {
    // No text: the edit was cancelled.
    if (info.item.pszText == nullptr) return;
    const int slot = info.item.iItem;
    if (slot < 0 || slot >= kCalibrationSlots) return;
    const std::u16string name =
        CalibrationNameFromEdit(reinterpret_cast<const char16_t*>(info.item.pszText));
    CopyToField(name, g_calibrations.slots[slot].name);
    RefreshRow(state.list, slot);
    SaveSettings();
}

void OnDoubleClick(HWND dialog, const NMITEMACTIVATE& activate) {
    g_calibrations.listSelection = activate.iItem;
    if (activate.iItem >= 0 && activate.iItem < kCalibrationSlots) {
        PostMessageW(dialog, WM_COMMAND, IDC_CALIB_RENAME, 0);
    }
}

void OnNotify(HWND dialog, const NMHDR& header) {
    const ManagerState* state = StateOf(dialog);
    if (state == nullptr || header.idFrom != IDC_CALIB_LIST) return;
    switch (header.code) {
        case NM_DBLCLK:
            OnDoubleClick(dialog, reinterpret_cast<const NMITEMACTIVATE&>(header));
            break;
        case LVN_BEGINLABELEDITW:
            OnBeginLabelEdit(*state);
            break;
        case LVN_ENDLABELEDITW:
            OnEndLabelEdit(*state, reinterpret_cast<const NMLVDISPINFOW&>(header));
            break;
    }
}

INT_PTR CALLBACK ManagerDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog(dialog, reinterpret_cast<ManagerState*>(lParam));
            return TRUE;
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam));
            return TRUE;
        case WM_NOTIFY:
            // Label edits are refused to the list itself: the row shows the stored name.
            OnNotify(dialog, *reinterpret_cast<const NMHDR*>(lParam));
            return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR CalibrationManager_Run(HWND mainWindow) {
    ManagerState state = {mainWindow, nullptr};
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CALIBRATION_MANAGER),
                           mainWindow, ManagerDlgProc, reinterpret_cast<LPARAM>(&state));
}
