// Opening a microscope: the "Open microscope" dialog, or a new format for the open camera.
#pragma once
#include "capture/format_map.h"

// With `showDialog`, runs the modal "Open microscope" dialog owned by the main window,
// preselecting the open camera, the first format it offers (MJPG when it has it) and
// `format`'s size (a zero size means the open or the remembered one); the camera chosen there
// is opened and its format remembered in the settings. Without it, reopens the open camera
// with `format`, or does nothing when no camera is open.
void OpenDeviceOrFormat(const RequestedFormat& format, bool showDialog);
// The device list was enumerated again: the dialog, while it shows, lists the cameras anew.
void OpenDevice_DeviceListChanged();
