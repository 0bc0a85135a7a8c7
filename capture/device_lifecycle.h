// When a camera is opened and closed: by itself after start-up and after an arrival, on
// removal of the open camera, and on the user's choice. Main thread only; the camera view
// calls these from its messages.
#pragma once
#include <windows.h>

#include <vector>

#include "capture/format_map.h"

// View commands of the lifecycle (WM_COMMAND ids posted to the view).
constexpr int kCmdCheckRemoval = 3;
constexpr int kCmdOpenNewest = 11;
constexpr UINT WM_APP_DEVICE_LIST_CHANGED = WM_APP + 1;  // to the main window

// What the view does around an open or a close.
struct LifecycleHooks {
    void (*resetDrawingState)() = nullptr;
    void (*setUpForFormat)() = nullptr;
};

void Lifecycle_Init(HWND viewWindow, HWND mainWindow, const LifecycleHooks& hooks);
// The window told of device-list changes, and the owner of the capture side's dialogs.
HWND Lifecycle_MainWindow();
void Lifecycle_RegisterForDeviceNotifications(HWND viewWindow);

enum class DeviceChange { None, Arrival, Removal };
// Only capture-interface arrivals and removals count.
DeviceChange Lifecycle_ClassifyDeviceChange(WPARAM wParam, LPARAM lParam);

// Opening and closing never nest. A close may wait for a recording writer while messages
// are dispatched; an open, a removal check or a shutdown that arrives meanwhile is deferred
// and carried out once the running one has finished, never dropped.
void Lifecycle_OpenNewest();
void Lifecycle_CheckRemoval();
void Lifecycle_OpenEntry(int index, const RequestedFormat& format);
// The view is going away: releases the device list, closes the graph and deletes the
// pipeline's locks, now or as soon as the running open or close has finished.
void Lifecycle_Shutdown();

// An open or close is running (it may be dispatching messages while it waits).
bool Lifecycle_Busy();
// Marks the lifecycle busy for as long as it lives: every open and close holds one, and so
// does other work that dispatches messages while the graph must stay as it is (the
// recorder's stop). The outermost one carries out what was deferred meanwhile as it ends.
class LifecycleBusyScope {
public:
    LifecycleBusyScope();
    ~LifecycleBusyScope();
    LifecycleBusyScope(const LifecycleBusyScope&) = delete;
    LifecycleBusyScope& operator=(const LifecycleBusyScope&) = delete;
};
// Posts `msg` (0, 0) to `window` now if the lifecycle is idle, else once it is.
void Lifecycle_PostWhenIdle(HWND window, UINT msg);
// Carries out what was deferred, if nothing runs any more. The view calls it when a close
// that did not start here has finished.
void Lifecycle_RunDeferred();
