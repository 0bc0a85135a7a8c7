#include "pipeline/video_format.h"

#include <cstring>

PipelineState g_pipeline;

namespace {

void FreeSlots() {
    for (auto& slot : g_pipeline.ring.slots) {
        if (slot != nullptr) HeapFree(GetProcessHeap(), 0, slot);
        slot = nullptr;
    }
}

void CloseEvent(HANDLE& event) {
    if (event != nullptr) CloseHandle(event);
    event = nullptr;
}

void ClearFormat() {
    VideoFormat& f = g_pipeline.format;
    f.subtype = kSubtypeNone;
    f.width = 0;
    f.height = 0;
    f.interpolated = 0;
    f.frameRate = kDefaultFrameRate;
    f.recording = 0;
    f.paused = 0;
    f.startNotified = 0;
    f.recordPath[0] = L'\0';
}

}  // namespace

void Pipeline_Initialise(HWND viewWindow) {
    ClearFormat();
    g_pipeline.format.viewWindow = viewWindow;
    std::memset(&g_pipeline.preview, 0, sizeof g_pipeline.preview);
    for (auto& slot : g_pipeline.ring.slots) slot = nullptr;
    g_pipeline.ring.publishedIndex = 0;
    g_pipeline.ring.graphActive = 0;
    InitializeCriticalSection(&g_pipeline.ring.frameLock);
    InitializeCriticalSection(&g_pipeline.queue.queueLock);
    InitializeCriticalSection(&g_pipeline.still.lock);
    g_pipeline.still.pixels = nullptr;
    g_pipeline.still.size = 0;
    g_pipeline.queue.frameReady = nullptr;
    g_pipeline.queue.writerDone = nullptr;
}

bool Pipeline_AllocateRing() {
    FreeSlots();
    const VideoFormat& f = g_pipeline.format;
    if (f.width <= 0 || f.height <= 0) return false;
    const size_t size = static_cast<size_t>(f.width) * static_cast<size_t>(f.height) * 3;
    for (auto& slot : g_pipeline.ring.slots) {
        // Zeroed: a slot shown before its first frame is black, never old heap contents.
        slot = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
        if (slot == nullptr) {
            FreeSlots();
            return false;
        }
    }
    EnterCriticalSection(&g_pipeline.ring.frameLock);
    g_pipeline.ring.publishedIndex = 0;
    LeaveCriticalSection(&g_pipeline.ring.frameLock);
    return true;
}

const uint8_t* Pipeline_CurrentFrame() {
    if (!g_pipeline.ring.graphActive) return nullptr;
    EnterCriticalSection(&g_pipeline.ring.frameLock);
    const LONG index = g_pipeline.ring.publishedIndex;
    LeaveCriticalSection(&g_pipeline.ring.frameLock);
    if (index < 0 || index >= kRingSlots) return nullptr;
    return g_pipeline.ring.slots[index];
}

void Pipeline_Reset() {
    g_pipeline.ring.graphActive = 0;
    FreeSlots();
    EnterCriticalSection(&g_pipeline.ring.frameLock);
    g_pipeline.ring.publishedIndex = 0;
    LeaveCriticalSection(&g_pipeline.ring.frameLock);
    std::memset(&g_pipeline.preview, 0, sizeof g_pipeline.preview);
    ClearFormat();
    CloseEvent(g_pipeline.queue.frameReady);
    CloseEvent(g_pipeline.queue.writerDone);
}

bool Pipeline_QueueRecordFrame(const uint8_t* frame, size_t size) {
    bool queued = false;
    EnterCriticalSection(&g_pipeline.queue.queueLock);
    auto* copy = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, size));
    if (copy != nullptr) {
        std::memcpy(copy, frame, size);
        try {
            g_pipeline.queue.frames.push_back({copy, size});
            queued = true;
        } catch (...) {
            HeapFree(GetProcessHeap(), 0, copy);
        }
        if (queued && g_pipeline.queue.frameReady != nullptr) SetEvent(g_pipeline.queue.frameReady);
    }
    LeaveCriticalSection(&g_pipeline.queue.queueLock);
    return queued;
}

void Pipeline_DiscardRecordQueue() {
    EnterCriticalSection(&g_pipeline.queue.queueLock);
    for (RecordFrame& f : g_pipeline.queue.frames) HeapFree(GetProcessHeap(), 0, f.data);
    g_pipeline.queue.frames.clear();
    LeaveCriticalSection(&g_pipeline.queue.queueLock);
}

bool Pipeline_FinishRecording(DWORD timeoutMs) {
    VideoFormat& f = g_pipeline.format;
    if (!f.recording) return true;
    f.recording = 0;
    HANDLE done = g_pipeline.queue.writerDone;
    if (done == nullptr) return true;
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        const DWORD r = MsgWaitForMultipleObjects(1, &done, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        if (r != WAIT_OBJECT_0 + 1) return false;
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    ResetEvent(done);
    return true;
}
