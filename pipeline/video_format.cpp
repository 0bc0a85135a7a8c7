#include "pipeline/video_format.h"

#include <cstring>
#include <optional>

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

// An abandoned writer may still wait on or set its own pair at any time: those two are only
// dropped. Every later pair is closed as usual.
void ReleaseRecordEvents() {
    for (HANDLE* event : {&g_pipeline.queue.frameReady, &g_pipeline.queue.writerDone}) {
        const HANDLE* abandoned = g_pipeline.abandonedEvents;
        if (*event == abandoned[0] || *event == abandoned[1]) {
            *event = nullptr;
        } else {
            CloseEvent(*event);
        }
    }
}

void FreeStill() {
    EnterCriticalSection(&g_pipeline.still.lock);
    if (g_pipeline.still.pixels != nullptr) HeapFree(GetProcessHeap(), 0, g_pipeline.still.pixels);
    g_pipeline.still.pixels = nullptr;
    g_pipeline.still.size = 0;
    LeaveCriticalSection(&g_pipeline.still.lock);
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
    f.recordCompressed = 0;
    f.recordPath[0] = L'\0';
}

}  // namespace

void Pipeline_Initialise(HWND viewWindow) {
    ClearFormat();
    g_pipeline.format.viewWindow = viewWindow;
    std::memset(&g_pipeline.preview, 0, sizeof g_pipeline.preview);
    // Initialising a live critical section would drop whoever holds it.
    if (!g_pipeline.queueLockLive) {
        InitializeCriticalSection(&g_pipeline.queue.queueLock);
        g_pipeline.queueLockLive = true;
    }
    if (!g_pipeline.locksLive) {
        InitializeCriticalSection(&g_pipeline.ring.frameLock);
        InitializeCriticalSection(&g_pipeline.still.lock);
        g_pipeline.locksLive = true;
        g_pipeline.still.pixels = nullptr;
        g_pipeline.still.size = 0;
    } else {
        FreeStill();
    }
    FreeSlots();
    g_pipeline.ring.publishedIndex = 0;
    g_pipeline.ring.graphActive = 0;
    ReleaseRecordEvents();
}

void Pipeline_Shutdown() {
    if (!g_pipeline.locksLive) return;
    FreeStill();
    DeleteCriticalSection(&g_pipeline.ring.frameLock);
    DeleteCriticalSection(&g_pipeline.still.lock);
    g_pipeline.locksLive = false;
    if (g_pipeline.queueLockLive && !g_pipeline.writerAbandoned) {
        DeleteCriticalSection(&g_pipeline.queue.queueLock);
        g_pipeline.queueLockLive = false;
    }
}

void Pipeline_SetOpenFormat(const MediaSubtype& subtype, int32_t width, int32_t height,
                            int32_t interpolated) {
    VideoFormat& f = g_pipeline.format;
    f.subtype = subtype;
    f.width = width;
    f.height = height;
    f.interpolated = interpolated;
}

void Pipeline_CreateRecordEvents() {
    ReleaseRecordEvents();
    g_pipeline.queue.frameReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_pipeline.queue.writerDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

void Pipeline_MarkGraphActive() { g_pipeline.ring.graphActive = 1; }

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
    ReleaseRecordEvents();
}

namespace {

// As many as may be in the writer's hands and the camera's at once.
constexpr size_t kMostSpares = 4;

}  // namespace

void Pipeline_StartRecordQueue(size_t limit, size_t byteLimit) {
    Pipeline_DiscardRecordQueue();
    RecordQueue& q = g_pipeline.queue;
    EnterCriticalSection(&q.queueLock);
    q.limit = limit;
    q.byteLimit = byteLimit;
    q.dropped = 0;
    try {
        q.frames.reserve(limit);
        q.spares.reserve(kMostSpares);
    } catch (...) {
        // Short of memory now: appending tries to make the room, and drops what it cannot.
    }
    LeaveCriticalSection(&q.queueLock);
}

namespace {

// Samples vary in size: their blocks are rounded up, so that a kept one fits most later ones.
size_t BlockSize(size_t size, bool compressed) {
    constexpr size_t kSampleGrain = size_t{64} << 10;
    return compressed ? (size + size / 4 + kSampleGrain - 1) / kSampleGrain * kSampleGrain : size;
}

// A block for one copy: a spare that fits, else a new one. Empty when the queue is full or
// memory ran out.
RecordFrame ReserveRecordCopy(RecordQueue& q, size_t size, bool compressed) {
    RecordFrame copy = {nullptr, size, 0, compressed};
    bool room = false;
    EnterCriticalSection(&q.queueLock);
    room = (q.limit == 0 || q.frames.size() < q.limit) &&
           (q.byteLimit == 0 || q.bytes + size <= q.byteLimit);
    if (room && !q.spares.empty() && q.spares.back().capacity >= size) {
        copy.data = q.spares.back().data;
        copy.capacity = q.spares.back().capacity;
        q.spares.pop_back();
    }
    LeaveCriticalSection(&q.queueLock);
    if (room && copy.data == nullptr) {
        copy.capacity = BlockSize(size, compressed);
        copy.data = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, copy.capacity));
    }
    return copy;
}

