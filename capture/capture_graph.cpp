#include "capture/capture_graph.h"

#include <uuids.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture/camera_memory.h"
#include "capture/device_list.h"
#include "pipeline/grabber_callback.h"
#include "pipeline/still_callback.h"
#include "pipeline/video_format.h"
#include "settings/settings_store.h"

// mingw's headers declare the grabber interfaces but not these two classes.
static const CLSID kClsidSampleGrabber = {
    0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
static const CLSID kClsidNullRenderer = {
    0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};

CaptureGraph g_capture = {};
RequestedFormat g_requestedFormat = {kSubtypeMjpg, 0, 0, 0};
CameraProperties g_cameraProperties;

namespace {

constexpr size_t kStreamCapsSize = 128;         // sizeof(VIDEO_STREAM_CONFIG_CAPS)
constexpr size_t kVideoInfoBitmapOffset = 48;   // bmiHeader in VIDEOINFOHEADER
constexpr size_t kVideoInfo2BitmapOffset = 72;  // bmiHeader in VIDEOINFOHEADER2

template <typename T>
void SafeRelease(T*& p) {
    if (p != nullptr) p->Release();
    p = nullptr;
}

MediaSubtype ToSubtype(const GUID& guid) {
    MediaSubtype s;
    std::memcpy(s.bytes, &guid, 16);
    return s;
}

void FreeMediaType(AM_MEDIA_TYPE* mt) {
    if (mt == nullptr) return;
    if (mt->cbFormat != 0 && mt->pbFormat != nullptr) CoTaskMemFree(mt->pbFormat);
    if (mt->pUnk != nullptr) mt->pUnk->Release();
    CoTaskMemFree(mt);
}

bool PinIsConnected(IPin* pin) {
    IPin* other = nullptr;
    const HRESULT hr = pin->ConnectedTo(&other);
    if (other != nullptr) other->Release();
    return hr != VFW_E_NOT_CONNECTED;
}

// The n-th pin of the direction (counting from 0), connected or not; or the first
// unconnected one when `unconnectedOnly`.
IPin* FindPin(IBaseFilter* filter, PIN_DIRECTION direction, bool unconnectedOnly, int skip = 0) {
    if (filter == nullptr) return nullptr;
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || pins == nullptr) return nullptr;
    IPin* found = nullptr;
    IPin* pin = nullptr;
    int seen = 0;
    while (found == nullptr && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        const bool match = SUCCEEDED(pin->QueryDirection(&d)) && d == direction;
        if (match && seen++ >= skip && (!unconnectedOnly || !PinIsConnected(pin))) {
            found = pin;
        } else {
            pin->Release();
        }
    }
    pins->Release();
    return found;
}

// Reads width and height of a capability's media type, if it is a video type we use.
bool ReadCapability(const AM_MEDIA_TYPE* mt, MediaSubtype* subtype, int32_t* width,
                    int32_t* height) {
    if (mt->majortype != MEDIATYPE_Video) return false;
    const MediaSubtype s = ToSubtype(mt->subtype);
    if (!SameSubtype(s, kSubtypeMjpg) && !SameSubtype(s, kSubtypeYuy2)) return false;
    size_t offset;
    if (mt->formattype == FORMAT_VideoInfo) {
        offset = kVideoInfoBitmapOffset;
    } else if (mt->formattype == FORMAT_VideoInfo2) {
        offset = kVideoInfo2BitmapOffset;
    } else {
        return false;
    }
    // A format block too short for its header is a broken driver's; never read past it.
    if (mt->pbFormat == nullptr || mt->cbFormat < offset + sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER header;
    std::memcpy(&header, mt->pbFormat + offset, sizeof header);
    *subtype = s;
    *width = header.biWidth;
    *height = header.biHeight;
    return true;
}

// Walks the camera's capabilities; `visit` returns true to stop.
template <typename Visit>
void ForEachCapability(IBaseFilter* filter, Visit visit) {
    IPin* pin = FindPin(filter, PINDIR_OUTPUT, false);
    if (pin == nullptr) return;
    IAMStreamConfig* config = nullptr;
    pin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config));
    pin->Release();
    if (config == nullptr) return;
    int count = 0, size = 0;
    if (SUCCEEDED(config->GetNumberOfCapabilities(&count, &size)) &&
        static_cast<size_t>(size) == kStreamCapsSize) {
        BYTE caps[kStreamCapsSize];
        for (int i = 0; i < count; ++i) {
            AM_MEDIA_TYPE* mt = nullptr;
            if (FAILED(config->GetStreamCaps(i, &mt, caps)) || mt == nullptr) break;
            MediaSubtype subtype;
            int32_t width = 0, height = 0;
            bool stop = false;
            if (ReadCapability(mt, &subtype, &width, &height)) {
                stop = visit(config, mt, subtype, width, height);
            }
            FreeMediaType(mt);
            if (stop) break;
        }
    }
    config->Release();
}

