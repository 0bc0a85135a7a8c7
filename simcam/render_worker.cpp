#include "simcam/render_worker.h"

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

RenderWorker::RenderWorker(const SimFormat& format, size_t capacity)
    : format_(format), capacity_(capacity) {
    InitializeCriticalSection(&lock_);
    wake_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

RenderWorker::~RenderWorker() {
    if (thread_ != nullptr) {
        SetEvent(stop_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (wake_ != nullptr) CloseHandle(wake_);
    if (stop_ != nullptr) CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

bool RenderWorker::Start() {
    if (wake_ == nullptr || stop_ == nullptr) return false;
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    return thread_ != nullptr;
}

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
    }
}

size_t RenderWorker::Sample(SimMode mode, const SceneControls& controls, uint64_t sequence,
                            uint8_t* out, size_t capacity) {
    CritSecLock lock(&lock_);
    const bool stale = !havePicture_ || picture_.mode != mode ||
                       !SameControls(picture_.controls, controls);
    // Resting as long as the last rendering took keeps the renderer to half a processor.
    if (!busy_ && (stale || NowMs() - renderEnd_ >= renderCost_)) {
        busy_ = true;
        wantedMode_ = mode;
        wantedControls_ = controls;
        SetEvent(wake_);
    }
    return havePicture_ ? SampleFromPicture(picture_, sequence, out, capacity) : 0;
}
