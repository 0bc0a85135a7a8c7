// The simulated camera under the platform's DirectShow, driven as the program drives a
// camera: device enumerator, capture graph builder, Sample Grabber, Null Renderer, stream
// configuration, proc-amp; and the control tool from the command line.
#include <windows.h>
#include <dbt.h>
#include <dshow.h>
#include <qedit.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <cstdio>
#include <string>
#include <vector>

#include "pipeline/color_bar.h"
#include "pipeline/yuy2_convert.h"
#include "win/simcam_tool.h"
#include "win/win_test_support.h"

namespace {

const CLSID kClsidSampleGrabber = {
    0xC1F400A0, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const CLSID kClsidNullRenderer = {
    0xC1F400A4, 0x3F08, 0x11D3, {0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37}};
const GUID kCaptureInterfaceClass = {
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
const wchar_t kCategoryPrefix[] = L"@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\";
constexpr long kPowerLine = 13;  // not in the SDK's proc-amp enumeration

// ---- The control tool ----

// Plugs a camera and returns its instance name (from the tool's report).
std::wstring Plug(const std::wstring& name, const std::wstring& options = L"") {
    const SimcamResult r = RunSimcam(L"plug " + name + L" " + options);
    EXPECT_EQ(r.code, 0u) << r.output;
    const size_t at = r.output.find("usb#");
    if (at == std::string::npos) return L"";
    const std::string instance = r.output.substr(at, r.output.find_first_of("\r\n", at) - at);
    return std::wstring(instance.begin(), instance.end());
}

void Unplug(const std::wstring& name) { RunSimcam(L"unplug " + name); }

// ---- Devices ----

struct Device {
    std::wstring friendlyName;
    std::wstring displayName;
};

template <class F>
void ForEachVideoInput(F&& visit) {
    ICreateDevEnum* devEnum = nullptr;
    IEnumMoniker* monikers = nullptr;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, reinterpret_cast<void**>(&devEnum))))
        return;
    if (devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) == S_OK) {
        IMoniker* moniker = nullptr;
        while (monikers->Next(1, &moniker, nullptr) == S_OK) {
            Device d;
            LPOLESTR display = nullptr;
            if (SUCCEEDED(moniker->GetDisplayName(nullptr, nullptr, &display))) {
                d.displayName = display;
                CoTaskMemFree(display);
            }
            IPropertyBag* bag = nullptr;
            if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                                 reinterpret_cast<void**>(&bag)))) {
                VARIANT v;
                VariantInit(&v);
                if (SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && v.vt == VT_BSTR)
                    d.friendlyName = v.bstrVal;
                VariantClear(&v);
                bag->Release();
            }
            visit(d, moniker);
            moniker->Release();
        }
        monikers->Release();
    }
    devEnum->Release();
}

std::vector<Device> VideoInputs() {
    std::vector<Device> all;
    ForEachVideoInput([&](const Device& d, IMoniker*) { all.push_back(d); });
    return all;
}

int CountWithInstance(const std::vector<Device>& devices, const std::wstring& instance) {
    int n = 0;
    for (const Device& d : devices) n += d.displayName == kCategoryPrefix + instance;
    return n;
}

IBaseFilter* BindCamera(const std::wstring& instance) {
    IBaseFilter* filter = nullptr;
    ForEachVideoInput([&](const Device& d, IMoniker* moniker) {
        if (filter == nullptr && d.displayName == kCategoryPrefix + instance)
            moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                  reinterpret_cast<void**>(&filter));
    });
    return filter;
}

template <class T>
void SafeRelease(T*& p) {
    if (p != nullptr) p->Release();
    p = nullptr;
}

// ---- Samples ----

// Records what a Sample Grabber delivers; runs on the camera's streaming thread.
class SampleLog : public ISampleGrabberCB {
public:
    SampleLog() { InitializeCriticalSection(&cs_); }
    ~SampleLog() { DeleteCriticalSection(&cs_); }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ISampleGrabberCB)) {
            *ppv = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    STDMETHODIMP BufferCB(double time, BYTE* buffer, long length) override {
        EnterCriticalSection(&cs_);
        if (keep_ == 0 || samples_.size() < keep_)
            samples_.emplace_back(buffer, buffer + length);
        else
            samples_.back().assign(buffer, buffer + length);
        times_.push_back(time);
        LeaveCriticalSection(&cs_);
        return S_OK;
    }
    // Keeps the first `n` samples (the last one is overwritten beyond that); 0 keeps all.
    void KeepAtMost(size_t n) { keep_ = n; }
    size_t Count() {
        EnterCriticalSection(&cs_);
        const size_t n = times_.size();
        LeaveCriticalSection(&cs_);
        return n;
    }
    std::vector<std::vector<uint8_t>> Samples() {
        EnterCriticalSection(&cs_);
        auto copy = samples_;
        LeaveCriticalSection(&cs_);
        return copy;
    }
    std::vector<double> Times() {
        EnterCriticalSection(&cs_);
        auto copy = times_;
        LeaveCriticalSection(&cs_);
        return copy;
    }

private:
    CRITICAL_SECTION cs_;
    size_t keep_ = 0;
    std::vector<std::vector<uint8_t>> samples_;
    std::vector<double> times_;
};

