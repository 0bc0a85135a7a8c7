#include "capture/open_device_dialog.h"

#include <windows.h>
#include <strsafe.h>

#include <string>
#include <vector>

#include "app/format_settings.h"
#include "capture/capture_graph.h"
#include "capture/device_lifecycle.h"
#include "capture/device_list.h"
#include "pipeline/video_format.h"
#include "resources/resource_ids.h"
#include "settings/dialog_setup.h"
#include "settings/settings_store.h"

namespace {

constexpr wchar_t kNoMicroscope[] = L"No microscope found.";

struct OpenDeviceState {
    int deviceIndex;
    int formatIndex;
    int resolutionIndex;
    RequestedFormat initial;  // its size is the resolution to preselect
    std::vector<std::wstring> shownPaths;  // the cameras list 3005 shows, in its order
};

// The dialog while it shows: one at a time, as it is modal.
HWND g_openDeviceDialog = nullptr;

OpenDeviceState* StateOf(HWND dialog) {
    return reinterpret_cast<OpenDeviceState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

DeviceEntry* SelectedDevice(const OpenDeviceState& state) {
    if (state.deviceIndex < 0 || static_cast<size_t>(state.deviceIndex) >= g_deviceList.size()) {
        return nullptr;
    }
    return &g_deviceList[static_cast<size_t>(state.deviceIndex)];
}

const FormatMap* ChosenMap(const OpenDeviceState& state) {
    const DeviceEntry* device = SelectedDevice(state);
    if (device == nullptr) return nullptr;
    return &MapOfFormatChoice(device->mjpgFormats, device->yuy2Formats, state.formatIndex);
}

// A zero size stands for what the camera shows now, or else what was opened last time.
void CompleteInitialFormat(RequestedFormat& initial) {
    if (initial.width != 0 && initial.height != 0) return;
    if (Capture_FramesFlowing()) {
        // The chosen size, which an interpolated stream does not run at.
        initial.subtype = g_pipeline.format.subtype;
        initial.width = g_requestedFormat.width;
        initial.height = g_requestedFormat.height;
    } else {
        initial = RequestedFormatFromSettings(g_settings);
    }
}

void ResetList(HWND dialog, int id, UINT resetMessage) {
    SendDlgItemMessageW(dialog, id, resetMessage, 0, 0);
}

void FillResolutions(HWND dialog, const OpenDeviceState& state) {
    ResetList(dialog, IDC_OPEN_RESOLUTION_LIST, CB_RESETCONTENT);
    const FormatMap* map = ChosenMap(state);
    if (map == nullptr) return;
    for (const auto& item : *map) {
        wchar_t label[32];
        StringCchPrintfW(label, 32, L"%dx%d", item.second.width, item.second.height);
        SendDlgItemMessageW(dialog, IDC_OPEN_RESOLUTION_LIST, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(label));
    }
    const int preselected =
        PreselectedResolution(*map, state.initial.width, state.initial.height);
    SendDlgItemMessageW(dialog, IDC_OPEN_RESOLUTION_LIST, CB_SETCURSEL, preselected, 0);
}

void FillFormats(HWND dialog, OpenDeviceState& state) {
    ResetList(dialog, IDC_OPEN_FORMAT_LIST, CB_RESETCONTENT);
    const DeviceEntry* device = SelectedDevice(state);
    if (device == nullptr) return;
    if (!device->mjpgFormats.empty()) {
        SendDlgItemMessageW(dialog, IDC_OPEN_FORMAT_LIST, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(L"MJPG"));
    }
    if (!device->yuy2Formats.empty()) {
        SendDlgItemMessageW(dialog, IDC_OPEN_FORMAT_LIST, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(L"YUY2"));
    }
    state.formatIndex = 0;
    SendDlgItemMessageW(dialog, IDC_OPEN_FORMAT_LIST, CB_SETCURSEL, state.formatIndex, 0);
}

void EnableChoices(HWND dialog, bool enable) {
    for (int id : {IDC_OPEN_FORMAT_LIST, IDC_OPEN_RESOLUTION_LIST, IDOK}) {
        EnableWindow(GetDlgItem(dialog, id), enable);
    }
}

std::vector<std::wstring> ListedPaths() {
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < g_deviceList.size(); ++i) paths.push_back(g_deviceList[i].devicePath);
    return paths;
}

// The format and resolution lists follow with FillFormats and FillResolutions.
void FillDevices(HWND dialog, OpenDeviceState& state) {
    ResetList(dialog, IDC_OPEN_DEVICE_LIST, LB_RESETCONTENT);
    state.shownPaths = ListedPaths();
    if (g_deviceList.empty()) {
        SendDlgItemMessageW(dialog, IDC_OPEN_DEVICE_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(kNoMicroscope));
        EnableChoices(dialog, false);
        return;
    }
    EnableChoices(dialog, true);
    for (size_t i = 0; i < g_deviceList.size(); ++i) {
        DeviceEntry& device = g_deviceList[i];
        // A camera that cannot be bound shows no formats; opening it then does nothing.
        if (BindDeviceFilter(device) && device.mjpgFormats.empty() && device.yuy2Formats.empty()) {
            Capture_ListFormats(device.filter, device.yuy2Formats, device.mjpgFormats);
        }
        SendDlgItemMessageW(dialog, IDC_OPEN_DEVICE_LIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(device.friendlyName.c_str()));
    }
    if (SelectedDevice(state) == nullptr) state.deviceIndex = 0;
    SendDlgItemMessageW(dialog, IDC_OPEN_DEVICE_LIST, LB_SETCURSEL, state.deviceIndex, 0);
}

int Selection(HWND dialog, int id, UINT getMessage) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, getMessage, 0, 0));
}

