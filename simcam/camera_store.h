// Where a simulated camera's configuration lives: one key per camera under
// HKEY_CURRENT_USER\Software\Tessaloom Simcam\Cameras\<NAME>, read by the filter DLL and
// written by the control tool (and by the filter when a property is set).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "simcam/camera_config.h"

extern const wchar_t kCamerasKeyPath[];

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// False when the camera has no key (or the key cannot be read).
bool LoadCameraConfig(const std::string& name, CameraConfig* config);
bool SaveCameraConfig(const std::string& name, const CameraConfig& config);
bool DeleteCameraConfig(const std::string& name);

// The part a running filter follows live: picture mode and property ranges and values.
bool LoadLiveState(const std::string& name, SimMode* mode, PropertyState props[kPropertyCount]);
bool SaveProperty(const std::string& name, int property, const PropertyState& state);

// Names of all cameras with a configuration, in registry order.
std::vector<std::string> ListCameraNames();
