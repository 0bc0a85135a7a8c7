// Plugging and unplugging a simulated camera: its COM class, its entry in the video-input
// device category, and the device-change notification a real camera's arrival or removal
// would cause.
#pragma once
#include <windows.h>

#include <string>

#include "simcam/camera_config.h"

// Each camera is its own COM class, so the class factory knows which camera to build.
CLSID CameraClsid(const std::string& name);
// The camera a class was registered for, or empty.
std::string CameraNameForClsid(REFCLSID clsid);

bool IsPlugged(const std::string& name);

// Saves the configuration, registers the class (served by `dllPath`) and the device, and
// notifies every window. Refuses a camera that is plugged already.
bool PlugCamera(const std::string& name, const CameraConfig& config, const std::wstring& dllPath,
                std::string* error);
// Removes the device, the class and the configuration, and notifies every window.
bool UnplugCamera(const std::string& name, std::string* error);

// Sends WM_DEVICECHANGE with a capture-device interface to every window of the desktop,
// children included (the program listens on a child window).
void SendDeviceChange(bool arrival, const std::string& instanceName);

// Kernel-object name of the camera's still-button trigger (a semaphore: one count per press).
std::wstring StillTriggerName(const std::string& name);

// The name DllRegisterServer plugs.
extern const char kDefaultCameraName[];
