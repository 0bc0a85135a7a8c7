// When a camera is opened and closed: by itself after start-up and after an arrival, on
// removal of the open camera, and on the user's choice. Main thread only; the camera view
// calls these from its messages.
#pragma once
#include <windows.h>

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
void Lifecycle_RegisterForDeviceNotifications(HWND viewWindow);

enum class DeviceChange { None, Arrival, Removal };
// Only capture-interface arrivals and removals count.
DeviceChange Lifecycle_ClassifyDeviceChange(WPARAM wParam, LPARAM lParam);

void Lifecycle_OpenNewest();
void Lifecycle_CheckRemoval();
void Lifecycle_OpenEntry(int index, const RequestedFormat& format);