struct JpegInfo {
    bool header = false;
    bool decoded = false;
    std::string error;
    int width = 0, height = 0, subsampling = -1;
};

JpegInfo InspectJpeg(const std::vector<uint8_t>& jpeg, std::vector<uint8_t>* bgr = nullptr) {
    JpegInfo info;
    tjhandle h = tjInitDecompress();
    int colorspace = 0;
    info.header = tjDecompressHeader3(h, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                                      &info.width, &info.height, &info.subsampling,
                                      &colorspace) == 0;
    if (info.header) {
        std::vector<uint8_t> local;
        std::vector<uint8_t>& out = bgr != nullptr ? *bgr : local;
        out.resize(static_cast<size_t>(info.width) * info.height * 3);
        info.decoded = tjDecompress2(h, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                                     out.data(), info.width, info.width * 3, info.height,
                                     TJPF_BGR, 0) == 0;  // warnings (damaged data) fail too
        if (!info.decoded) info.error = tjGetErrorStr2(h);
    }
    tjDestroy(h);
    return info;
}

double MeanLuma(const std::vector<uint8_t>& yuy2) {
    double sum = 0;
    for (size_t i = 0; i < yuy2.size(); i += 2) sum += yuy2[i];
    return sum / (yuy2.size() / 2);
}

// A BMP of a top-down BGR picture, for people to look at.
void SaveBmp(const std::wstring& path, const std::vector<uint8_t>& bgr, int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = static_cast<DWORD>(stride) * height;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (f == nullptr) return;
    std::fwrite(&file, sizeof file, 1, f);
    std::fwrite(&info, sizeof info, 1, f);
    std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
    for (int y = height - 1; y >= 0; --y) {
        memcpy(row.data(), &bgr[static_cast<size_t>(y) * width * 3], static_cast<size_t>(width) * 3);
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
}

// ---- The graph, built as the program builds it ----

struct Format {
    GUID subtype;
    int width, height;
};

class CameraGraph {
public:
    ~CameraGraph() { Release(); }

    // Sets the format (when given), then camera -> grabber -> null renderer, and the still
    // branch when asked for.
    ::testing::AssertionResult Build(IBaseFilter* camera, const Format* format, bool still) {
        camera_ = camera;
        camera_->AddRef();
        if (format != nullptr && FAILED(SetCameraFormat(*format)))
            return ::testing::AssertionFailure() << "SetFormat failed";
        if (FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&builder_))) ||
            FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IGraphBuilder, reinterpret_cast<void**>(&graph_))))
            return ::testing::AssertionFailure() << "no graph";
        builder_->SetFiltergraph(graph_);
        graph_->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control_));
        graph_->AddFilter(camera_, L"Camera Input");
        HRESULT hr = AddBranch(&PIN_CATEGORY_CAPTURE, &grabber_, &renderer_, &capture);
        if (FAILED(hr)) return ::testing::AssertionFailure() << "capture branch " << std::hex << hr;
        if (still) {
            hr = AddBranch(&PIN_CATEGORY_STILL, &stillGrabber_, &stillRenderer_, &stills);
            if (FAILED(hr)) return ::testing::AssertionFailure() << "still branch " << std::hex << hr;
        }
        return ::testing::AssertionSuccess();
    }

    HRESULT SetCameraFormat(const Format& format) {
        IAMStreamConfig* config = StreamConfig();
        if (config == nullptr) return E_NOINTERFACE;
        int count = 0, size = 0;
        HRESULT hr = config->GetNumberOfCapabilities(&count, &size);
        HRESULT result = VFW_E_INVALIDMEDIATYPE;
        for (int i = 0; SUCCEEDED(hr) && i < count; ++i) {
            AM_MEDIA_TYPE* mt = nullptr;
            VIDEO_STREAM_CONFIG_CAPS caps;
            if (config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) != S_OK) break;
            const auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
            if (IsEqualGUID(mt->subtype, format.subtype) && vih->bmiHeader.biWidth == format.width &&
                vih->bmiHeader.biHeight == format.height)
                result = config->SetFormat(mt);
            CoTaskMemFree(mt->pbFormat);
            CoTaskMemFree(mt);
        }
        config->Release();
        return result;
    }

    IAMStreamConfig* StreamConfig() {
        IEnumPins* pins = nullptr;
        IPin* pin = nullptr;
        IAMStreamConfig* config = nullptr;
        camera_->EnumPins(&pins);
        if (pins->Next(1, &pin, nullptr) == S_OK) {
            pin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config));
            pin->Release();
        }
        pins->Release();
        return config;
    }

    HRESULT Run() { return control_->Run(); }
    HRESULT Stop() { return control_->Stop(); }
    IGraphBuilder* graph() { return graph_; }

    void Release() {
        SafeRelease(stillRenderer_);
        SafeRelease(stillGrabber_);
        SafeRelease(renderer_);
        SafeRelease(grabber_);
        SafeRelease(control_);
        SafeRelease(graph_);
        SafeRelease(builder_);
        SafeRelease(camera_);
    }

    SampleLog capture;
    SampleLog stills;

