// When the simulated camera sends its frames, and what that costs it. Portable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Frame n is due at start + n * period, whatever happened to the frames before it, so the
// rate holds over any stretch of time. A frame sent later than one whole period after its
// due time takes the place of those missed, as a sensor that was not read out loses them.
class FrameSchedule {
public:
    explicit FrameSchedule(double periodMs) : period_(periodMs) {}
    // Frame 0 is due at `nowMs`.
    void Restart(double nowMs);
    double DueMs() const { return start_ + static_cast<double>(next_) * period_; }
    // A frame goes out at `nowMs` (at or after DueMs()): returns how many frames it skipped.
    uint64_t Take(double nowMs);

private:
    double period_;
    double start_ = 0;
    uint64_t next_ = 0;
};

// The simulated camera's own figures for the measurement mode: how late each frame went out
// against its due time, what sending it cost the streaming thread, and what each rendered
// picture cost the renderer. Reserved up front; adding never allocates.
class CameraPerf {
public:
    explicit CameraPerf(size_t capacity);
    // Streaming thread.
    void Sent(double dueMs, double sentMs, double ownMs, uint64_t skipped);
    // Render thread.
    void Rendered(double ms);
    // After both threads have stopped: "name value" lines and a table as the program's.
    std::string Summary(double renderThreadCpuMs) const;

private:
    size_t capacity_;
    std::vector<double> late_, own_, render_;
    double firstSent_ = -1, lastSent_ = -1;
    uint64_t sent_ = 0, skipped_ = 0, rendered_ = 0;
};
