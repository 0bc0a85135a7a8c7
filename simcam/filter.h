// The simulated camera as a DirectShow source filter: a capture pin with stream
// configuration, an optional still pin, the proc-amp and camera-control interfaces.
#pragma once
#include <windows.h>
#include <strmif.h>

#include <functional>
#include <string>
#include <vector>

#include "simcam/camera_config.h"

extern HMODULE g_simcamModule;
void SimcamObjectCreated();
void SimcamObjectDestroyed();

class SimcamFilter;

// Holds a critical section for one scope.
class CritSecLock {
public:
    explicit CritSecLock(CRITICAL_SECTION* cs) : cs_(cs) { EnterCriticalSection(cs_); }
    ~CritSecLock() { LeaveCriticalSection(cs_); }
    CritSecLock(const CritSecLock&) = delete;
    CritSecLock& operator=(const CritSecLock&) = delete;

private:
    CRITICAL_SECTION* cs_;
};

class SimcamPin final : public IPin, public IAMStreamConfig, public IKsPropertySet {
public:
    SimcamPin(SimcamFilter* filter, bool still);
    ~SimcamPin();
    SimcamPin(const SimcamPin&) = delete;
    SimcamPin& operator=(const SimcamPin&) = delete;

    // IUnknown: the pin lives and dies with its filter.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPin
    STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override;
    STDMETHODIMP QueryId(LPWSTR* id) override;
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IAMStreamConfig (capture pin only)
    STDMETHODIMP SetFormat(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP GetFormat(AM_MEDIA_TYPE** ppmt) override;
    STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
    STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** ppmt, BYTE* scc) override;

    // IKsPropertySet: only the pin category is readable.
    STDMETHODIMP Set(REFGUID set, DWORD id, void* instance, DWORD instanceBytes, void* data,
                     DWORD dataBytes) override;
    STDMETHODIMP Get(REFGUID set, DWORD id, void* instance, DWORD instanceBytes, void* data,
                     DWORD dataBytes, DWORD* returned) override;
    STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // Called by the filter with its lock held.
    const wchar_t* Name() const { return still_ ? L"Still" : L"Capture"; }
    bool IsConnected() const { return connected_ != nullptr; }
    HRESULT Activate();                            // commits the allocator, starts streaming
    void Deactivate(HANDLE* thread, HANDLE* stop);  // signals; the caller joins unlocked
    void ReleaseConnection();
    // Formats the pin offers now: the set format alone after SetFormat, else all.
    std::vector<SimFormat> OfferedFormats() const;

    SimcamFilter* filter() const { return filter_; }
    // The streaming thread's body; returns when `stop` is signalled.
    void Stream(HANDLE stop, IMemAllocator* allocator, IMemInputPin* input,
                const SimFormat& format);

private:
    bool AcceptsLocked(const AM_MEDIA_TYPE* pmt) const;
    HRESULT TryConnection(IPin* receivePin, const AM_MEDIA_TYPE* mt);
    HRESULT DecideAllocator(IMemInputPin* input, const SimFormat& format, IMemAllocator** out);
    // Fills a sample buffer: (mode, controls, sequence, buffer, capacity) -> length, 0 for none.
    using SampleFiller =
        std::function<size_t(SimMode, const SceneControls&, uint64_t, BYTE*, size_t)>;
    HRESULT DeliverOne(IMemAllocator* allocator, IMemInputPin* input, struct StreamState* state,
                       const SampleFiller& fill);
    void StreamFrames(HANDLE stop, IMemAllocator* allocator, IMemInputPin* input,
                      const SimFormat& format);
    void StreamStills(HANDLE stop, IMemAllocator* allocator, IMemInputPin* input,
                      const SimFormat& format);

    SimcamFilter* const filter_;
    const bool still_;
    // Under the filter's lock:
    IPin* connected_ = nullptr;
    IMemInputPin* input_ = nullptr;
    IMemAllocator* allocator_ = nullptr;
    AM_MEDIA_TYPE mt_ = {};
    bool hasSetFormat_ = false;
    SimFormat setFormat_;
    HANDLE thread_ = nullptr;
    HANDLE stop_ = nullptr;
};

