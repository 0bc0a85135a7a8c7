// The camera's output pins: connection and allocator negotiation, stream configuration,
// and the streaming threads.
#include <windows.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "simcam/enumerators.h"
#include "simcam/filter.h"
#include "simcam/frame_maker.h"
#include "simcam/frame_schedule.h"
#include "simcam/media_types.h"
#include "simcam/registration.h"
#include "simcam/render_worker.h"

namespace {

const HRESULT kPropSetUnsupported = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);
const HRESULT kPropIdUnsupported = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
constexpr long kCaptureBuffers = 4;
constexpr long kStillBuffers = 2;
constexpr DWORD kRetryAfterFailureMs = 10;

// A partial type (null fields) matches anything in those fields.
bool MatchesPartial(const AM_MEDIA_TYPE* partial, const AM_MEDIA_TYPE* mt) {
    if (partial == nullptr) return true;
    auto fits = [](REFGUID want, REFGUID have) {
        return IsEqualGUID(want, GUID_NULL) || IsEqualGUID(want, have);
    };
    return fits(partial->majortype, mt->majortype) && fits(partial->subtype, mt->subtype) &&
           fits(partial->formattype, mt->formattype);
}

bool Contains(const std::vector<SimFormat>& formats, const SimFormat& f) {
    return std::find(formats.begin(), formats.end(), f) != formats.end();
}

struct StreamArgs {
    SimcamPin* pin;
    HANDLE stop;
    IMemAllocator* allocator;
    IMemInputPin* input;
    SimFormat format;
};

DWORD WINAPI StreamThreadMain(void* param) {
    auto* args = static_cast<StreamArgs*>(param);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    args->pin->Stream(args->stop, args->allocator, args->input, args->format);
    args->allocator->Release();
    args->input->Release();
    CloseHandle(args->stop);
    SimcamFilter* filter = args->pin->filter();
    delete args;
    if (SUCCEEDED(com)) CoUninitialize();
    filter->ReleaseLiveRef();
    // The thread holds its own reference to the DLL, so the code it runs stays mapped.
    FreeLibraryAndExitThread(g_simcamModule, 0);
    return 0;
}

}  // namespace

// What one streaming thread carries from sample to sample.
struct StreamState {
    uint64_t sequence = 0;       // samples delivered
    REFERENCE_TIME lastEnd = 0;  // end time of the last sample
};

SimcamPin::SimcamPin(SimcamFilter* filter, bool still) : filter_(filter), still_(still) {}

SimcamPin::~SimcamPin() { ReleaseConnection(); }

STDMETHODIMP SimcamPin::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPin)) {
        *ppv = static_cast<IPin*>(this);
    } else if (IsEqualIID(riid, IID_IKsPropertySet)) {
        *ppv = static_cast<IKsPropertySet*>(this);
    } else if (IsEqualIID(riid, IID_IAMStreamConfig) && !still_) {
        *ppv = static_cast<IAMStreamConfig*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) SimcamPin::AddRef() { return filter_->AddRef(); }
STDMETHODIMP_(ULONG) SimcamPin::Release() { return filter_->Release(); }

std::vector<SimFormat> SimcamPin::OfferedFormats() const {
    // A still frame has the size of the stream, as the program decodes it at that size.
    if (still_) return filter_->capturePin()->OfferedFormats();
    CritSecLock lock(filter_->lock());
    if (hasSetFormat_) return {setFormat_};
    return filter_->config().formats;
}

bool SimcamPin::AcceptsLocked(const AM_MEDIA_TYPE* pmt) const {
    SimFormat f;
    return FormatOfMediaType(pmt, &f) && Contains(OfferedFormats(), f);
}

