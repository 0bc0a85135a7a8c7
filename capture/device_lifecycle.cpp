#include "capture/device_lifecycle.h"

#include <dbt.h>

#include <cstddef>
#include <cstring>
#include <utility>

#include "capture/capture_graph.h"
#include "capture/device_list.h"
#include "pipeline/video_format.h"

namespace {

struct DeferredOpen {
    bool pending = false;
    int index = -1;
    RequestedFormat format = {};
};

struct PostedMessage {
    HWND window;
    UINT msg;
};

struct LifecycleState {
    HWND view = nullptr;
    HWND main = nullptr;
    LifecycleHooks hooks;
    HDEVNOTIFY notification = nullptr;
    int depth = 0;  // opens and closes running, the outer one included
    bool openNewestDeferred = false;
    bool checkRemovalDeferred = false;
    bool shutdownDeferred = false;
    bool shutDown = false;  // the view is gone: nothing is opened any more
    DeferredOpen openEntryDeferred;
    std::vector<PostedMessage> postWhenIdle;
};
LifecycleState g_lifecycle;

void ShutDownNow() {
    LifecycleBusyScope busy;
    g_lifecycle.shutDown = true;
    g_lifecycle.shutdownDeferred = false;
    g_lifecycle.openNewestDeferred = g_lifecycle.checkRemovalDeferred = false;
    g_lifecycle.openEntryDeferred = DeferredOpen();
    g_deviceList.Clear();
    Capture_Close();
    Pipeline_Shutdown();
}

// {65E8773D-8F56-11D0-A3B9-00A0C9223196}
const GUID kCaptureInterfaceClass = {
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

using RegisterDeviceNotificationFn = HDEVNOTIFY(WINAPI*)(HANDLE, LPVOID, DWORD);

void Call(void (*hook)()) {
    if (hook != nullptr) hook();
}

void RefreshView() {
    PostMessageW(g_lifecycle.view, WM_SIZE, 0, 0);
    InvalidateRect(g_lifecycle.view, nullptr, TRUE);
}

void EnumerateAndTell() {
    g_deviceList.Enumerate();
    PostMessageW(g_lifecycle.main, WM_APP_DEVICE_LIST_CHANGED, 0, 0);
}

// The requested size as the open camera offers it, or 0 x 0 to let the default decide.
void MatchRequestToCamera() {
    const FormatMap& map =
        g_capture.currentMjpg.empty() ? g_capture.currentYuy2 : g_capture.currentMjpg;
    for (const auto& item : map) {
        const FormatEntry& e = item.second;
        if (e.width == g_requestedFormat.width && e.height == g_requestedFormat.height) {
            g_requestedFormat = {e.subtype, e.width, e.height, e.interpolated};
            return;
        }
    }
    g_requestedFormat.width = 0;
    g_requestedFormat.height = 0;
}

}  // namespace

void Lifecycle_Init(HWND viewWindow, HWND mainWindow, const LifecycleHooks& hooks) {
    // Messages still waiting for an earlier view's lifecycle keep their places.
    std::vector<PostedMessage> waiting = std::move(g_lifecycle.postWhenIdle);
    g_lifecycle = LifecycleState();
    g_lifecycle.view = viewWindow;
    g_lifecycle.main = mainWindow;
    g_lifecycle.hooks = hooks;
    g_lifecycle.postWhenIdle = std::move(waiting);
}

HWND Lifecycle_MainWindow() { return g_lifecycle.main; }

LifecycleBusyScope::LifecycleBusyScope() { ++g_lifecycle.depth; }

LifecycleBusyScope::~LifecycleBusyScope() {
    if (--g_lifecycle.depth == 0) Lifecycle_RunDeferred();
}

bool Lifecycle_Busy() { return g_lifecycle.depth > 0 || Capture_Closing(); }

void Lifecycle_PostWhenIdle(HWND window, UINT msg) {
    if (!Lifecycle_Busy()) {
        PostMessageW(window, msg, 0, 0);
        return;
    }
    g_lifecycle.postWhenIdle.push_back({window, msg});
}

void Lifecycle_RunDeferred() {
    if (Lifecycle_Busy()) return;
    LifecycleState& l = g_lifecycle;
    if (l.shutdownDeferred) ShutDownNow();  // runs this again when it ends
    if (!l.shutDown) {
        // Posted, so each runs as a message of its own after whatever is queued already.
        if (l.checkRemovalDeferred) PostMessageW(l.view, WM_COMMAND, kCmdCheckRemoval, 0);
        if (l.openNewestDeferred) PostMessageW(l.view, WM_COMMAND, kCmdOpenNewest, 0);
        l.checkRemovalDeferred = l.openNewestDeferred = false;
        if (l.openEntryDeferred.pending) {
            const DeferredOpen open = l.openEntryDeferred;
            l.openEntryDeferred = DeferredOpen();
            Lifecycle_OpenEntry(open.index, open.format);
        }
    }
    if (Lifecycle_Busy()) return;
    std::vector<PostedMessage> posts = std::move(l.postWhenIdle);
    l.postWhenIdle.clear();
    for (const PostedMessage& m : posts) PostMessageW(m.window, m.msg, 0, 0);
}

void Lifecycle_Shutdown() {
    if (Lifecycle_Busy()) {
        g_lifecycle.shutdownDeferred = true;
        return;
    }
    ShutDownNow();
}

void Lifecycle_RegisterForDeviceNotifications(HWND viewWindow) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) return;
    auto registerFn = reinterpret_cast<RegisterDeviceNotificationFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "RegisterDeviceNotificationW")));
    if (registerFn == nullptr) return;
    DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
    filter.dbcc_size = 32;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kCaptureInterfaceClass;
    g_lifecycle.notification = registerFn(viewWindow, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

DeviceChange Lifecycle_ClassifyDeviceChange(WPARAM wParam, LPARAM lParam) {
    if (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE) return DeviceChange::None;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE ||
        header->dbch_size < offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) {
        return DeviceChange::None;
    }
    const auto* iface = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
    if (std::memcmp(&iface->dbcc_classguid, &kCaptureInterfaceClass, sizeof(GUID)) != 0) {
        return DeviceChange::None;
    }
    return wParam == DBT_DEVICEARRIVAL ? DeviceChange::Arrival : DeviceChange::Removal;
}