class ComPropertyBackend final : public PropertyBackend {
public:
    bool Has(PropertyInterface iface) override {
        return iface == PropertyInterface::CameraControl ? g_capture.cameraControl != nullptr
                                                         : g_capture.procAmp != nullptr;
    }
    bool GetRange(PropertyInterface iface, long property, int32_t* min, int32_t* max, int32_t* step,
                  int32_t* def, int32_t* flags) override {
        long v[5] = {*min, *max, *step, *def, *flags};
        HRESULT hr = E_NOINTERFACE;
        if (iface == PropertyInterface::CameraControl && g_capture.cameraControl != nullptr) {
            hr = g_capture.cameraControl->GetRange(property, &v[0], &v[1], &v[2], &v[3], &v[4]);
        } else if (iface == PropertyInterface::VideoProcAmp && g_capture.procAmp != nullptr) {
            hr = g_capture.procAmp->GetRange(property, &v[0], &v[1], &v[2], &v[3], &v[4]);
        }
        if (FAILED(hr)) return false;
        *min = v[0];
        *max = v[1];
        *step = v[2];
        *def = v[3];
        *flags = v[4];
        return true;
    }
    void Get(PropertyInterface iface, long property, int32_t* value, int32_t* flags) override {
        long v = *value, f = *flags;
        HRESULT hr = E_NOINTERFACE;
        if (iface == PropertyInterface::CameraControl && g_capture.cameraControl != nullptr) {
            hr = g_capture.cameraControl->Get(property, &v, &f);
        } else if (iface == PropertyInterface::VideoProcAmp && g_capture.procAmp != nullptr) {
            hr = g_capture.procAmp->Get(property, &v, &f);
        }
        if (FAILED(hr)) return;
        *value = v;
        *flags = f;
    }
    void Set(PropertyInterface iface, long property, long value, long flags) override {
        if (iface == PropertyInterface::CameraControl && g_capture.cameraControl != nullptr) {
            g_capture.cameraControl->Set(property, value, flags);
        } else if (iface == PropertyInterface::VideoProcAmp && g_capture.procAmp != nullptr) {
            g_capture.procAmp->Set(property, value, flags);
        }
    }
    void Debug(const std::string& line) override { OutputDebugStringA(line.c_str()); }
};

ComPropertyBackend g_propertyBackend;

void ReadCameraProperties() {
    SafeRelease(g_capture.cameraControl);
    SafeRelease(g_capture.procAmp);
    if (g_capture.camera != nullptr) {
        g_capture.camera->QueryInterface(IID_IAMCameraControl,
                                         reinterpret_cast<void**>(&g_capture.cameraControl));
        g_capture.camera->QueryInterface(IID_IAMVideoProcAmp,
                                         reinterpret_cast<void**>(&g_capture.procAmp));
    }
    g_cameraProperties.ReadAll(g_propertyBackend);
}

constexpr wchar_t kCameraMemoryValue[] = L"CameraSettings";

std::string OpenCameraKey() {
    const std::wstring& path = g_capture.devicePath;
    return CameraMemoryKey(
        std::u16string_view(reinterpret_cast<const char16_t*>(path.c_str()), path.size()));
}

// The stored text is ASCII; anything else cannot be ours and must not turn into a separator.
CameraMemory LoadCameraMemory() {
    std::string text;
    for (char16_t c : ReadMoreText(kCameraMemoryValue))
        text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return CameraMemory::FromText(text);
}