private:
    HRESULT AddBranch(const GUID* category, IBaseFilter** grabber, IBaseFilter** renderer,
                      SampleLog* log) {
        CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                         reinterpret_cast<void**>(grabber));
        CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                         reinterpret_cast<void**>(renderer));
        if (*grabber == nullptr || *renderer == nullptr) return E_FAIL;
        graph_->AddFilter(*grabber, category == &PIN_CATEGORY_STILL ? L"Sample Grabber2" : L"Sample Grabber");
        graph_->AddFilter(*renderer, category == &PIN_CATEGORY_STILL ? L"Null Filter2" : L"Null Filter");
        const HRESULT hr = builder_->RenderStream(category, &MEDIATYPE_Video, camera_, *grabber,
                                                  *renderer);
        ISampleGrabber* sg = nullptr;
        (*grabber)->QueryInterface(IID_ISampleGrabber, reinterpret_cast<void**>(&sg));
        sg->SetOneShot(FALSE);
        sg->SetBufferSamples(FALSE);
        sg->SetCallback(log, 1);
        sg->Release();
        return hr;
    }

    IBaseFilter* camera_ = nullptr;
    ICaptureGraphBuilder2* builder_ = nullptr;
    IGraphBuilder* graph_ = nullptr;
    IMediaControl* control_ = nullptr;
    IBaseFilter* grabber_ = nullptr;
    IBaseFilter* renderer_ = nullptr;
    IBaseFilter* stillGrabber_ = nullptr;
    IBaseFilter* stillRenderer_ = nullptr;
};

// Every test's cameras are unplugged at the end, whatever happened.
class SimcamTest : public ::testing::Test {
protected:
    std::wstring PlugCamera(const std::wstring& name, const std::wstring& options = L"") {
        plugged_.push_back(name);
        return Plug(name, options);
    }
    void TearDown() override {
        for (const std::wstring& name : plugged_) Unplug(name);
    }

    std::vector<std::wstring> plugged_;
};

}  // namespace

namespace {

const Format kMjpg1080 = {MEDIASUBTYPE_MJPG, 1920, 1080};
const Format kMjpg720 = {MEDIASUBTYPE_MJPG, 1280, 720};
const Format kMjpg480 = {MEDIASUBTYPE_MJPG, 640, 480};
const Format kYuy2480 = {MEDIASUBTYPE_YUY2, 640, 480};
const Format kYuy2240 = {MEDIASUBTYPE_YUY2, 320, 240};

std::wstring ShotPath(const wchar_t* name) {
    const std::wstring dir = WindowsPathOf(SIMCAM_SHOT_DIR);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

// Device-change notifications as the program's camera view, a child window, gets them.
struct DeviceEvent {
    WPARAM event;
    GUID classGuid;
    std::wstring name;
};
std::vector<DeviceEvent> g_childEvents;

LRESULT CALLBACK NotificationProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DEVICECHANGE && lParam != 0 && GetParent(hwnd) != nullptr) {
        const auto* hdr = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        if (hdr->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
            const auto* di = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(lParam);
            std::wstring name = di->dbcc_name;
            CharLowerW(&name[0]);
            g_childEvents.push_back({wParam, di->dbcc_classguid, name});
        }
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

class ChildWindow {
public:
    ChildWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = NotificationProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SimcamTestNotified";
        RegisterClassW(&wc);
        parent_ = CreateWindowExW(0, L"SimcamTestNotified", L"parent", WS_OVERLAPPEDWINDOW, 0, 0,
                                  100, 100, nullptr, nullptr, wc.hInstance, nullptr);
        child_ = CreateWindowExW(0, L"SimcamTestNotified", L"view", WS_CHILD, 0, 0, 50, 50,
                                 parent_, nullptr, wc.hInstance, nullptr);
        g_childEvents.clear();
    }
    ~ChildWindow() { DestroyWindow(parent_); }

    int Count(WPARAM event, const std::wstring& instance) const {
        int n = 0;
        for (const DeviceEvent& e : g_childEvents)
            n += e.event == event && IsEqualGUID(e.classGuid, kCaptureInterfaceClass) &&
                 e.name.find(instance) != std::wstring::npos;
        return n;
    }

private:
    HWND parent_ = nullptr;
    HWND child_ = nullptr;
};

size_t WaitForSamples(SampleLog& log, size_t atLeast, DWORD timeoutMs = 5000) {
    PumpUntil([&] { return log.Count() >= atLeast; }, timeoutMs);
    return log.Count();
}

}  // namespace

