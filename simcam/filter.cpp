#include "simcam/filter.h"

#include <evcode.h>
#include <vfwmsgs.h>
#include <uuids.h>

#include <new>
#include <vector>

#include "simcam/camera_store.h"
#include "simcam/enumerators.h"
#include "simcam/registration.h"

namespace {

// Longest a Stop waits for a streaming thread stuck downstream; after that the thread is
// left to finish on its own (it keeps the filter's memory alive).
constexpr DWORD kJoinTimeoutMs = 5000;
constexpr ULONGLONG kRefreshIntervalMs = 500;
constexpr LONG kDestroyingRefs = 1 << 24;
const HRESULT kPropIdUnsupported = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

LONGLONG QpcNow() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

LONGLONG QpcFrequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}

void JoinStreamingThread(HANDLE thread, HANDLE stop) {
    if (thread != nullptr) {
        WaitForSingleObject(thread, kJoinTimeoutMs);
        CloseHandle(thread);
    }
    if (stop != nullptr) CloseHandle(stop);
}

}  // namespace

// ---- Facets ----

template <typename Interface, bool kCameraControl>
STDMETHODIMP PropertyFacet<Interface, kCameraControl>::QueryInterface(REFIID riid, void** ppv) {
    return filter_->QueryInterface(riid, ppv);
}
template <typename Interface, bool kCameraControl>
STDMETHODIMP_(ULONG) PropertyFacet<Interface, kCameraControl>::AddRef() {
    return filter_->AddRef();
}
template <typename Interface, bool kCameraControl>
STDMETHODIMP_(ULONG) PropertyFacet<Interface, kCameraControl>::Release() {
    return filter_->Release();
}
template <typename Interface, bool kCameraControl>
STDMETHODIMP PropertyFacet<Interface, kCameraControl>::GetRange(LONG prop, LONG* min, LONG* max,
                                                                LONG* step, LONG* def,
                                                                LONG* caps) {
    return filter_->PropertyRange(kCameraControl, prop, min, max, step, def, caps);
}
template <typename Interface, bool kCameraControl>
STDMETHODIMP PropertyFacet<Interface, kCameraControl>::Set(LONG prop, LONG value, LONG flags) {
    return filter_->PropertySet(kCameraControl, prop, value, flags);
}
template <typename Interface, bool kCameraControl>
STDMETHODIMP PropertyFacet<Interface, kCameraControl>::Get(LONG prop, LONG* value, LONG* flags) {
    return filter_->PropertyGet(kCameraControl, prop, value, flags);
}
template class PropertyFacet<IAMVideoProcAmp, false>;
template class PropertyFacet<IAMCameraControl, true>;

// ---- Filter ----

HRESULT SimcamFilter::Create(const std::string& name, REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    CameraConfig config;
    // A hand-edited configuration that does not hold together falls back to the defaults.
    if (!LoadCameraConfig(name, &config) || !CheckConfig(config).empty())
        config = DefaultCameraConfig();
    auto* filter = new (std::nothrow) SimcamFilter(name, clsid, config);
    if (filter == nullptr) return E_OUTOFMEMORY;
    if (filter->runEvent_ == nullptr) {
        filter->Release();
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = filter->QueryInterface(riid, ppv);
    filter->Release();
    return hr;
}

SimcamFilter::SimcamFilter(const std::string& name, REFCLSID clsid, const CameraConfig& config)
    : name_(name),
      clsid_(clsid),
      config_(config),
      capture_(this, false),
      still_(this, true),
      mode_(config.mode),
      procAmp_(this),
      cameraControl_(this) {
    InitializeCriticalSection(&lock_);
    InitializeCriticalSection(&propLock_);
    runEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    for (int i = 0; i < kPropertyCount; ++i) props_[i] = config.props[i];
    lastRefresh_ = GetTickCount64();
    SimcamObjectCreated();
}

SimcamFilter::~SimcamFilter() {
    capture_.ReleaseConnection();
    still_.ReleaseConnection();
    if (clock_ != nullptr) clock_->Release();
    if (runEvent_ != nullptr) CloseHandle(runEvent_);
    DeleteCriticalSection(&propLock_);
    DeleteCriticalSection(&lock_);
    SimcamObjectDestroyed();
}

STDMETHODIMP SimcamFilter::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPersist) ||
        IsEqualIID(riid, IID_IMediaFilter) || IsEqualIID(riid, IID_IBaseFilter)) {
        *ppv = static_cast<IBaseFilter*>(this);
    } else if (IsEqualIID(riid, IID_IAMVideoProcAmp) && config_.procAmp) {
        *ppv = static_cast<IAMVideoProcAmp*>(&procAmp_);
    } else if (IsEqualIID(riid, IID_IAMCameraControl) && config_.cameraControl) {
        *ppv = static_cast<IAMCameraControl*>(&cameraControl_);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SimcamFilter::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) SimcamFilter::Release() {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
        // Calls made while tearing down must not bring the count to zero a second time.
        refs_ = kDestroyingRefs;
        // Released while streaming (nobody stopped us): stop now, then free the memory
        // once no streaming thread uses it any more.
        Stop();
        ReleaseLiveRef();
    }
    return n;
}

