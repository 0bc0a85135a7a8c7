// The measurement mode. With TESSALOOM_PERF_LOG naming a file, the program times every
// sample callback (stage by stage, wall and thread CPU time) and every paint of the view,
// and writes the summary there when it ends. TESSALOOM_PERF_WARMUP_MS leaves the first
// milliseconds after the first sample out of the figures. When the mode is off, each timer
// costs one test of a flag.
#pragma once
#include <windows.h>

#include <cstdint>

#include "pipeline/perf_stats.h"

// At start-up, on the main thread, before any camera opens.
void Perf_Start();
// When the program ends, after the camera has stopped: writes the summary.
void Perf_Finish();

// Times one run of the sample callback on the streaming thread; recorded when it goes out
// of scope.
class CallbackTimer {
public:
    CallbackTimer();
    ~CallbackTimer();
    CallbackTimer(const CallbackTimer&) = delete;
    CallbackTimer& operator=(const CallbackTimer&) = delete;

    // The time since the previous mark (or the start) is added to `stage`.
    void Mark(FrameStage stage);
    // The sample became the frame in ring slot `slot`.
    void Published(int slot);
    // The recorder's copy of the frame was queued, or dropped by a full queue.
    void RecordCopied(bool queued);

private:
    bool on_;
    CallbackTiming timing_;
    double lastMark_ = 0;
    double cpuStart_ = 0;
};

// Times one frame of the video writer, on its thread; recorded when it goes out of scope.
class WriteTimer {
public:
    WriteTimer();
    ~WriteTimer();
    WriteTimer(const WriteTimer&) = delete;
    WriteTimer& operator=(const WriteTimer&) = delete;

private:
    bool on_;
    double start_ = 0;
    double cpuStart_ = 0;
};

// Times one paint of the camera view; recorded when it goes out of scope.
class PaintTimer {
public:
    PaintTimer();
    ~PaintTimer();
    PaintTimer(const PaintTimer&) = delete;
    PaintTimer& operator=(const PaintTimer&) = delete;

    // The paint drew this ring frame.
    void Drew(const uint8_t* frame);

private:
    bool on_;
    double start_ = 0;
    double cpuStart_ = 0;
    const uint8_t* frame_ = nullptr;
};