TEST_F(SimcamTest, ToolRefusesBadInputWithAMessageAndChangesNothing) {
    const wchar_t* const bad[] = {
        L"plug",
        L"plug Bad!Name",
        L"plug TBadIn --vid 12345",
        L"plug TBadIn --pid XYZ",
        L"plug TBadIn --formats MJPG:641x480",
        L"plug TBadIn --formats MJPG:0x480",
        L"plug TBadIn --formats MJPG:640x99999",
        L"plug TBadIn --formats NV12:640x480",
        L"plug TBadIn --formats MJPG:640x480,MJPG:640x480",
        L"plug TBadIn --fps 0",
        L"plug TBadIn --mode sideways",
        L"plug TBadIn --frobnicate",
        L"plug TBadIn --vid",
        L"plug TBadIn brightness.min=10",
        L"plug TBadIn brightness=999",
        L"unplug TNeverPlugged",
        L"still TNeverPlugged",
        L"set TNeverPlugged brightness=1",
        L"launch TBadIn",
    };
    for (const wchar_t* args : bad) {
        const SimcamResult r = RunSimcam(args);
        EXPECT_NE(r.code, 0u) << args;
        EXPECT_NE(r.output.find("simcam: "), std::string::npos) << args;
    }
    EXPECT_EQ(RunSimcam(L"list").output.find("TBadIn"), std::string::npos);

    // A set with one bad value applies none of them.
    PlugCamera(L"TSetAll");
    EXPECT_NE(RunSimcam(L"set TSetAll brightness=10 contrast=500").code, 0u);
    const std::string shown = RunSimcam(L"show TSetAll").output;
    EXPECT_NE(shown.find("brightness=0 "), std::string::npos) << shown;
    EXPECT_NE(shown.find("contrast=32 "), std::string::npos) << shown;
    EXPECT_EQ(RunSimcam(L"plug TSetAll").code, 1u);  // already plugged
}

TEST_F(SimcamTest, TwoIdenticalCamerasEnumerateAndUnplugRemovesExactlyOne) {
    ChildWindow view;
    const size_t before = VideoInputs().size();
    const std::wstring options = L"--friendly \"Twin Scope\" --vid 1B3F --pid 2002";
    const std::wstring a = PlugCamera(L"TTwinA", options);
    const std::wstring b = PlugCamera(L"TTwinB", options);
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(L"usb#vid_1b3f&pid_2002&mi_00#", 0), 0u);

    std::vector<Device> devices = VideoInputs();
    EXPECT_EQ(devices.size(), before + 2);
    EXPECT_EQ(CountWithInstance(devices, a), 1);
    EXPECT_EQ(CountWithInstance(devices, b), 1);
    for (const Device& d : devices) {
        if (d.displayName == kCategoryPrefix + a || d.displayName == kCategoryPrefix + b) {
            EXPECT_EQ(d.friendlyName, L"Twin Scope");
        }
    }
    EXPECT_EQ(view.Count(DBT_DEVICEARRIVAL, a), 1);
    EXPECT_EQ(view.Count(DBT_DEVICEARRIVAL, b), 1);

    EXPECT_EQ(RunSimcam(L"unplug TTwinA").code, 0u);
    devices = VideoInputs();
    EXPECT_EQ(devices.size(), before + 1);
    EXPECT_EQ(CountWithInstance(devices, a), 0);
    EXPECT_EQ(CountWithInstance(devices, b), 1);
    EXPECT_EQ(view.Count(DBT_DEVICEREMOVECOMPLETE, a), 1);
    EXPECT_EQ(view.Count(DBT_DEVICEREMOVECOMPLETE, b), 0);
}

TEST_F(SimcamTest, CapabilitiesFollowTheConfiguredListInOrder) {
    const std::wstring instance =
        PlugCamera(L"TCaps", L"--formats YUY2:320x240,MJPG:800x600,MJPG:1920x1080 --fps 15");
    IBaseFilter* camera = BindCamera(instance);
    ASSERT_NE(camera, nullptr);
    CameraGraph graph;
    ASSERT_TRUE(graph.Build(camera, nullptr, false));
    camera->Release();
    IAMStreamConfig* config = graph.StreamConfig();
    ASSERT_NE(config, nullptr);
    int count = 0, size = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(size, 128);
    const Format expected[] = {{MEDIASUBTYPE_YUY2, 320, 240},
                               {MEDIASUBTYPE_MJPG, 800, 600},
                               {MEDIASUBTYPE_MJPG, 1920, 1080}};
    for (int i = 0; i < 3; ++i) {
        AM_MEDIA_TYPE* mt = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps;
        ASSERT_EQ(config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
        EXPECT_TRUE(IsEqualGUID(mt->majortype, MEDIATYPE_Video));
        EXPECT_TRUE(IsEqualGUID(mt->subtype, expected[i].subtype)) << i;
        ASSERT_TRUE(IsEqualGUID(mt->formattype, FORMAT_VideoInfo));
        const auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
        EXPECT_EQ(vih->bmiHeader.biWidth, expected[i].width);
        EXPECT_EQ(vih->bmiHeader.biHeight, expected[i].height);
        EXPECT_EQ(vih->AvgTimePerFrame, 10000000 / 15);
        EXPECT_EQ(caps.MaxOutputSize.cx, expected[i].width);
        CoTaskMemFree(mt->pbFormat);
        CoTaskMemFree(mt);
    }
    AM_MEDIA_TYPE* none = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps;
    EXPECT_EQ(config->GetStreamCaps(3, &none, reinterpret_cast<BYTE*>(&caps)), S_FALSE);

    // The program left the first format connected; a set format reconnects to it.
    EXPECT_EQ(graph.SetCameraFormat({MEDIASUBTYPE_MJPG, 800, 600}), S_OK);
    AM_MEDIA_TYPE* current = nullptr;
    ASSERT_EQ(config->GetFormat(&current), S_OK);
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(current->pbFormat)->bmiHeader.biWidth, 800);
    CoTaskMemFree(current->pbFormat);
    CoTaskMemFree(current);
    config->Release();
}