void SaveCameraMemory(const CameraMemory& memory) {
    const std::string text = memory.ToText();
    WriteMoreText(kCameraMemoryValue, std::u16string(text.begin(), text.end()));
}

// What the user set, as the records now hold it; `manual` for a value just set in manual
// mode, whatever auto state the record still shows.
void Remember(const std::vector<PropertyIndex>& indices, bool manual = false) {
    const std::string key = OpenCameraKey();
    if (key.empty()) return;
    CameraMemory memory = LoadCameraMemory();
    for (PropertyIndex index : indices) {
        if (!g_cameraProperties.Reported(index)) continue;
        const CameraProperty& p = g_cameraProperties[index];
        memory.Remember(key, {index, p.value, !manual && p.autoOn != 0});
    }
    SaveCameraMemory(memory);
}

// Every open passes here, after the properties are read and before the graph runs.
void RestoreRememberedSettings() {
    const std::string key = OpenCameraKey();
    if (key.empty()) return;
    CameraMemory memory = LoadCameraMemory();
    for (const RememberedSetting& s : memory.SettingsOf(key))
        g_cameraProperties.Restore(g_propertyBackend, s.index, s.value, s.autoOn);
    if (memory.Touch(key)) SaveCameraMemory(memory);
}

void ReleaseGraphObjects() {
    SafeRelease(g_capture.rendererIn);
    SafeRelease(g_capture.grabberOut);
    SafeRelease(g_capture.grabberIn);
    SafeRelease(g_capture.stillPin);
    SafeRelease(g_capture.cameraOut);
    SafeRelease(g_capture.grabber2);
    SafeRelease(g_capture.grabber);
    SafeRelease(g_capture.renderer2);
    SafeRelease(g_capture.renderer);
    SafeRelease(g_capture.grabberFilter2);
    SafeRelease(g_capture.grabberFilter);
    SafeRelease(g_capture.camera);
    SafeRelease(g_capture.events);
    SafeRelease(g_capture.control);
    SafeRelease(g_capture.graph);
    SafeRelease(g_capture.builder);
    SafeRelease(g_capture.moniker);
}

HRESULT CreateFilter(const CLSID& clsid, IBaseFilter** filter) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                            reinterpret_cast<void**>(filter));
}

void AddStillBranch() {
    CaptureGraph& g = g_capture;
    g.stillPin = FindPin(g.camera, PINDIR_OUTPUT, true, 1);
    if (g.stillPin == nullptr) {
        OutputDebugStringA("Device does not have still pin\r\n");
        return;
    }
    CreateFilter(kClsidSampleGrabber, &g.grabberFilter2);
    CreateFilter(kClsidNullRenderer, &g.renderer2);
    if (g.grabberFilter2 != nullptr) {
        g.graph->AddFilter(g.grabberFilter2, L"Sample Grabber2");
        g.grabberFilter2->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&g.grabber2));
    }
    if (g.renderer2 != nullptr) g.graph->AddFilter(g.renderer2, L"Null Filter2");
    if (g.builder != nullptr) {
        g.builder->RenderStream(&PIN_CATEGORY_STILL, &MEDIATYPE_Video, g.camera, g.grabberFilter2,
                                g.renderer2);
    }
    if (g.grabber2 != nullptr) {
        g.grabber2->SetOneShot(FALSE);
        g.grabber2->SetBufferSamples(TRUE);
        g.grabber2->SetCallback(&g_stillCallback, 1);
    }
    OutputDebugStringA("Device has still pin\r\n");
}

}  // namespace

void Capture_ListFormats(IBaseFilter* filter, FormatMap& yuy2, FormatMap& mjpg) {
    ForEachCapability(filter, [&](IAMStreamConfig*, AM_MEDIA_TYPE*, const MediaSubtype& subtype,
                                  int32_t width, int32_t height) {
        if (IsListableSize(static_cast<uint32_t>(width), static_cast<uint32_t>(height))) {
            FormatMap& map = SameSubtype(subtype, kSubtypeMjpg) ? mjpg : yuy2;
            InsertFormat(map, {subtype, width, height, 0});
        }
        return false;
    });
    AddInterpolatedEntries(mjpg, kSubtypeMjpg);
    AddInterpolatedEntries(yuy2, kSubtypeYuy2);
}

