#include "simcam/render_worker.h"

#include <string>
#include <utility>

#include "simcam/filter.h"

double NowMs() {
    static const double msPerTick = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1000.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * msPerTick;
}

uint32_t SceneFrameNow() { return static_cast<uint32_t>(GetTickCount64() * 30 / 1000); }

namespace {

constexpr size_t kPerfCapacity = 110000;
constexpr double kRestPerRenderCost = 3.0;  // about an hour at 30 frames a second

std::wstring PerfPath() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"TESSALOOM_SIMCAM_PERF_LOG", path, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? std::wstring() : std::wstring(path);
}

double FileTimeMs(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 10000.0;
}

}  // namespace

std::unique_ptr<CameraPerf> CameraPerfFromEnvironment() {
    if (PerfPath().empty()) return nullptr;
    return std::make_unique<CameraPerf>(kPerfCapacity);
}

void WriteCameraPerf(const CameraPerf& perf, double renderThreadCpuMs) {
    HANDLE file = CreateFileW(PerfPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = perf.Summary(renderThreadCpuMs);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

RenderWorker::RenderWorker(const SimFormat& format, size_t capacity, CameraPerf* perf)
    : format_(format), capacity_(capacity), perf_(perf) {
    InitializeCriticalSection(&lock_);
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

RenderWorker::~RenderWorker() {
    Stop();
    if (thread_ != nullptr) CloseHandle(thread_);
    if (wake_ != nullptr) CloseHandle(wake_);
    if (stop_ != nullptr) CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

bool RenderWorker::Start() {
    if (wake_ == nullptr || stop_ == nullptr) return false;
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    return thread_ != nullptr;
}

void RenderWorker::Stop() {
    if (thread_ == nullptr) return;
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
}

double RenderWorker::ThreadCpuMs() const { return cpuMs_; }

DWORD WINAPI RenderWorker::ThreadMain(void* self) {
    static_cast<RenderWorker*>(self)->Loop();
    return 0;
}

void RenderWorker::Loop() {
    const HANDLE waits[2] = {stop_, wake_};
    while (WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        SimMode mode;
        SceneControls controls;
        {
            CritSecLock lock(&lock_);
            mode = wantedMode_;
            controls = wantedControls_;
        }
        const double begin = NowMs();
        Picture picture;
        const bool made = maker_.Render(format_, mode, controls, SceneFrameNow(), capacity_, &picture);
        CritSecLock lock(&lock_);
        if (made) {
            picture_ = std::move(picture);
            havePicture_ = true;
        }
        renderEnd_ = NowMs();
        renderCost_ = renderEnd_ - begin;
        busy_ = false;
        if (perf_ != nullptr) perf_->Rendered(renderCost_);
    }
    // Read by the thread itself: an ended thread's times are not kept everywhere.
    FILETIME created, exited, kernel, user;
    if (GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        cpuMs_ = FileTimeMs(kernel) + FileTimeMs(user);
}

size_t RenderWorker::Sample(SimMode mode, const SceneControls& controls, uint64_t sequence,
                            uint8_t* out, size_t capacity) {
    CritSecLock lock(&lock_);
    const bool stale = !havePicture_ || picture_.mode != mode ||
                       !SameControls(picture_.controls, controls);
    // Resting three times as long as the last rendering took keeps the renderer to a quarter
    // of a processor, so that the camera never costs the program it feeds much of its share.
    if (!busy_ && (stale || NowMs() - renderEnd_ >= kRestPerRenderCost * renderCost_)) {
        busy_ = true;
        wantedMode_ = mode;
        wantedControls_ = controls;
        SetEvent(wake_);
    }
    return havePicture_ ? SampleFromPicture(picture_, sequence, out, capacity) : 0;
}
