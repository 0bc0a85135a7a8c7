// The open camera's capture graph: camera -> Sample Grabber -> Null Renderer, plus a still
// branch when the camera has a still pin. Main thread only.
#pragma once
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <string>

#include "capture/camera_properties.h"
#include "capture/format_map.h"

struct DeviceEntry;

// Notices to the camera view (wParam 0, lParam 0).
constexpr UINT WM_APP_GRAPH_EVENT = WM_APP + 1;
constexpr UINT WM_APP_DEVICE_OPENED = WM_APP + 2;
constexpr UINT WM_APP_DEVICE_CLOSED = WM_APP + 3;

struct CaptureGraph {
    ICaptureGraphBuilder2* builder;
    IGraphBuilder* graph;
    IMediaControl* control;
    IMediaEventEx* events;
    IBaseFilter* camera;
    IMoniker* moniker;
    IBaseFilter* grabberFilter;
    ISampleGrabber* grabber;
    IBaseFilter* renderer;
    IPin* cameraOut;
    IPin* grabberIn;
    IPin* grabberOut;
    IPin* rendererIn;
    IPin* stillPin;
    IBaseFilter* grabberFilter2;
    ISampleGrabber* grabber2;
    IBaseFilter* renderer2;
    IAMCameraControl* cameraControl;
    IAMVideoProcAmp* procAmp;
    FormatMap currentYuy2;
    FormatMap currentMjpg;
    int currentDeviceIndex = -1;  // position in the device list, -1 when nothing is open
    std::wstring deviceName;
    std::wstring devicePath;  // of the open device: the key of its remembered settings
};

extern CaptureGraph g_capture;
extern RequestedFormat g_requestedFormat;
extern CameraProperties g_cameraProperties;

// Fills the two maps from the camera's capabilities (640 x 480 and larger, plus the
// interpolated sizes of a 640 x 480 camera).
void Capture_ListFormats(IBaseFilter* filter, FormatMap& yuy2, FormatMap& mjpg);
void Capture_EnsureCurrentFormats();
void Capture_ChooseDefault();
bool Capture_SetCameraFormat(const RequestedFormat& request);
// Builds and runs the graph for the open device at the requested format. On failure nothing
// of the attempt is left: no graph, no ring, no format maps, no camera or moniker held.
bool Capture_BuildGraph();
// Stops and releases the graph, clears the open format and posts WM_APP_DEVICE_CLOSED. While
// it waits for a recording writer it dispatches messages; a close that arrives meanwhile
// returns at once, the one already running finishes the job.
void Capture_Close();
// A close is waiting for the writer (and dispatching messages).
bool Capture_Closing();
// Takes references to the entry's moniker and filter as the open device.
void Capture_SetOpenDevice(const DeviceEntry& entry);

inline bool Capture_IsOpen() { return g_capture.graph != nullptr; }
inline bool Capture_FramesFlowing() { return g_capture.grabber != nullptr; }

// Drains the graph's events (WM_APP_GRAPH_EVENT); no event is acted upon.
void Capture_DrainEvents();

// Camera property operations on the open device. Each is remembered for the camera and
// written back whenever it is opened again, before its first frame.
void Capture_SetProperty(PropertyIndex index, int32_t value);
// Exposure and white balance only.
void Capture_SetPropertyAuto(PropertyIndex index, bool on);
// Any property the camera offers auto for.
void Capture_SwitchPropertyAuto(PropertyIndex index, bool on);
void Capture_SetPowerLine(int choice);
// The seven picture controls.
void Capture_ResetProperties();
// Every property the camera reports, auto switched off.
void Capture_ResetAllProperties();
