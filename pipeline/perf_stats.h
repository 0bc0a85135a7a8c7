// The figures of the measurement mode: per-frame times of the sample callback and the
// view's paint, gathered into medians, 95th percentiles and maxima, and the summary text
// written when the program ends. Portable; the Windows side only reads the clocks.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Median, 95th percentile and maximum by nearest rank, and the mean; all 0 for no values.
struct Distribution {
    size_t count = 0;
    double median = 0;
    double p95 = 0;
    double max = 0;
    double mean = 0;
};
Distribution Summarise(std::vector<double> values);

// The sample callback's stages, in the order they run.
enum FrameStage : int {
    kStageFill,       // MJPG decode or YUY2 conversion into the ring slot
    kStageFlip,       // horizontal mirror
    kStageFilter,     // gray, binary, invert or emboss
    kStagePublish,    // the frame lock and the view's invalidation
    kStageQueueCopy,  // the recorder's copy
    kFrameStageCount
};
const char* FrameStageName(int stage);

// What became of the recorder's copy of a frame.
enum class RecordCopy : uint8_t { None, Queued, Dropped };

// One sample through the callback; times in milliseconds on one monotonic clock.
struct CallbackTiming {
    double arrivalMs = 0;  // entry into the callback
    double wallMs = 0;
    double cpuMs = 0;  // the streaming thread's CPU time over the callback
    double stageMs[kFrameStageCount] = {};
    bool published = false;  // a frame came of it
    RecordCopy recordCopy = RecordCopy::None;
};

// One frame the video writer wrote: reversing its rows and the file write, on its thread.
struct WriteTiming {
    double endMs = 0;
    double wallMs = 0;
    double cpuMs = 0;
};

// One paint of the view that drew a frame.
struct PaintTiming {
    double endMs = 0;
    double wallMs = 0;
    double cpuMs = 0;  // the main thread's CPU time over the paint
    double arrivalMs = -1;  // arrival of the frame it drew, when this paint is its first showing
};

// CPU time used so far by the whole process and by two of its threads.
struct CpuSnapshot {
    double atMs = 0;
    double processMs = 0;
    double mainThreadMs = 0;
    double streamThreadMs = 0;
};

// Which ring slot holds which frame, to tell a frame's first showing from a repaint.
class FirstShowings {
public:
    static constexpr int kSlots = 4;
    // A new frame that arrived at `arrivalMs` is published in `slot`.
    void Published(int slot, double arrivalMs);
    // The arrival time of the frame in `slot` when it has not been shown before, else -1.
    double Shown(int slot);

private:
    struct Entry {
        double arrivalMs = -1;
        bool shown = true;
    };
    Entry slots_[kSlots];
};

struct CpuShare {
    double process = 0;   // cores
    double main = 0;      // main thread: painting and everything else of the windows
    double stream = 0;    // streaming thread: the camera's delivery and the callback
    double callback = 0;  // the callback alone
    double writer = 0;    // the video writer's frames
};

struct PerfSummary {
    double windowMs = 0;  // first to last event inside the window
    uint64_t warmupFrames = 0;
    uint64_t offered = 0;    // samples that reached the callback
    uint64_t published = 0;  // frames they gave
    uint64_t shown = 0;      // distinct frames painted
    uint64_t unrecorded = 0; // events past the reserved capacity: counted, not timed
    double cameraFps = 0;
    double firstFrameMs = -1;  // process start to the end of the first paint showing a frame
    uint64_t recordQueued = 0;   // frames copied for the recorder
    uint64_t recordDropped = 0;  // frames the recorder's full queue turned away
    uint64_t recordWritten = 0;
    CpuShare cpu;
    bool cpuMeasured = false;
    Distribution callbackWall, callbackCpu, stages[kFrameStageCount], paint, paintCpu, latency,
        interval, write, writeCpu;
};

// Per-frame records, all reserved at construction: adding one never allocates. Events before
// the warm-up has passed (counted from the first sample) are left out of every figure.
// Callbacks and CPU snapshots come from the streaming thread, paints from the main thread,
// writes from the one video writer thread that runs at a time.
class PerfLog {
public:
    PerfLog(size_t capacity, double warmupMs);

    void AddCallback(const CallbackTiming& timing);
    void AddPaint(const PaintTiming& timing);
    void AddWrite(const WriteTiming& timing);
    void AddCpu(const CpuSnapshot& snapshot);
    void SetFirstFrame(double msSinceProcessStart);

    PerfSummary Summary() const;

private:
    bool InWindow(double ms) const;

    const size_t capacity_;
    const double warmupMs_;
    std::atomic<double> windowStart_{-1};  // set by the first sample
    std::vector<CallbackTiming> callbacks_;
    std::vector<PaintTiming> paints_;
    std::vector<WriteTiming> writes_;
    uint64_t warmupFrames_ = 0;
    std::atomic<uint64_t> unrecorded_{0};
    bool haveCpu_ = false;
    CpuSnapshot cpuFirst_, cpuLast_;
    double firstFrameMs_ = -1;
};

// The summary as "name value" lines and a table of distributions in milliseconds.
std::string FormatPerfSummary(const PerfSummary& summary);