// IAMVideoProcAmp and IAMCameraControl share method signatures, so each is its own
// small object that forwards to the filter.
template <typename Interface, bool kCameraControl>
class PropertyFacet final : public Interface {
public:
    explicit PropertyFacet(SimcamFilter* filter) : filter_(filter) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetRange(LONG prop, LONG* min, LONG* max, LONG* step, LONG* def,
                          LONG* caps) override;
    STDMETHODIMP Set(LONG prop, LONG value, LONG flags) override;
    STDMETHODIMP Get(LONG prop, LONG* value, LONG* flags) override;

private:
    SimcamFilter* const filter_;
};
using ProcAmpFacet = PropertyFacet<IAMVideoProcAmp, false>;
using CameraControlFacet = PropertyFacet<IAMCameraControl, true>;

class SimcamFilter final : public IBaseFilter {
public:
    // Builds the camera `name` from its stored configuration (defaults when it has none).
    static HRESULT Create(const std::string& name, REFCLSID clsid, REFIID riid, void** ppv);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    // Shared with the pins and facets.
    CRITICAL_SECTION* lock() { return &lock_; }
    FILTER_STATE StateLocked() const { return state_; }
    const CameraConfig& config() const { return config_; }  // fixed after creation
    const std::string& cameraName() const { return name_; }
    HANDLE runEvent() const { return runEvent_; }
    LONG RunGeneration() const { return runGeneration_; }
    IFilterGraph* GraphLocked() const { return graph_; }
    SimcamPin* capturePin() { return &capture_; }
    // Stream time of "now" relative to the last Run.
    REFERENCE_TIME StreamTimeNow();
    // Re-reads the registry (at most twice a second) so that settings made from outside
    // reach a running camera; false once the camera has been unplugged.
    bool RefreshLiveState();
    void PictureState(SceneControls* controls, SimMode* mode);
    bool Stalled();
    // Called once when streaming finds the camera unplugged.
    void ReportDeviceLost();

    HRESULT PropertyRange(bool cameraControl, LONG prop, LONG* min, LONG* max, LONG* step,
                          LONG* def, LONG* caps);
    HRESULT PropertySet(bool cameraControl, LONG prop, LONG value, LONG flags);
    HRESULT PropertyGet(bool cameraControl, LONG prop, LONG* value, LONG* flags);

    // A streaming thread keeps the filter's memory alive until it has ended.
    void AddLiveRef() { InterlockedIncrement(&liveRefs_); }
    void ReleaseLiveRef();

private:
    SimcamFilter(const std::string& name, REFCLSID clsid, const CameraConfig& config);
    ~SimcamFilter();
    int FindPropertyIndex(bool cameraControl, LONG prop) const;

    LONG refs_ = 1;
    LONG liveRefs_ = 1;  // the COM references count as one
    CRITICAL_SECTION lock_;
    CRITICAL_SECTION propLock_;
    const std::string name_;
    const CLSID clsid_;
    const CameraConfig config_;
    HANDLE runEvent_ = nullptr;  // manual reset; set while running
    LONG runGeneration_ = 0;

    // Under lock_:
    FILTER_STATE state_ = State_Stopped;
    REFERENCE_TIME start_ = 0;
    LONGLONG runQpc_ = 0;
    IReferenceClock* clock_ = nullptr;
    IFilterGraph* graph_ = nullptr;  // not counted: the graph owns us
    wchar_t graphName_[128] = {};
    SimcamPin capture_;
    SimcamPin still_;

    // Under propLock_:
    PropertyState props_[kPropertyCount];
    SimMode mode_;
    ULONGLONG lastRefresh_ = 0;
    bool plugged_ = true;
    bool lostReported_ = false;

    ProcAmpFacet procAmp_;
    CameraControlFacet cameraControl_;
};