TEST_F(SimcamTest, SecondVideoInfoLayoutIsOfferedAndStreams) {
    const std::wstring instance = PlugCamera(L"TInfo2", L"--videoinfo2 --formats MJPG:1280x720");
    IBaseFilter* camera = BindCamera(instance);
    ASSERT_NE(camera, nullptr);
    CameraGraph graph;
    ASSERT_TRUE(graph.Build(camera, nullptr, false));
    camera->Release();
    IAMStreamConfig* config = graph.StreamConfig();
    ASSERT_NE(config, nullptr);
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps;
    ASSERT_EQ(config->GetStreamCaps(0, &mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
    config->Release();
    const GUID videoInfo2 = {0xF72A76A0, 0xEB0A, 0x11D0, {0xAC, 0xE4, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};
    EXPECT_TRUE(IsEqualGUID(mt->formattype, videoInfo2));
    ASSERT_GE(mt->cbFormat, 72u + sizeof(BITMAPINFOHEADER));
    const auto* bmi = reinterpret_cast<const BITMAPINFOHEADER*>(mt->pbFormat + 72);
    EXPECT_EQ(bmi->biWidth, 1280);
    EXPECT_EQ(bmi->biHeight, 720);
    CoTaskMemFree(mt->pbFormat);
    CoTaskMemFree(mt);
    graph.capture.KeepAtMost(1);
    ASSERT_FALSE(FAILED(graph.Run()));
    ASSERT_GE(WaitForSamples(graph.capture, 3), 3u);
    const JpegInfo info = InspectJpeg(graph.capture.Samples().back());
    EXPECT_TRUE(info.decoded);
    EXPECT_EQ(info.width, 1280);
}

TEST_F(SimcamTest, UnpluggingAStreamingCameraSilencesItAndTellsTheGraph) {
    const std::wstring instance = PlugCamera(L"TYank", L"--formats MJPG:640x480");
    IBaseFilter* camera = BindCamera(instance);
    ASSERT_NE(camera, nullptr);
    CameraGraph graph;
    ASSERT_TRUE(graph.Build(camera, nullptr, false));
    camera->Release();
    IMediaEvent* events = nullptr;
    graph.graph()->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events));
    ASSERT_NE(events, nullptr);
    ASSERT_FALSE(FAILED(graph.Run()));
    ASSERT_GE(WaitForSamples(graph.capture, 3), 3u);
    EXPECT_EQ(RunSimcam(L"unplug TYank").code, 0u);
    bool lost = false;
    PumpUntil([&] {
        long code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        while (!lost && events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
            lost = code == EC_DEVICE_LOST && p2 == 0;
            events->FreeEventParams(code, p1, p2);
        }
        return lost;
    }, 3000);
    EXPECT_TRUE(lost);
    const size_t silent = graph.capture.Count();
    PumpFor(500);
    EXPECT_EQ(graph.capture.Count(), silent);
    events->Release();
    EXPECT_FALSE(FAILED(graph.Stop()));
}

TEST_F(SimcamTest, EveryFormatStreamsAtTheFrameRateWithWellFormedSamples) {
    const std::wstring instance = PlugCamera(L"TStream");
    for (const Format& format : {kMjpg1080, kMjpg720, kMjpg480, kYuy2480, kYuy2240}) {
        SCOPED_TRACE(std::to_string(format.width) + "x" + std::to_string(format.height));
        const bool mjpg = IsEqualGUID(format.subtype, MEDIASUBTYPE_MJPG);
        IBaseFilter* camera = BindCamera(instance);
        ASSERT_NE(camera, nullptr);
        CameraGraph graph;
        ASSERT_TRUE(graph.Build(camera, &format, false));
        camera->Release();
        if (!mjpg) graph.capture.KeepAtMost(4);
        ASSERT_FALSE(FAILED(graph.Run()));
        ASSERT_GE(WaitForSamples(graph.capture, 1), 1u);
        PumpFor(500);
        const size_t first = graph.capture.Count();
        const DWORD start = GetTickCount();
        PumpFor(2000);
        const size_t delivered = graph.capture.Count() - first;
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_GE(delivered * 1000.0 / elapsed, 25.0) << delivered << " in " << elapsed << " ms";
        ASSERT_FALSE(FAILED(graph.Stop()));

        const std::vector<double> times = graph.capture.Times();
        for (size_t i = 1; i < times.size(); ++i) EXPECT_GT(times[i], times[i - 1]) << i;
        const auto samples = graph.capture.Samples();
        for (size_t i = 0; i < samples.size(); ++i) {
            if (!mjpg) {
                EXPECT_EQ(samples[i].size(), static_cast<size_t>(format.width) * format.height * 2);
                continue;
            }
            const JpegInfo info = InspectJpeg(samples[i]);
            EXPECT_TRUE(info.decoded) << "sample " << i << ": " << info.error;
            EXPECT_EQ(info.width, format.width);
            EXPECT_EQ(info.height, format.height);
            EXPECT_EQ(info.subsampling, TJSAMP_422);
        }
        // A frame of each kind for people to look at.
        if (format.width == 1920) {
            std::vector<uint8_t> bgr;
            InspectJpeg(samples.back(), &bgr);
            SaveBmp(ShotPath(L"simcam_mjpg_1920x1080.bmp"), bgr, 1920, 1080);
        } else if (!mjpg && format.width == 640) {
            std::vector<uint8_t> bgr(640 * 480 * 3);
            Yuy2ToBgrReference(samples.back().data(), bgr.data(), 640 * 480);
            SaveBmp(ShotPath(L"simcam_yuy2_640x480.bmp"), bgr, 640, 480);
        }
    }
}

TEST_F(SimcamTest, StillPinSendsExactlyOneFramePerPress) {
    const std::wstring instance = PlugCamera(L"TStill", L"--formats MJPG:640x480,YUY2:640x480");
    IBaseFilter* camera = BindCamera(instance);
    ASSERT_NE(camera, nullptr);
    CameraGraph graph;
    ASSERT_TRUE(graph.Build(camera, &kMjpg480, true));
    camera->Release();
    ASSERT_FALSE(FAILED(graph.Run()));
    ASSERT_GE(WaitForSamples(graph.capture, 3), 3u);
    EXPECT_EQ(graph.stills.Count(), 0u);
    for (size_t press = 1; press <= 3; ++press) {
        const SimcamResult r = RunSimcam(L"still TStill");
        EXPECT_EQ(r.code, 0u) << r.output;
        EXPECT_TRUE(PumpUntil([&] { return graph.stills.Count() >= press; }, 3000)) << press;
    }
    PumpFor(500);
    EXPECT_EQ(graph.stills.Count(), 3u);
    for (const auto& still : graph.stills.Samples()) {
        const JpegInfo info = InspectJpeg(still);
        EXPECT_TRUE(info.decoded);
        EXPECT_EQ(info.width, 640);
        EXPECT_EQ(info.height, 480);
    }
    graph.Stop();
    graph.Release();
    // Nobody listens once the graph is gone.
    EXPECT_EQ(RunSimcam(L"still TStill").code, 3u);

    const std::wstring plain = PlugCamera(L"TNoStill", L"--no-still");
    camera = BindCamera(plain);
    ASSERT_NE(camera, nullptr);
    CameraGraph noStill;
    EXPECT_FALSE(noStill.Build(camera, nullptr, true));
    camera->Release();
    EXPECT_EQ(RunSimcam(L"still TNoStill").code, 1u);
}

TEST_F(SimcamTest, PropertiesReportRangesTakeValuesAndChangeThePicture) {
    const std::wstring instance = PlugCamera(
        L"TProps", L"--formats YUY2:640x480 brightness.min=-100 brightness.max=100 "
                   L"exposure.caps=manual exposure.mode=manual");
    IBaseFilter* camera = BindCamera(instance);
    ASSERT_NE(camera, nullptr);
    IAMVideoProcAmp* amp = nullptr;
    IAMCameraControl* control = nullptr;
    ASSERT_EQ(camera->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&amp)), S_OK);
    ASSERT_EQ(camera->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&control)), S_OK);
    struct Range {
        long prop, min, max, step, def, caps;
    };
    const Range ranges[] = {
        {VideoProcAmp_Brightness, -100, 100, 1, 0, 2},   {VideoProcAmp_Contrast, 0, 95, 1, 32, 2},
        {VideoProcAmp_Hue, -2000, 2000, 1, 0, 2},        {VideoProcAmp_Saturation, 0, 128, 1, 64, 2},
        {VideoProcAmp_Sharpness, 0, 7, 1, 3, 2},         {VideoProcAmp_Gamma, 72, 500, 1, 100, 2},
        {VideoProcAmp_WhiteBalance, 2800, 6500, 10, 4600, 3},
        {VideoProcAmp_BacklightCompensation, 0, 2, 1, 1, 2},
        {VideoProcAmp_Gain, 0, 100, 1, 0, 2},            {kPowerLine, 0, 2, 1, 1, 2},
    };
    for (const Range& r : ranges) {
        long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
        ASSERT_EQ(amp->GetRange(r.prop, &min, &max, &step, &def, &caps), S_OK) << r.prop;
        EXPECT_EQ(min, r.min) << r.prop;
        EXPECT_EQ(max, r.max) << r.prop;
        EXPECT_EQ(step, r.step) << r.prop;
        EXPECT_EQ(def, r.def) << r.prop;
        EXPECT_EQ(caps, r.caps) << r.prop;
        ASSERT_EQ(amp->Get(r.prop, &value, &flags), S_OK);
        EXPECT_EQ(value, r.def) << r.prop;
    }
    long min = 0, max = 0, step = 0, def = 0, caps = 0, value = 0, flags = 0;
    ASSERT_EQ(control->GetRange(CameraControl_Exposure, &min, &max, &step, &def, &caps), S_OK);
    EXPECT_EQ(min, -13);
    EXPECT_EQ(max, -1);
    EXPECT_EQ(def, -6);
    EXPECT_EQ(caps, CameraControl_Flags_Manual);
    // Zoom and focus are offered by default; pan, tilt, roll and iris are not.
    ASSERT_EQ(control->GetRange(CameraControl_Zoom, &min, &max, &step, &def, &caps), S_OK);
    EXPECT_EQ(std::vector<long>({min, max, step, def}), std::vector<long>({100, 400, 10, 100}));
    ASSERT_EQ(control->GetRange(CameraControl_Focus, &min, &max, &step, &def, &caps), S_OK);
    EXPECT_EQ(caps, CameraControl_Flags_Auto | CameraControl_Flags_Manual);
    EXPECT_TRUE(FAILED(control->GetRange(CameraControl_Pan, &min, &max, &step, &def, &caps)));

    // Refused: out of range, auto where only manual is offered, an unknown property.
    EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, 101, VideoProcAmp_Flags_Manual), E_INVALIDARG);
    EXPECT_EQ(control->Set(CameraControl_Exposure, 0, CameraControl_Flags_Auto), E_INVALIDARG);
    EXPECT_TRUE(FAILED(amp->Set(VideoProcAmp_ColorEnable, 1, VideoProcAmp_Flags_Manual)));
    EXPECT_EQ(amp->Set(VideoProcAmp_WhiteBalance, 0, VideoProcAmp_Flags_Auto), S_OK);
    ASSERT_EQ(amp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
    EXPECT_EQ(flags, VideoProcAmp_Flags_Auto);
    EXPECT_EQ(control->Set(CameraControl_Exposure, -9, CameraControl_Flags_Manual), S_OK);

    // Brightness shows in the picture.
    CameraGraph graph;
    ASSERT_TRUE(graph.Build(camera, &kYuy2480, false));
    graph.capture.KeepAtMost(1);
    ASSERT_FALSE(FAILED(graph.Run()));
    ASSERT_GE(WaitForSamples(graph.capture, 2), 2u);
    const double before = MeanLuma(graph.capture.Samples().back());
    ASSERT_EQ(amp->Set(VideoProcAmp_Brightness, 100, VideoProcAmp_Flags_Manual), S_OK);
    const size_t seen = graph.capture.Count();
    ASSERT_GE(WaitForSamples(graph.capture, seen + 3), seen + 3);
    PumpFor(200);
    const double after = MeanLuma(graph.capture.Samples().back());
    EXPECT_GT(after, before + 20) << before << " -> " << after;

    // Set from the tool, seen by the running camera.
    EXPECT_EQ(RunSimcam(L"set TProps gain=40").code, 0u);
    EXPECT_TRUE(PumpUntil([&] { return amp->Get(VideoProcAmp_Gain, &value, &flags) == S_OK && value == 40; }, 2000));
    graph.Stop();
    graph.Release();
    amp->Release();
    control->Release();
    camera->Release();

    // A new instance of the camera (a rebuilt graph) keeps the values.
    camera = BindCamera(instance);
    ASSERT_NE(camera, nullptr);
    ASSERT_EQ(camera->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&amp)), S_OK);
    ASSERT_EQ(amp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
    EXPECT_EQ(value, 100);
    amp->Release();
    camera->Release();

    const std::wstring bare = PlugCamera(L"TNoProps", L"--no-procamp --no-cameracontrol");
    camera = BindCamera(bare);
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&amp)), E_NOINTERFACE);
    EXPECT_EQ(camera->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&control)), E_NOINTERFACE);
    camera->Release();
}