void FillAll(HWND dialog, OpenDeviceState& state) {
    FillDevices(dialog, state);
    FillFormats(dialog, state);
    FillResolutions(dialog, state);
}

// Cameras plugged or unplugged while the dialog shows move the device list's positions: the
// list is shown anew before any choice is read from it. The chosen camera stays chosen, with
// its format and resolution, while it is still there; false when it is not.
bool FollowDeviceList(HWND dialog, OpenDeviceState& state) {
    if (state.shownPaths == ListedPaths()) return true;
    const size_t shown = static_cast<size_t>(state.deviceIndex);
    const bool wasChosen = state.deviceIndex >= 0 && shown < state.shownPaths.size();
    state.deviceIndex = -1;
    for (size_t i = 0; wasChosen && i < g_deviceList.size(); ++i) {
        if (g_deviceList[i].devicePath == state.shownPaths[shown])
            state.deviceIndex = static_cast<int>(i);
    }
    if (state.deviceIndex < 0) {
        FillAll(dialog, state);
        return false;
    }
    FillDevices(dialog, state);
    return true;
}

void OnInitDialog(HWND dialog, OpenDeviceState* state) {
    g_openDeviceDialog = dialog;
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    LocalizeDialog(dialog, "open dev",
                   {{IDC_OPEN_DEVICE_LABEL, "select dev"},
                    {IDC_OPEN_RESOLUTION_LABEL, "resolution"},
                    {IDC_OPEN_FORMAT_LABEL, "format"},
                    {IDOK, "ok"},
                    {IDCANCEL, "cancel"}});
    PlaceDialogBelowOwnerTop(dialog, GetParent(dialog));
    CompleteInitialFormat(state->initial);
    FillAll(dialog, *state);
}

void OnDeviceChosen(HWND dialog, OpenDeviceState& state) {
    const int chosen = Selection(dialog, IDC_OPEN_DEVICE_LIST, LB_GETCURSEL);
    if (g_deviceList.empty() || chosen == state.deviceIndex) return;
    state.deviceIndex = chosen;
    FillFormats(dialog, state);
    FillResolutions(dialog, state);
}

void OnFormatChosen(HWND dialog, OpenDeviceState& state) {
    const int chosen = Selection(dialog, IDC_OPEN_FORMAT_LIST, CB_GETCURSEL);
    if (chosen == state.formatIndex) return;
    state.formatIndex = chosen;
    FillResolutions(dialog, state);
}

void OnOpen(HWND dialog, OpenDeviceState& state) {
    if (g_deviceList.empty()) return;  // only Cancel ends a dialog without cameras
    state.deviceIndex = Selection(dialog, IDC_OPEN_DEVICE_LIST, LB_GETCURSEL);
    state.formatIndex = Selection(dialog, IDC_OPEN_FORMAT_LIST, CB_GETCURSEL);
    state.resolutionIndex = Selection(dialog, IDC_OPEN_RESOLUTION_LIST, CB_GETCURSEL);
    const FormatMap* map = state.formatIndex >= 0 ? ChosenMap(state) : nullptr;
    const FormatEntry* entry = map != nullptr ? FormatAtPosition(*map, state.resolutionIndex)
                                              : nullptr;
    if (entry != nullptr) {
        const RequestedFormat format = {entry->subtype, entry->width, entry->height,
                                        entry->interpolated};
        Lifecycle_OpenEntry(state.deviceIndex, format);
        StoreRequestedFormat(format, g_settings);
        SaveSettings();
    }
    EndDialog(dialog, IDOK);
}

void OnCommand(HWND dialog, int id, int code) {
    OpenDeviceState* state = StateOf(dialog);
    if (state == nullptr) return;
    // A choice made in a list that no longer shows the device list is not carried out.
    if (id != IDCANCEL && !FollowDeviceList(dialog, *state)) return;
    switch (id) {
        case IDOK:
            OnOpen(dialog, *state);
            break;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            break;
        case IDC_OPEN_DEVICE_LIST:
            if (code == LBN_SELCHANGE) OnDeviceChosen(dialog, *state);
            break;
        case IDC_OPEN_FORMAT_LIST:
            if (code == CBN_SELCHANGE) OnFormatChosen(dialog, *state);
            break;
    }
}

INT_PTR CALLBACK OpenDeviceDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog(dialog, reinterpret_cast<OpenDeviceState*>(lParam));
            return TRUE;
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
    }
    return FALSE;
}

}  // namespace

void OpenDeviceOrFormat(const RequestedFormat& format, bool showDialog) {
    const int current = g_capture.currentDeviceIndex;
    if (!showDialog) {
        if (current >= 0 && static_cast<size_t>(current) < g_deviceList.size()) {
            Lifecycle_OpenEntry(current, format);
        }
        return;
    }
    OpenDeviceState state = {current, 0, 0, format, {}};
    DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OPEN_DEVICE),
                    Lifecycle_MainWindow(), OpenDeviceDlgProc, reinterpret_cast<LPARAM>(&state));
    g_openDeviceDialog = nullptr;
}

void OpenDevice_DeviceListChanged() {
    if (g_openDeviceDialog == nullptr) return;
    OpenDeviceState* state = StateOf(g_openDeviceDialog);
    if (state != nullptr) FollowDeviceList(g_openDeviceDialog, *state);
}