void SimcamFilter::ReleaseLiveRef() {
    if (InterlockedDecrement(&liveRefs_) == 0) delete this;
}

STDMETHODIMP SimcamFilter::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

STDMETHODIMP SimcamFilter::Stop() {
    HANDLE threads[2] = {}, stops[2] = {};
    {
        CritSecLock lock(&lock_);
        ResetEvent(runEvent_);
        state_ = State_Stopped;
        capture_.Deactivate(&threads[0], &stops[0]);
        still_.Deactivate(&threads[1], &stops[1]);
    }
    // Joined without the lock: a thread may need it for one more snapshot before it sees
    // the stop signal.
    for (int i = 0; i < 2; ++i) JoinStreamingThread(threads[i], stops[i]);
    return S_OK;
}

STDMETHODIMP SimcamFilter::Pause() {
    CritSecLock lock(&lock_);
    if (state_ == State_Stopped) {
        HRESULT hr = capture_.IsConnected() ? capture_.Activate() : S_OK;
        if (SUCCEEDED(hr) && config_.stillPin && still_.IsConnected()) hr = still_.Activate();
        if (FAILED(hr)) {
            // Not joined: the lock may be held more than once here (Run). A started thread
            // sees its stop signal and ends on its own.
            HANDLE threads[2] = {}, stops[2] = {};
            capture_.Deactivate(&threads[0], &stops[0]);
            still_.Deactivate(&threads[1], &stops[1]);
            for (int i = 0; i < 2; ++i) {
                if (threads[i] != nullptr) CloseHandle(threads[i]);
                if (stops[i] != nullptr) CloseHandle(stops[i]);
            }
            return hr;
        }
    }
    ResetEvent(runEvent_);
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP SimcamFilter::Run(REFERENCE_TIME start) {
    CritSecLock lock(&lock_);
    if (state_ == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    start_ = start;
    runQpc_ = QpcNow();
    InterlockedIncrement(&runGeneration_);
    state_ = State_Running;
    SetEvent(runEvent_);
    return S_OK;
}

STDMETHODIMP SimcamFilter::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    CritSecLock lock(&lock_);
    *state = state_;
    // A live source has nothing to cue while paused; without saying so the graph waits.
    return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

STDMETHODIMP SimcamFilter::SetSyncSource(IReferenceClock* clock) {
    CritSecLock lock(&lock_);
    if (clock != nullptr) clock->AddRef();
    if (clock_ != nullptr) clock_->Release();
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP SimcamFilter::GetSyncSource(IReferenceClock** clock) {
    if (clock == nullptr) return E_POINTER;
    CritSecLock lock(&lock_);
    *clock = clock_;
    if (clock_ != nullptr) clock_->AddRef();
    return S_OK;
}

STDMETHODIMP SimcamFilter::EnumPins(IEnumPins** ppEnum) {
    std::vector<IPin*> pins = {&capture_};
    if (config_.stillPin) pins.push_back(&still_);
    return CreatePinEnum(pins, ppEnum);
}

STDMETHODIMP SimcamFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (id == nullptr || pin == nullptr) return E_POINTER;
    *pin = nullptr;
    if (lstrcmpW(id, capture_.Name()) == 0)
        *pin = &capture_;
    else if (config_.stillPin && lstrcmpW(id, still_.Name()) == 0)
        *pin = &still_;
    else
        return VFW_E_NOT_FOUND;
    (*pin)->AddRef();
    return S_OK;
}

STDMETHODIMP SimcamFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr) return E_POINTER;
    CritSecLock lock(&lock_);
    lstrcpynW(info->achName, graphName_, MAX_FILTER_NAME);
    info->pGraph = graph_;
    if (graph_ != nullptr) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP SimcamFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    CritSecLock lock(&lock_);
    graph_ = graph;
    lstrcpynW(graphName_, name != nullptr ? name : L"", ARRAYSIZE(graphName_));
    return S_OK;
}

STDMETHODIMP SimcamFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