TEST_F(SimcamTest, ColourBarModeSendsTheExactTestFrame) {
    const std::wstring instance = PlugCamera(L"TBars", L"--mode colorbar --formats YUY2:640x480");
    IBaseFilter* camera = BindCamera(instance);
    ASSERT_NE(camera, nullptr);
    CameraGraph graph;
    ASSERT_TRUE(graph.Build(camera, &kYuy2480, false));
    camera->Release();
    graph.capture.KeepAtMost(3);
    ASSERT_FALSE(FAILED(graph.Run()));
    ASSERT_GE(WaitForSamples(graph.capture, 3), 3u);
    graph.Stop();
    std::vector<uint8_t> expected(kColorBarSampleLength);
    BuildColorBarFrame(expected.data());
    for (const auto& sample : graph.capture.Samples()) {
        EXPECT_TRUE(sample == expected);
        EXPECT_TRUE(IsColorBarFrame(sample.data(), sample.size(), nullptr));
    }
}

TEST_F(SimcamTest, BadModeSendsDamagedSamplesAndKeepsStreaming) {
    const std::wstring instance = PlugCamera(L"TBad", L"--mode bad --formats MJPG:640x480,YUY2:640x480");
    for (const Format& format : {kMjpg480, kYuy2480}) {
        IBaseFilter* camera = BindCamera(instance);
        ASSERT_NE(camera, nullptr);
        CameraGraph graph;
        ASSERT_TRUE(graph.Build(camera, &format, false));
        camera->Release();
        ASSERT_FALSE(FAILED(graph.Run()));
        ASSERT_GE(WaitForSamples(graph.capture, 16), 16u);
        graph.Stop();
        int good = 0, wrongSize = 0, broken = 0, shortSamples = 0;
        for (const auto& sample : graph.capture.Samples()) {
            if (IsEqualGUID(format.subtype, MEDIASUBTYPE_YUY2)) {
                (sample.size() == 640u * 480 * 2 ? good : shortSamples) += 1;
                continue;
            }
            const JpegInfo info = InspectJpeg(sample);
            if (!info.decoded)
                ++broken;
            else if (info.width == 640 && info.height == 480)
                ++good;
            else
                ++wrongSize;
        }
        EXPECT_GT(good, 0);
        if (IsEqualGUID(format.subtype, MEDIASUBTYPE_MJPG)) {
            EXPECT_GT(wrongSize, 0);
            EXPECT_GE(broken, 2);  // truncated and scrambled
        } else {
            EXPECT_GT(shortSamples, 0);
        }
    }
}