void Capture_EnsureCurrentFormats() {
    if (g_capture.currentYuy2.empty() && g_capture.currentMjpg.empty()) {
        Capture_ListFormats(g_capture.camera, g_capture.currentYuy2, g_capture.currentMjpg);
    }
}

void Capture_ChooseDefault() {
    ChooseDefaultFormat(g_capture.currentMjpg, g_capture.currentYuy2, &g_requestedFormat);
}

bool Capture_SetCameraFormat(const RequestedFormat& request) {
    bool found = false;
    ForEachCapability(g_capture.camera, [&](IAMStreamConfig* config, AM_MEDIA_TYPE* mt,
                                            const MediaSubtype& subtype, int32_t width,
                                            int32_t height) {
        if (!SameSubtype(subtype, request.subtype) || width != request.width ||
            height != request.height) {
            return false;
        }
        config->SetFormat(mt);
        Pipeline_SetOpenFormat(subtype, width, height, request.interpolated);
        found = true;
        return true;
    });
    return found;
}

void Capture_SetOpenDevice(const DeviceEntry& entry) {
    SafeRelease(g_capture.moniker);
    SafeRelease(g_capture.camera);
    g_capture.moniker = entry.moniker;
    if (g_capture.moniker != nullptr) g_capture.moniker->AddRef();
    g_capture.camera = entry.filter;
    if (g_capture.camera != nullptr) g_capture.camera->AddRef();
    g_capture.deviceName = entry.friendlyName;
    g_capture.devicePath = entry.devicePath;
}

namespace {

bool g_closing;

// A failed attempt leaves the device closed and clean, as if it had never been tried: the
// next open, perhaps of another camera, must not find this one's formats or references.
bool AbandonBuild() {
    ReleaseGraphObjects();
    SafeRelease(g_capture.camera);
    SafeRelease(g_capture.moniker);
    SafeRelease(g_capture.cameraControl);
    SafeRelease(g_capture.procAmp);
    g_capture.currentYuy2.clear();
    g_capture.currentMjpg.clear();
    g_capture.currentDeviceIndex = -1;
    Pipeline_Reset();
    return false;
}

}  // namespace

bool Capture_Closing() { return g_closing; }

bool Capture_BuildGraph() {
    CaptureGraph& g = g_capture;
    if (g.graph != nullptr || g.camera == nullptr || g_closing) return false;
    if (!SameSubtype(g_requestedFormat.subtype, kSubtypeYuy2) &&
        !SameSubtype(g_requestedFormat.subtype, kSubtypeMjpg)) {
        g_requestedFormat.subtype = kSubtypeMjpg;
    }
    if (g_requestedFormat.width == 0 || g_requestedFormat.height == 0) {
        Capture_EnsureCurrentFormats();
        Capture_ChooseDefault();
    }
    if (!Capture_SetCameraFormat(StreamRequest(g_requestedFormat))) {
        OutputDebugStringA("Camera_SetFormat FAILED, try again...\r\n");
        Capture_EnsureCurrentFormats();
        Capture_ChooseDefault();
        if (!Capture_SetCameraFormat(StreamRequest(g_requestedFormat))) {
            OutputDebugStringA("Camera_SetFormat FAILED.\r\n");
            return AbandonBuild();
        }
    }
    if (!Pipeline_AllocateRing()) return AbandonBuild();

    CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                     IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&g.builder));
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                     reinterpret_cast<void**>(&g.graph));
    if (g.graph == nullptr) return AbandonBuild();
    g.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&g.control));
    g.graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&g.events));
    if (g.builder != nullptr) g.builder->SetFiltergraph(g.graph);
    if (g.events != nullptr) {
        g.events->SetNotifyWindow(reinterpret_cast<OAHWND>(g_pipeline.format.viewWindow),
                                  WM_APP_GRAPH_EVENT, 0);
    }

    CreateFilter(kClsidSampleGrabber, &g.grabberFilter);
    CreateFilter(kClsidNullRenderer, &g.renderer);
    g.graph->AddFilter(g.camera, L"Camera Input");
    if (g.grabberFilter != nullptr) {
        g.graph->AddFilter(g.grabberFilter, L"Sample Grabber");
        g.grabberFilter->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&g.grabber));
    }
    if (g.renderer != nullptr) g.graph->AddFilter(g.renderer, L"Null Filter");

    g.cameraOut = FindPin(g.camera, PINDIR_OUTPUT, true);
    g.grabberIn = FindPin(g.grabberFilter, PINDIR_INPUT, true);
    g.grabberOut = FindPin(g.grabberFilter, PINDIR_OUTPUT, true);
    g.rendererIn = FindPin(g.renderer, PINDIR_INPUT, true);
    if (g.cameraOut != nullptr && g.grabberIn != nullptr) g.graph->Connect(g.cameraOut, g.grabberIn);
    if (g.grabberOut != nullptr && g.rendererIn != nullptr) {
        g.graph->Connect(g.grabberOut, g.rendererIn);
    }

    if (g.grabber != nullptr) {
        // One-shot would stop the stream after the first sample; the preview needs them all.
        g.grabber->SetOneShot(FALSE);
        g.grabber->SetBufferSamples(TRUE);
        g.grabber->SetCallback(&g_grabberCallback, 1);
    }
    ReadCameraProperties();
    RestoreRememberedSettings();

    Pipeline_CreateRecordEvents();

    const int index = g_deviceList.FindDevice(g.moniker);
    if (index >= 0) g.currentDeviceIndex = index;

    AddStillBranch();
    Pipeline_MarkGraphActive();
    if (g.control != nullptr) g.control->Run();

    PostMessageW(g_pipeline.format.viewWindow, WM_APP_DEVICE_OPENED, 0, 0);
    return true;
}

