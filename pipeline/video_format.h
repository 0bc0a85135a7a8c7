// The one record of the open stream and the hand-over points between the capture
// framework's streaming thread and the main thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "pipeline/image_filters.h"
#include "pipeline/media_subtype.h"
#include "pipeline/ring_queue.h"

// Notices the pipeline posts to the camera view (wParam 0, lParam 0).
constexpr UINT WM_APP_STILL_READY = WM_APP + 4;
constexpr UINT WM_APP_TEST_PATTERN = WM_APP + 7;

constexpr int kRingSlots = 4;
constexpr float kDefaultFrameRate = 30.0f;

struct VideoFormat {
    MediaSubtype subtype;  // all zero when nothing is open
    int32_t width;
    int32_t height;
    int32_t interpolated;  // the stream runs at 640 x 480 for a larger chosen size
    float frameRate;
    HWND viewWindow;
    volatile LONG recording;
    volatile LONG paused;
    volatile LONG startNotified;
    volatile LONG recordCompressed;  // the file being written is MJPG: samples may pass through
    wchar_t recordPath[260];
};

struct FrameRing {
    uint8_t* slots[kRingSlots];
    LONG publishedIndex;         // guarded by frameLock
    CRITICAL_SECTION frameLock;  // guards publishedIndex and nothing else
    volatile LONG graphActive;   // a capture graph exists: frames may be read
};

struct RecordFrame {
    uint8_t* data;  // heap copy owned by the queue until the writer takes it
    size_t size;
    size_t capacity;  // of the block, which is kept for later copies that fit it
    bool compressed;  // the camera's own JPEG sample, not a decoded frame
};

struct RecordQueue {
    RingQueue<RecordFrame> frames;  // room for `limit` made at the start: appending never allocates
    size_t limit;   // frames it may hold (0: any number); more are dropped, not queued
    size_t byteLimit;  // bytes of copies it may hold (0: any number)
    size_t bytes;      // bytes of the copies it holds
    LONG dropped;   // frames of this recording that never reached the file
    // Copies the writer has finished with, kept for the next frames: a frame-sized heap
    // block taken fresh for every frame costs more than copying the frame into it.
    std::vector<RecordFrame> spares;
    CRITICAL_SECTION queueLock;
    HANDLE frameReady;  // manual reset: set on append, reset by the writer when it takes the last
    HANDLE writerDone;  // manual reset: set by the writer once its file is closed
};

// The last still-pin image. The lock keeps a still that arrives during a save from
// freeing the image the saver is reading.
struct StillImage {
    uint8_t* pixels;
    size_t size;
    CRITICAL_SECTION lock;
};

struct PipelineState {
    VideoFormat format;
    FrameRing ring;
    PreviewFlags preview;
    StillImage still;
    RecordQueue queue;
    bool locksLive;        // the frame and still locks are initialised
    bool queueLockLive;    // the queue lock is initialised
    bool writerAbandoned;  // a writer outlived its wait: its queue and queue lock stay
    HANDLE abandonedEvents[2];  // that writer's frameReady and writerDone: never closed
};

extern PipelineState g_pipeline;

// When the view is created, before any device opens. Locks that are live already are kept,
// and a still image of an earlier view is freed.
void Pipeline_Initialise(HWND viewWindow);
// When the view is destroyed: frees the still image and deletes the locks (unless an
// abandoned writer may still take the queue lock).
void Pipeline_Shutdown();
// What the camera was set to: the open stream's subtype, size and interpolated flag.
void Pipeline_SetOpenFormat(const MediaSubtype& subtype, int32_t width, int32_t height,
                            int32_t interpolated);
// After the format is fixed: four zeroed slots of width * height * 3 bytes.
bool Pipeline_AllocateRing();
// The recorder's two events, manual reset and not signalled, for a new graph.
void Pipeline_CreateRecordEvents();
// A graph exists from here on: frames may be read.
void Pipeline_MarkGraphActive();
// The newest frame, or null when no graph exists. No lock is held while the caller reads it.
const uint8_t* Pipeline_CurrentFrame();
// Part of closing a device: frees the ring, clears the flags and the format.
void Pipeline_Reset();
// A recording starts: the queue is emptied, holds at most `limit` frames and `byteLimit` bytes
// from now on (room for them and for the writer's spare copies is made here, not on the
// streaming thread) and counts its drops from 0.
void Pipeline_StartRecordQueue(size_t limit, size_t byteLimit);
// Appends a copy of one frame for the recorder (streaming thread). False when the frame is
// dropped because the queue is full or memory ran out.
bool Pipeline_QueueRecordFrame(const uint8_t* frame, size_t size);
// The same for a camera's JPEG sample written to a compressed video as it came.
bool Pipeline_QueueRecordSample(const uint8_t* sample, size_t size);
// Whether a recording writes this stream's samples themselves: a compressed video of an MJPG
// camera whose frames are recorded as they come (no horizontal flip, no filter).
bool Pipeline_SamplesPassThrough();
// The writer takes the oldest frame (false when there is none); frameReady is reset when
// the queue becomes empty. The writer hands the copy back when it is done with it.
bool Pipeline_TakeRecordFrame(RecordFrame* frame);
void Pipeline_ReturnRecordFrame(const RecordFrame& frame);
// Frames dropped since the recording started.
LONG Pipeline_RecordFramesDropped();
// Main thread: clears the recording flag and, while a writer is running, keeps dispatching
// messages until it has drained the queue and closed its file (writerDone), at most
// `timeoutMs`; then frees the frame copies left. False if the writer did not finish in time:
// the writer is then abandoned, and the queue, its lock and the two events are never freed
// while it may still use them.
bool Pipeline_FinishRecording(DWORD timeoutMs);
// Whether the writer that sets `writerDone` was given up on by a wait that ran out.
bool Pipeline_WriterAbandoned(HANDLE writerDone);
// Frees every queued and spare frame copy (after the writer has stopped); queued ones count
// as dropped.
void Pipeline_DiscardRecordQueue();
// Main thread: dispatches messages until `object` is signalled (true) or `timeoutMs` has
// passed (false). A WM_QUIT met meanwhile is posted again for the caller's loop.
bool Pipeline_WaitDispatching(HANDLE object, DWORD timeoutMs);