void Lifecycle_OpenNewest() {
    if (g_lifecycle.shutDown) return;
    if (Lifecycle_Busy()) {
        g_lifecycle.openNewestDeferred = true;
        return;
    }
    LifecycleBusyScope busy;
    EnumerateAndTell();
    if (Capture_FramesFlowing()) return;  // a running camera is never replaced by itself
    if (g_deviceList.empty()) return;
    DeviceEntry& entry = g_deviceList[g_deviceList.size() - 1];
    BindDeviceFilter(entry);
    if (entry.moniker == nullptr || entry.filter == nullptr) return;

    Call(g_lifecycle.hooks.resetDrawingState);
    Capture_Close();
    if (g_lifecycle.shutdownDeferred) return;  // the view went away while the close waited
    Capture_SetOpenDevice(entry);
    Capture_EnsureCurrentFormats();
    MatchRequestToCamera();
    Capture_BuildGraph();
    Call(g_lifecycle.hooks.setUpForFormat);
    RefreshView();
}

void Lifecycle_CheckRemoval() {
    if (g_lifecycle.shutDown) return;
    if (Lifecycle_Busy()) {
        g_lifecycle.checkRemovalDeferred = true;
        return;
    }
    LifecycleBusyScope busy;
    EnumerateAndTell();
    if (!Capture_FramesFlowing()) return;
    if (!g_deviceList.empty() && g_deviceList.FindDevice(g_capture.moniker) >= 0) return;
    Capture_Close();
    Call(g_lifecycle.hooks.resetDrawingState);
    RefreshView();
}

void Lifecycle_OpenEntry(int index, const RequestedFormat& format) {
    if (g_lifecycle.shutDown) return;
    if (Lifecycle_Busy()) {
        g_lifecycle.openEntryDeferred = {true, index, format};  // the latest choice wins
        return;
    }
    LifecycleBusyScope busy;
    if (index < 0 || static_cast<size_t>(index) >= g_deviceList.size()) return;
    DeviceEntry& entry = g_deviceList[static_cast<size_t>(index)];
    Call(g_lifecycle.hooks.resetDrawingState);
    Capture_Close();
    if (g_lifecycle.shutdownDeferred) return;
    g_requestedFormat = format;
    if (!BindDeviceFilter(entry)) return;
    Capture_SetOpenDevice(entry);
    Capture_BuildGraph();
    Call(g_lifecycle.hooks.setUpForFormat);
    Capture_EnsureCurrentFormats();
}
