#include "simcam/frame_schedule.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "pipeline/perf_stats.h"

void FrameSchedule::Restart(double nowMs) {
    start_ = nowMs;
    next_ = 0;
}

uint64_t FrameSchedule::Take(double nowMs) {
    uint64_t skipped = 0;
    if (period_ > 0 && nowMs - DueMs() >= period_) {
        // The latest frame whose due time has passed goes out now.
        const uint64_t latest = static_cast<uint64_t>(std::floor((nowMs - start_) / period_));
        skipped = latest - next_;
        next_ = latest;
    }
    ++next_;
    return skipped;
}

CameraPerf::CameraPerf(size_t capacity) : capacity_(capacity) {
    late_.reserve(capacity);
    own_.reserve(capacity);
    render_.reserve(capacity);
}

void CameraPerf::Sent(double dueMs, double sentMs, double ownMs, uint64_t skipped) {
    if (sent_ == 0) firstSent_ = sentMs;
    lastSent_ = sentMs;
    ++sent_;
    skipped_ += skipped;
    if (late_.size() == capacity_) return;
    late_.push_back(sentMs - dueMs);
    own_.push_back(ownMs);
}

void CameraPerf::Rendered(double ms) {
    ++rendered_;
    if (render_.size() < capacity_) render_.push_back(ms);
}

std::string CameraPerf::Summary(double renderThreadCpuMs) const {
    const double span = lastSent_ - firstSent_;
    char text[1024];
    auto row = [](char* out, size_t size, const char* name, const Distribution& d) {
        return std::snprintf(out, size, "%-18s %7zu %9.3f %9.3f %9.3f %9.3f\n", name, d.count,
                             d.median, d.p95, d.max, d.mean);
    };
    int n = std::snprintf(
        text, sizeof text,
        "# simulated camera (times in ms)\n"
        "camera_span_ms %.1f\ncamera_frames_sent %" PRIu64 "\ncamera_frames_skipped %" PRIu64
        "\ncamera_sent_fps %.3f\ncamera_pictures_rendered %" PRIu64
        "\ncamera_render_cpu_cores %.3f\n%-18s %7s %9s %9s %9s %9s\n",
        span, sent_, skipped_, span > 0 ? static_cast<double>(sent_ - 1) * 1000.0 / span : 0.0,
        rendered_, span > 0 ? renderThreadCpuMs / span : 0.0, "# figure", "count", "median",
        "p95", "max", "mean");
    const struct {
        const char* name;
        const std::vector<double>& values;
    } figures[] = {{"camera_late", late_}, {"camera_send", own_}, {"camera_render", render_}};
    for (const auto& f : figures) {
        if (n < 0 || static_cast<size_t>(n) >= sizeof text) break;
        n += row(text + n, sizeof text - static_cast<size_t>(n), f.name, Summarise(f.values));
    }
    return text;
}