HRESULT SimcamPin::DecideAllocator(IMemInputPin* input, const SimFormat& format,
                                   IMemAllocator** out) {
    ALLOCATOR_PROPERTIES wanted = {};
    input->GetAllocatorRequirements(&wanted);  // E_NOTIMPL is common
    wanted.cBuffers = std::max(wanted.cBuffers, still_ ? kStillBuffers : kCaptureBuffers);
    wanted.cbBuffer = std::max(wanted.cbBuffer, static_cast<long>(MaxSampleBytes(format)));
    wanted.cbAlign = std::max(wanted.cbAlign, 1L);
    wanted.cbPrefix = std::max(wanted.cbPrefix, 0L);

    auto setUp = [&](IMemAllocator* allocator) {
        ALLOCATOR_PROPERTIES actual = {};
        HRESULT hr = allocator->SetProperties(&wanted, &actual);
        if (SUCCEEDED(hr) && actual.cbBuffer < wanted.cbBuffer) hr = VFW_E_BUFFER_OVERFLOW;
        if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator, FALSE);
        return hr;
    };
    // The downstream pin's own allocator first; ours when it has none to give.
    IMemAllocator* allocator = nullptr;
    if (SUCCEEDED(input->GetAllocator(&allocator))) {
        if (SUCCEEDED(setUp(allocator))) {
            *out = allocator;
            return S_OK;
        }
        allocator->Release();
        allocator = nullptr;
    }
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IMemAllocator, reinterpret_cast<void**>(&allocator));
    if (FAILED(hr)) return hr;
    hr = setUp(allocator);
    if (FAILED(hr)) {
        allocator->Release();
        return hr;
    }
    *out = allocator;
    return S_OK;
}

HRESULT SimcamPin::TryConnection(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
    SimFormat format;
    if (!FormatOfMediaType(mt, &format)) return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = receivePin->ReceiveConnection(this, mt);
    if (FAILED(hr)) return hr;
    IMemInputPin* input = nullptr;
    IMemAllocator* allocator = nullptr;
    hr = receivePin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (SUCCEEDED(hr)) hr = DecideAllocator(input, format, &allocator);
    if (SUCCEEDED(hr)) hr = CopyMediaType(&mt_, mt);
    if (FAILED(hr)) {
        if (allocator != nullptr) allocator->Release();
        if (input != nullptr) input->Release();
        receivePin->Disconnect();
        return hr;
    }
    connected_ = receivePin;
    connected_->AddRef();
    input_ = input;
    allocator_ = allocator;
    return S_OK;
}

STDMETHODIMP SimcamPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* pmt) {
    if (receivePin == nullptr) return E_POINTER;
    CritSecLock lock(filter_->lock());
    if (connected_ != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (filter_->StateLocked() != State_Stopped) return VFW_E_NOT_STOPPED;

    SimFormat wanted;
    if (pmt != nullptr && FormatOfMediaType(pmt, &wanted)) {
        if (!AcceptsLocked(pmt)) return VFW_E_TYPE_NOT_ACCEPTED;
        return TryConnection(receivePin, pmt);
    }
    const CameraConfig& config = filter_->config();
    for (const SimFormat& f : OfferedFormats()) {
        AM_MEDIA_TYPE mt;
        if (FAILED(FillMediaType(f, config.fps, config.videoInfo2, &mt))) return E_OUTOFMEMORY;
        const HRESULT hr = MatchesPartial(pmt, &mt) ? TryConnection(receivePin, &mt) : E_FAIL;
        FreeMediaType(&mt);
        if (SUCCEEDED(hr)) return S_OK;
    }
    // Then whatever the receiver proposes that we can send.
    IEnumMediaTypes* types = nullptr;
    if (SUCCEEDED(receivePin->EnumMediaTypes(&types))) {
        AM_MEDIA_TYPE* mt = nullptr;
        bool connected = false;
        while (!connected && types->Next(1, &mt, nullptr) == S_OK) {
            connected = MatchesPartial(pmt, mt) && AcceptsLocked(mt) &&
                        SUCCEEDED(TryConnection(receivePin, mt));
            DeleteMediaType(mt);
        }
        types->Release();
        if (connected) return S_OK;
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

STDMETHODIMP SimcamPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

STDMETHODIMP SimcamPin::Disconnect() {
    CritSecLock lock(filter_->lock());
    if (filter_->StateLocked() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (connected_ == nullptr) return S_FALSE;
    ReleaseConnection();
    return S_OK;
}

void SimcamPin::ReleaseConnection() {
    if (allocator_ != nullptr) allocator_->Release();
    if (input_ != nullptr) input_->Release();
    if (connected_ != nullptr) connected_->Release();
    allocator_ = nullptr;
    input_ = nullptr;
    connected_ = nullptr;
    FreeMediaType(&mt_);
    mt_ = AM_MEDIA_TYPE();
}

STDMETHODIMP SimcamPin::ConnectedTo(IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    CritSecLock lock(filter_->lock());
    *pin = connected_;
    if (connected_ == nullptr) return VFW_E_NOT_CONNECTED;
    connected_->AddRef();
    return S_OK;
}

STDMETHODIMP SimcamPin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    CritSecLock lock(filter_->lock());
    if (connected_ == nullptr) {
        *pmt = AM_MEDIA_TYPE();
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(pmt, &mt_);
}

STDMETHODIMP SimcamPin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = PINDIR_OUTPUT;
    lstrcpynW(info->achName, Name(), MAX_PIN_NAME);
    return S_OK;
}

STDMETHODIMP SimcamPin::QueryDirection(PIN_DIRECTION* dir) {
    if (dir == nullptr) return E_POINTER;
    *dir = PINDIR_OUTPUT;
    return S_OK;
}

STDMETHODIMP SimcamPin::QueryId(LPWSTR* id) {
    if (id == nullptr) return E_POINTER;
    const size_t bytes = (lstrlenW(Name()) + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*id == nullptr) return E_OUTOFMEMORY;
    memcpy(*id, Name(), bytes);
    return S_OK;
}

STDMETHODIMP SimcamPin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    CritSecLock lock(filter_->lock());
    return AcceptsLocked(pmt) ? S_OK : S_FALSE;
}

STDMETHODIMP SimcamPin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    const CameraConfig& config = filter_->config();
    return CreateMediaTypeEnum(OfferedFormats(), config.fps, config.videoInfo2, ppEnum);
}

STDMETHODIMP SimcamPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP SimcamPin::EndOfStream() { return E_UNEXPECTED; }
STDMETHODIMP SimcamPin::BeginFlush() { return E_UNEXPECTED; }
STDMETHODIMP SimcamPin::EndFlush() { return E_UNEXPECTED; }
STDMETHODIMP SimcamPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return E_UNEXPECTED; }

