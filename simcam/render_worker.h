// Renders a capture stream's pictures on a thread of their own, so the stream keeps its
// frame rate however long a large picture takes: samples are cut from the newest picture.
#pragma once
#include <windows.h>

#include <memory>

#include "simcam/frame_maker.h"
#include "simcam/frame_schedule.h"

// Milliseconds of the performance counter.
double NowMs();
// The scene drifts 30 frames a second, continuously across graphs.
uint32_t SceneFrameNow();

// The measurement mode: with TESSALOOM_SIMCAM_PERF_LOG naming a file, each capture stream
// appends its figures there when it stops. Null when the mode is off.
std::unique_ptr<CameraPerf> CameraPerfFromEnvironment();
void WriteCameraPerf(const CameraPerf& perf, double renderThreadCpuMs);

class RenderWorker {
public:
    // `perf` (may be null) receives the time of each rendering.
    RenderWorker(const SimFormat& format, size_t capacity, CameraPerf* perf);
    ~RenderWorker();  // stops the thread
    RenderWorker(const RenderWorker&) = delete;
    RenderWorker& operator=(const RenderWorker&) = delete;

    bool Start();
    // Stops the thread and waits for it (at most one rendering).
    void Stop();
    // CPU time the thread used, once it has stopped.
    double ThreadCpuMs() const;

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
    CameraPerf* const perf_;
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
    double cpuMs_ = 0;  // written by the thread as it ends
};