REFERENCE_TIME SimcamFilter::StreamTimeNow() {
    IReferenceClock* clock = nullptr;
    REFERENCE_TIME start = 0;
    LONGLONG runQpc = 0;
    {
        CritSecLock lock(&lock_);
        clock = clock_;
        if (clock != nullptr) clock->AddRef();
        start = start_;
        runQpc = runQpc_;
    }
    REFERENCE_TIME now = 0;
    const bool fromClock = clock != nullptr && SUCCEEDED(clock->GetTime(&now));
    if (clock != nullptr) clock->Release();
    if (fromClock) return now > start ? now - start : 0;
    const LONGLONG ticks = QpcNow() - runQpc;
    return static_cast<REFERENCE_TIME>(ticks / static_cast<double>(QpcFrequency()) * 1e7);
}

bool SimcamFilter::RefreshLiveState() {
    CritSecLock lock(&propLock_);
    const ULONGLONG now = GetTickCount64();
    if (now - lastRefresh_ < kRefreshIntervalMs) return plugged_;
    lastRefresh_ = now;
    plugged_ = IsPlugged(name_);
    CameraConfig live = config_;
    for (int i = 0; i < kPropertyCount; ++i) live.props[i] = props_[i];
    live.mode = mode_;
    if (LoadLiveState(name_, &live.mode, live.props) && CheckConfig(live).empty()) {
        for (int i = 0; i < kPropertyCount; ++i) props_[i] = live.props[i];
        mode_ = live.mode;
    }
    return plugged_;
}

void SimcamFilter::PictureState(SceneControls* controls, SimMode* mode) {
    CritSecLock lock(&propLock_);
    *controls = config_.procAmp ? SceneControlsFor(props_) : SceneControls();
    *mode = mode_;
}

bool SimcamFilter::Stalled() {
    CritSecLock lock(&propLock_);
    return mode_ == SimMode::Stalled;
}

void SimcamFilter::ReportDeviceLost() {
    IMediaEventSink* sink = nullptr;
    {
        CritSecLock lock(&propLock_);
        if (lostReported_) return;
        lostReported_ = true;
    }
    {
        CritSecLock lock(&lock_);
        if (graph_ == nullptr ||
            FAILED(graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))))
            return;
    }
    sink->Notify(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)), 0);
    sink->Release();
}

int SimcamFilter::FindPropertyIndex(bool cameraControl, LONG prop) const {
    for (int i = 0; i < kPropertyCount; ++i)
        if (kPropertyInfo[i].cameraControl == cameraControl && kPropertyInfo[i].platformId == prop)
            return i;
    return -1;
}

HRESULT SimcamFilter::PropertyRange(bool cameraControl, LONG prop, LONG* min, LONG* max,
                                    LONG* step, LONG* def, LONG* caps) {
    if (min == nullptr || max == nullptr || step == nullptr || def == nullptr || caps == nullptr)
        return E_POINTER;
    RefreshLiveState();
    const int i = FindPropertyIndex(cameraControl, prop);
    CritSecLock lock(&propLock_);
    if (i < 0 || props_[i].caps == 0) return kPropIdUnsupported;
    *min = props_[i].min;
    *max = props_[i].max;
    *step = props_[i].step;
    *def = props_[i].def;
    *caps = props_[i].caps;
    return S_OK;
}

HRESULT SimcamFilter::PropertySet(bool cameraControl, LONG prop, LONG value, LONG flags) {
    RefreshLiveState();
    const int i = FindPropertyIndex(cameraControl, prop);
    CritSecLock lock(&propLock_);
    if (i < 0 || props_[i].caps == 0) return kPropIdUnsupported;
    PropertyState& p = props_[i];
    if ((flags != kFlagAuto && flags != kFlagManual) || (flags & p.caps) == 0) return E_INVALIDARG;
    if (flags == kFlagManual) {
        if (value < p.min || value > p.max) return E_INVALIDARG;
        p.value = value;
    }
    p.flags = flags;
    // Stored so that the camera keeps it across graphs and processes, like a real one.
    SaveProperty(name_, i, p);
    return S_OK;
}

HRESULT SimcamFilter::PropertyGet(bool cameraControl, LONG prop, LONG* value, LONG* flags) {
    if (value == nullptr || flags == nullptr) return E_POINTER;
    RefreshLiveState();
    const int i = FindPropertyIndex(cameraControl, prop);
    CritSecLock lock(&propLock_);
    if (i < 0 || props_[i].caps == 0) return kPropIdUnsupported;
    *value = props_[i].value;
    *flags = props_[i].flags;
    return S_OK;
}