TEST_F(SimcamTest, StalledModeSendsNothingWhilePluggedAndLiveResumes) {
    const std::wstring instance = PlugCamera(L"TStall", L"--formats MJPG:640x480");
    IBaseFilter* camera = BindCamera(instance);
    ASSERT_NE(camera, nullptr);
    CameraGraph graph;
    ASSERT_TRUE(graph.Build(camera, nullptr, false));
    camera->Release();
    graph.capture.KeepAtMost(1);
    ASSERT_FALSE(FAILED(graph.Run()));
    ASSERT_GE(WaitForSamples(graph.capture, 3), 3u);
    EXPECT_EQ(RunSimcam(L"set TStall mode=stalled").code, 0u);
    PumpFor(800);  // the mode reaches the stream within half a second
    const size_t stalled = graph.capture.Count();
    PumpFor(1000);
    EXPECT_EQ(graph.capture.Count(), stalled);
    EXPECT_NE(RunSimcam(L"list").output.find("TStall"), std::string::npos);
    EXPECT_EQ(RunSimcam(L"set TStall mode=live").code, 0u);
    EXPECT_GE(WaitForSamples(graph.capture, stalled + 5), stalled + 5);
    EXPECT_FALSE(FAILED(graph.Stop()));
}

TEST_F(SimcamTest, MisuseIsRefusedAndReleasingMidStreamLeavesNoThread) {
    const std::wstring instance = PlugCamera(L"TLife", L"--formats MJPG:1280x720,MJPG:640x480");
    auto runOnce = [&](CameraGraph* graph) {
        IBaseFilter* camera = BindCamera(instance);
        if (camera == nullptr) return false;
        const bool built = graph->Build(camera, nullptr, true);
        camera->Release();
        return built && !FAILED(graph->Run()) && WaitForSamples(graph->capture, 3) >= 3;
    };
    {
        // Lets the platform start whatever threads it keeps for later graphs.
        CameraGraph warmUp;
        ASSERT_TRUE(runOnce(&warmUp));
        warmUp.Stop();
    }
    PumpFor(300);
    const int baseline = ThreadsOfThisProcess();

    CameraGraph graph;
    ASSERT_TRUE(runOnce(&graph));
    EXPECT_GT(ThreadsOfThisProcess(), baseline);  // the streaming thread

    IAMStreamConfig* config = graph.StreamConfig();
    ASSERT_NE(config, nullptr);
    AM_MEDIA_TYPE* mt = nullptr;
    ASSERT_EQ(config->GetFormat(&mt), S_OK);
    EXPECT_TRUE(FAILED(config->SetFormat(mt)));  // running
    CoTaskMemFree(mt->pbFormat);
    CoTaskMemFree(mt);
    config->Release();

    IPin* capturePin = nullptr;
    IPin* downstream = nullptr;
    IEnumPins* pins = nullptr;
    IBaseFilter* camera = nullptr;
    graph.graph()->FindFilterByName(L"Camera Input", &camera);
    ASSERT_NE(camera, nullptr);
    camera->EnumPins(&pins);
    pins->Next(1, &capturePin, nullptr);
    pins->Release();
    ASSERT_EQ(capturePin->ConnectedTo(&downstream), S_OK);
    EXPECT_EQ(capturePin->Connect(downstream, nullptr), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(capturePin->Disconnect(), VFW_E_NOT_STOPPED);
    downstream->Release();
    capturePin->Release();
    camera->Release();

    const size_t seen = graph.capture.Count();
    EXPECT_GT(WaitForSamples(graph.capture, seen + 3), seen);  // still streaming

    const DWORD start = GetTickCount();
    graph.Release();  // no Stop
    EXPECT_LT(GetTickCount() - start, 1000u);
    // Generous: idle thread-pool workers of the platform may take a few seconds to go.
    EXPECT_TRUE(PumpUntil([&] { return ThreadsOfThisProcess() <= baseline; }, 10000))
        << ThreadsOfThisProcess() << " threads, " << baseline << " before";

    CameraGraph stopped;
    ASSERT_TRUE(runOnce(&stopped));
    const DWORD stopStart = GetTickCount();
    EXPECT_FALSE(FAILED(stopped.Stop()));
    EXPECT_LT(GetTickCount() - stopStart, 1000u);
    stopped.Release();
    EXPECT_TRUE(PumpUntil([&] { return ThreadsOfThisProcess() <= baseline; }, 10000));
}