// The copy is made outside the lock: the writer, which takes frames under it, keeps writing
// meanwhile. Only the streaming thread appends, so the room found stays there.
bool QueueCopy(const uint8_t* data, size_t size, bool compressed) {
    RecordQueue& q = g_pipeline.queue;
    RecordFrame copy = ReserveRecordCopy(q, size, compressed);
    if (copy.data != nullptr) std::memcpy(copy.data, data, size);
    bool queued = false;
    EnterCriticalSection(&q.queueLock);
    if (copy.data != nullptr) {
        try {
            q.frames.push_back(copy);
            q.bytes += size;
            queued = true;
        } catch (...) {
            HeapFree(GetProcessHeap(), 0, copy.data);
        }
        if (queued && q.frameReady != nullptr) SetEvent(q.frameReady);
    }
    if (!queued) ++q.dropped;
    LeaveCriticalSection(&q.queueLock);
    return queued;
}

}  // namespace

bool Pipeline_QueueRecordFrame(const uint8_t* frame, size_t size) {
    return QueueCopy(frame, size, false);
}

bool Pipeline_QueueRecordSample(const uint8_t* sample, size_t size) {
    return QueueCopy(sample, size, true);
}

bool Pipeline_SamplesPassThrough() {
    const VideoFormat& f = g_pipeline.format;
    const PreviewFlags& p = g_pipeline.preview;
    // The vertical flip, the enlargement of an interpolated stream and the digital zoom are the
    // view's alone: the frames recorded are the camera's size and never carry them.
    return f.recordCompressed && SameSubtype(f.subtype, kSubtypeMjpg) && !p.flipHorizontal &&
           !p.gray && !p.binary && !p.invert && !p.emboss;
}

bool Pipeline_TakeRecordFrame(RecordFrame* frame) {
    RecordQueue& q = g_pipeline.queue;
    EnterCriticalSection(&q.queueLock);
    const bool taken = !q.frames.empty();
    if (taken) {
        *frame = q.frames.front();
        q.frames.pop_front();
        q.bytes -= frame->size;
    }
    if (q.frames.empty() && q.frameReady != nullptr) ResetEvent(q.frameReady);
    LeaveCriticalSection(&q.queueLock);
    return taken;
}

void Pipeline_ReturnRecordFrame(const RecordFrame& frame) {
    RecordQueue& q = g_pipeline.queue;
    EnterCriticalSection(&q.queueLock);
    bool kept = false;
    if (q.spares.size() < kMostSpares) {
        try {
            q.spares.push_back(frame);
            kept = true;
        } catch (...) {
        }
    }
    LeaveCriticalSection(&q.queueLock);
    if (!kept) HeapFree(GetProcessHeap(), 0, frame.data);
}

LONG Pipeline_RecordFramesDropped() {
    EnterCriticalSection(&g_pipeline.queue.queueLock);
    const LONG dropped = g_pipeline.queue.dropped;
    LeaveCriticalSection(&g_pipeline.queue.queueLock);
    return dropped;
}

bool Pipeline_WriterAbandoned(HANDLE writerDone) {
    return writerDone != nullptr && writerDone == g_pipeline.abandonedEvents[1];
}

void Pipeline_DiscardRecordQueue() {
    EnterCriticalSection(&g_pipeline.queue.queueLock);
    RingQueue<RecordFrame>& frames = g_pipeline.queue.frames;
    g_pipeline.queue.dropped += static_cast<LONG>(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) HeapFree(GetProcessHeap(), 0, frames[i].data);
    for (RecordFrame& f : g_pipeline.queue.spares) HeapFree(GetProcessHeap(), 0, f.data);
    g_pipeline.queue.frames.clear();
    g_pipeline.queue.spares.clear();
    g_pipeline.queue.bytes = 0;
    LeaveCriticalSection(&g_pipeline.queue.queueLock);
}

bool Pipeline_WaitDispatching(HANDLE object, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    std::optional<WPARAM> quit;
    bool signalled = false;
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        const DWORD r = elapsed >= timeoutMs
                            ? WaitForSingleObject(object, 0)
                            : MsgWaitForMultipleObjects(1, &object, FALSE, timeoutMs - elapsed,
                                                        QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            signalled = true;
            break;
        }
        if (r != WAIT_OBJECT_0 + 1) break;
        // Everything that is waiting: what is left in the queue counts as seen and would not
        // wake the wait again, so timers and paints would stall until the object is signalled.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = msg.wParam;  // the loop that called us ends the program, not this one
                continue;
            }
            DispatchMessageW(&msg);
        }
    }
    if (quit) PostQuitMessage(static_cast<int>(*quit));
    return signalled;
}

bool Pipeline_FinishRecording(DWORD timeoutMs) {
    VideoFormat& f = g_pipeline.format;
    if (!f.recording) return true;
    f.recording = 0;
    HANDLE done = g_pipeline.queue.writerDone;
    if (done == nullptr) return true;
    if (!Pipeline_WaitDispatching(done, timeoutMs)) {
        g_pipeline.writerAbandoned = true;
        g_pipeline.abandonedEvents[0] = g_pipeline.queue.frameReady;
        g_pipeline.abandonedEvents[1] = done;
        OutputDebugStringA("Video writer did not finish; its queue is left to it\r\n");
        return false;
    }
    ResetEvent(done);
    // The copies kept for the next frames are not needed until the next recording.
    Pipeline_DiscardRecordQueue();
    return true;
}
