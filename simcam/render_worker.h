// Renders a capture stream's pictures on a thread of their own, so the stream keeps its
// frame rate however long a large picture takes: samples are cut from the newest picture.
#pragma once
#include <windows.h>

#include "simcam/frame_maker.h"

// Milliseconds of the performance counter.
double NowMs();
// The scene drifts 30 frames a second, continuously across graphs.
uint32_t SceneFrameNow();

class RenderWorker {
public:
    RenderWorker(const SimFormat& format, size_t capacity);
    ~RenderWorker();  // stops the thread and waits for it (at most one rendering)
    RenderWorker(const RenderWorker&) = delete;
    RenderWorker& operator=(const RenderWorker&) = delete;

    bool Start();

    // Sample number `sequence` cut from the newest picture; 0 while there is none yet.
    // Asks for a new picture (in `mode`, with `controls`) when the thread is idle and has
    // rested as long as its last rendering took, or at once when these differ from the
    // newest picture's.
    size_t Sample(SimMode mode, const SceneControls& controls, uint64_t sequence, uint8_t* out,
                  size_t capacity);

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Loop();

    const SimFormat format_;
    const size_t capacity_;
    FrameMaker maker_;  // the worker thread's
    HANDLE thread_ = nullptr;
    HANDLE wake_ = nullptr;  // auto reset: a picture is asked for
    HANDLE stop_ = nullptr;
    CRITICAL_SECTION lock_;
    // Under lock_:
    bool busy_ = false;
    SimMode wantedMode_ = SimMode::Live;
    SceneControls wantedControls_;
    bool havePicture_ = false;
    Picture picture_;
    double renderEnd_ = 0;
    double renderCost_ = 0;
};