void Capture_Close() {
    CaptureGraph& g = g_capture;
    if (g.graph == nullptr || g_closing) return;
    g_closing = true;
    if (g.events != nullptr) g.events->SetNotifyWindow(0, WM_APP_GRAPH_EVENT, 0);
    // Stopping first guarantees no callback runs while the ring is freed below.
    if (g.control != nullptr) g.control->Stop();
    // A camera pulled out mid-recording: let the writer drain what is queued and close its
    // file before its events are closed under it. Messages are dispatched meanwhile.
    constexpr DWORD kWriterDrainLimitMs = 30000;
    Pipeline_FinishRecording(kWriterDrainLimitMs);
    ReleaseGraphObjects();

    g.currentYuy2.clear();
    g.currentMjpg.clear();
    SafeRelease(g.cameraControl);
    SafeRelease(g.procAmp);
    g_cameraProperties.ZeroForClose();

    Pipeline_Reset();
    g.currentDeviceIndex = -1;
    g_closing = false;
    PostMessageW(g_pipeline.format.viewWindow, WM_APP_DEVICE_CLOSED, 0, 0);
}

void Capture_DrainEvents() {
    if (g_capture.events == nullptr) return;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (SUCCEEDED(g_capture.events->GetEvent(&code, &p1, &p2, 0))) {
        g_capture.events->FreeEventParams(code, p1, p2);
    }
}

void Capture_SetProperty(PropertyIndex index, int32_t value) {
    g_cameraProperties.SetManual(g_propertyBackend, index, value);
    Remember({index}, true);
}

void Capture_SetPropertyAuto(PropertyIndex index, bool on) {
    g_cameraProperties.SetAuto(g_propertyBackend, index, on);
    Remember({index});
}

void Capture_SwitchPropertyAuto(PropertyIndex index, bool on) {
    g_cameraProperties.SwitchAuto(g_propertyBackend, index, on);
    Remember({index});
}

void Capture_SetPowerLine(int choice) {
    g_cameraProperties.SetPowerLine(g_propertyBackend, choice);
    Remember({kPropPowerLine}, true);
}

void Capture_ResetProperties() {
    g_cameraProperties.ResetToDefaults(g_propertyBackend);
    Remember({kPropGain, kPropBrightness, kPropContrast, kPropHue, kPropSaturation, kPropSharpness,
              kPropGamma},
             true);
}

void Capture_ResetAllProperties() {
    g_cameraProperties.ResetAllToDefaults(g_propertyBackend);
    std::vector<PropertyIndex> all;
    for (int i = 0; i < kPropertyCount; ++i) all.push_back(static_cast<PropertyIndex>(i));
    Remember(all);
}