// ---- Stream configuration ----

STDMETHODIMP SimcamPin::SetFormat(AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    IFilterGraph* graph = nullptr;
    {
        CritSecLock lock(filter_->lock());
        if (filter_->StateLocked() != State_Stopped) return VFW_E_NOT_STOPPED;
        SimFormat f;
        if (!FormatOfMediaType(pmt, &f) || !Contains(filter_->config().formats, f))
            return VFW_E_INVALIDMEDIATYPE;
        SimFormat current;
        const bool change = connected_ != nullptr &&
                            !(FormatOfMediaType(&mt_, &current) && current == f);
        if (change && connected_->QueryAccept(pmt) != S_OK) return VFW_E_INVALIDMEDIATYPE;
        hasSetFormat_ = true;
        setFormat_ = f;
        if (change) {
            graph = filter_->GraphLocked();
            if (graph != nullptr) graph->AddRef();
        }
    }
    if (graph == nullptr) return S_OK;
    const HRESULT hr = graph->Reconnect(this);
    graph->Release();
    return hr;
}

STDMETHODIMP SimcamPin::GetFormat(AM_MEDIA_TYPE** ppmt) {
    if (ppmt == nullptr) return E_POINTER;
    CritSecLock lock(filter_->lock());
    if (connected_ != nullptr) {
        *ppmt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        if (*ppmt == nullptr) return E_OUTOFMEMORY;
        const HRESULT hr = CopyMediaType(*ppmt, &mt_);
        if (FAILED(hr)) {
            CoTaskMemFree(*ppmt);
            *ppmt = nullptr;
        }
        return hr;
    }
    const CameraConfig& config = filter_->config();
    *ppmt = CreateMediaType(OfferedFormats().front(), config.fps, config.videoInfo2);
    return *ppmt != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SimcamPin::GetNumberOfCapabilities(int* count, int* size) {
    if (count == nullptr || size == nullptr) return E_POINTER;
    *count = static_cast<int>(filter_->config().formats.size());
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

STDMETHODIMP SimcamPin::GetStreamCaps(int index, AM_MEDIA_TYPE** ppmt, BYTE* scc) {
    if (ppmt == nullptr || scc == nullptr) return E_POINTER;
    const CameraConfig& config = filter_->config();
    if (index < 0 || index >= static_cast<int>(config.formats.size())) return S_FALSE;
    const SimFormat& f = config.formats[static_cast<size_t>(index)];
    *ppmt = CreateMediaType(f, config.fps, config.videoInfo2);
    if (*ppmt == nullptr) return E_OUTOFMEMORY;
    FillStreamCaps(f, config.fps, config.videoInfo2, reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(scc));
    return S_OK;
}

// ---- Pin category ----

STDMETHODIMP SimcamPin::Set(REFGUID set, DWORD, void*, DWORD, void*, DWORD) {
    return IsEqualGUID(set, AMPROPSETID_Pin) ? kPropIdUnsupported : kPropSetUnsupported;
}

STDMETHODIMP SimcamPin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataBytes,
                            DWORD* returned) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return kPropSetUnsupported;
    if (id != AMPROPERTY_PIN_CATEGORY) return kPropIdUnsupported;
    if (data == nullptr) return E_POINTER;
    if (dataBytes < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = still_ ? PIN_CATEGORY_STILL : PIN_CATEGORY_CAPTURE;
    if (returned != nullptr) *returned = sizeof(GUID);
    return S_OK;
}

STDMETHODIMP SimcamPin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (!IsEqualGUID(set, AMPROPSETID_Pin)) return kPropSetUnsupported;
    if (id != AMPROPERTY_PIN_CATEGORY) return kPropIdUnsupported;
    if (support != nullptr) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

// ---- Streaming ----

HRESULT SimcamPin::Activate() {
    SimFormat format;
    if (allocator_ == nullptr || input_ == nullptr) return VFW_E_NO_ALLOCATOR;
    if (!FormatOfMediaType(&mt_, &format)) return VFW_E_INVALIDMEDIATYPE;
    HRESULT hr = allocator_->Commit();
    if (FAILED(hr)) return hr;
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE threadStop = nullptr;
    if (stop_ == nullptr || !DuplicateHandle(GetCurrentProcess(), stop_, GetCurrentProcess(),
                                             &threadStop, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return E_OUTOFMEMORY;
    auto* args = new (std::nothrow) StreamArgs{this, threadStop, allocator_, input_, format};
    HMODULE module = nullptr;
    if (args == nullptr ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&StreamThreadMain), &module)) {
        delete args;
        CloseHandle(threadStop);
        return E_OUTOFMEMORY;
    }
    allocator_->AddRef();
    input_->AddRef();
    filter_->AddLiveRef();
    thread_ = CreateThread(nullptr, 0, StreamThreadMain, args, 0, nullptr);
    if (thread_ == nullptr) {
        allocator_->Release();
        input_->Release();
        CloseHandle(threadStop);
        delete args;
        filter_->ReleaseLiveRef();
        FreeLibrary(module);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void SimcamPin::Deactivate(HANDLE* thread, HANDLE* stop) {
    if (stop_ != nullptr) SetEvent(stop_);
    // Decommitting wakes a thread waiting for a free buffer.
    if (allocator_ != nullptr) allocator_->Decommit();
    *thread = thread_;
    *stop = stop_;
    thread_ = nullptr;
    stop_ = nullptr;
}

HRESULT SimcamPin::DeliverOne(IMemAllocator* allocator, IMemInputPin* input,
                              StreamState* state, const SampleFiller& fill) {
    IMediaSample* sample = nullptr;
    HRESULT hr = allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    const long capacity = sample->GetSize();
    SceneControls controls;
    SimMode mode;
    filter_->PictureState(&controls, &mode);
    const size_t length =
        fill(mode, controls, state->sequence, data, capacity > 0 ? static_cast<size_t>(capacity) : 0);
    if (length == 0) {
        sample->Release();
        return S_FALSE;
    }
    sample->SetActualDataLength(static_cast<long>(length));
    // Stamped with the graph clock; never overlapping the previous sample.
    REFERENCE_TIME start = std::max(filter_->StreamTimeNow(), state->lastEnd);
    REFERENCE_TIME end = start + FrameInterval(filter_->config().fps);
    sample->SetTime(&start, &end);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(state->sequence == 0);
    sample->SetPreroll(FALSE);
    hr = input->Receive(sample);
    sample->Release();
    if (SUCCEEDED(hr)) {
        state->lastEnd = end;
        ++state->sequence;
    }
    return hr;
}

void SimcamPin::Stream(HANDLE stop, IMemAllocator* allocator, IMemInputPin* input,
                       const SimFormat& format) {
    if (still_)
        StreamStills(stop, allocator, input, format);
    else
        StreamFrames(stop, allocator, input, format);
}

void SimcamPin::StreamFrames(HANDLE stop, IMemAllocator* allocator, IMemInputPin* input,
                             const SimFormat& format) {
    std::unique_ptr<CameraPerf> perf = CameraPerfFromEnvironment();
    RenderWorker worker(format, MaxSampleBytes(format), perf.get());
    if (!worker.Start()) return;
    double sendMs = 0;
    const SampleFiller fromWorker = [&](SimMode mode, const SceneControls& controls,
                                        uint64_t sequence, BYTE* out, size_t capacity) {
        const double begin = NowMs();
        const size_t length = worker.Sample(mode, controls, sequence, out, capacity);
        sendMs = NowMs() - begin;
        return length;
    };
    FrameSchedule schedule(1000.0 / filter_->config().fps);
    StreamState state;
    LONG generation = -1;
    const HANDLE untilRunning[2] = {stop, filter_->runEvent()};
    for (;;) {
        if (WaitForMultipleObjects(2, untilRunning, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
        const double now = NowMs();
        const LONG current = filter_->RunGeneration();
        if (current != generation) {
            generation = current;
            schedule.Restart(now);
            state.lastEnd = 0;
        }
        const double due = schedule.DueMs();
        if (now < due) {
            if (WaitForSingleObject(stop, static_cast<DWORD>(std::ceil(due - now))) != WAIT_TIMEOUT)
                break;
            continue;
        }
        const uint64_t skipped = schedule.Take(now);
        if (!filter_->RefreshLiveState()) {
            // Unplugged: a real camera goes silent and the graph hears of it.
            filter_->ReportDeviceLost();
            WaitForSingleObject(stop, INFINITE);
            break;
        }
        if (filter_->Stalled()) continue;
        const HRESULT hr = DeliverOne(allocator, input, &state, fromWorker);
        if (perf != nullptr && hr == S_OK) perf->Sent(due, now, sendMs, skipped);
        if (FAILED(hr) && WaitForSingleObject(stop, kRetryAfterFailureMs) != WAIT_TIMEOUT) break;
    }
    worker.Stop();
    if (perf != nullptr) WriteCameraPerf(*perf, worker.ThreadCpuMs());
}

void SimcamPin::StreamStills(HANDLE stop, IMemAllocator* allocator, IMemInputPin* input,
                             const SimFormat& format) {
    HANDLE trigger =
        CreateSemaphoreW(nullptr, 0, 1 << 20, StillTriggerName(filter_->cameraName()).c_str());
    // Presses from before this stream began are not this stream's.
    while (trigger != nullptr && WaitForSingleObject(trigger, 0) == WAIT_OBJECT_0) {
    }
    // A still is rendered when the button is pressed; a press is rare enough to wait for it.
    FrameMaker maker;
    const SampleFiller freshPicture = [&](SimMode mode, const SceneControls& controls,
                                          uint64_t sequence, BYTE* out, size_t capacity) {
        Picture picture;
        if (!maker.Render(format, mode, controls, SceneFrameNow(), capacity, &picture)) return size_t{0};
        return SampleFromPicture(picture, sequence, out, capacity);
    };
    StreamState state;
    const HANDLE waits[2] = {stop, trigger};
    for (;;) {
        if (WaitForMultipleObjects(trigger != nullptr ? 2 : 1, waits, FALSE, INFINITE) !=
            WAIT_OBJECT_0 + 1)
            break;
        // A press while the graph is paused is lost, as on a camera that is not streaming.
        if (WaitForSingleObject(filter_->runEvent(), 0) != WAIT_OBJECT_0) continue;
        if (!filter_->RefreshLiveState()) continue;
        DeliverOne(allocator, input, &state, freshPicture);
    }
    if (trigger != nullptr) CloseHandle(trigger);
}
