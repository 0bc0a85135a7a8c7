#include "pipeline/perf_stats.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>

Distribution Summarise(std::vector<double> values) {
    Distribution d;
    d.count = values.size();
    if (values.empty()) return d;
    std::sort(values.begin(), values.end());
    // Nearest rank: the smallest value with at least p of all values at or below it.
    auto rank = [&](double p) {
        const size_t r = static_cast<size_t>(std::ceil(p * static_cast<double>(values.size())));
        return values[std::min(values.size(), std::max<size_t>(r, 1)) - 1];
    };
    d.median = rank(0.5);
    d.p95 = rank(0.95);
    d.max = values.back();
    double sum = 0;
    for (double v : values) sum += v;
    d.mean = sum / static_cast<double>(values.size());
    return d;
}

const char* FrameStageName(int stage) {
    static const char* const kNames[kFrameStageCount] = {"fill", "flip", "filter", "publish",
                                                         "queue_copy"};
    return stage >= 0 && stage < kFrameStageCount ? kNames[stage] : "?";
}

void FirstShowings::Published(int slot, double arrivalMs) {
    if (slot < 0 || slot >= kSlots) return;
    slots_[slot] = {arrivalMs, false};
}

double FirstShowings::Shown(int slot) {
    if (slot < 0 || slot >= kSlots || slots_[slot].shown) return -1;
    slots_[slot].shown = true;
    return slots_[slot].arrivalMs;
}

PerfLog::PerfLog(size_t capacity, double warmupMs) : capacity_(capacity), warmupMs_(warmupMs) {
    callbacks_.reserve(capacity);
    paints_.reserve(capacity);
    writes_.reserve(capacity);
}

bool PerfLog::InWindow(double ms) const {
    const double start = windowStart_.load();
    return start >= 0 && ms >= start;
}

void PerfLog::AddCallback(const CallbackTiming& timing) {
    if (windowStart_.load() < 0) windowStart_.store(timing.arrivalMs + warmupMs_);
    if (!InWindow(timing.arrivalMs)) {
        ++warmupFrames_;
        return;
    }
    if (callbacks_.size() == capacity_) {
        ++unrecorded_;
        return;
    }
    callbacks_.push_back(timing);
}

void PerfLog::AddPaint(const PaintTiming& timing) {
    if (!InWindow(timing.endMs)) return;
    if (paints_.size() == capacity_) {
        ++unrecorded_;
        return;
    }
    paints_.push_back(timing);
}

void PerfLog::AddWrite(const WriteTiming& timing) {
    if (!InWindow(timing.endMs)) return;
    if (writes_.size() == capacity_) {
        ++unrecorded_;
        return;
    }
    writes_.push_back(timing);
}

void PerfLog::AddCpu(const CpuSnapshot& snapshot) {
    if (!InWindow(snapshot.atMs)) return;
    if (!haveCpu_) cpuFirst_ = snapshot;
    haveCpu_ = true;
    cpuLast_ = snapshot;
}

void PerfLog::SetFirstFrame(double msSinceProcessStart) {
    if (firstFrameMs_ < 0) firstFrameMs_ = msSinceProcessStart;
}

PerfSummary PerfLog::Summary() const {
    PerfSummary s;
    s.warmupFrames = warmupFrames_;
    s.unrecorded = unrecorded_.load();
    s.firstFrameMs = firstFrameMs_;
    const double start = windowStart_.load();
    double last = start;
    std::vector<double> wall, cpu, stages[kFrameStageCount], paint, paintCpu, latency, interval;
    double callbackCpu = 0;
    for (size_t i = 0; i < callbacks_.size(); ++i) {
        const CallbackTiming& c = callbacks_[i];
        ++s.offered;
        if (c.published) ++s.published;
        if (c.recordCopy == RecordCopy::Queued) ++s.recordQueued;
        if (c.recordCopy == RecordCopy::Dropped) ++s.recordDropped;
        wall.push_back(c.wallMs);
        cpu.push_back(c.cpuMs);
        callbackCpu += c.cpuMs;
        for (int k = 0; k < kFrameStageCount; ++k) stages[k].push_back(c.stageMs[k]);
        if (i > 0) interval.push_back(c.arrivalMs - callbacks_[i - 1].arrivalMs);
        last = std::max(last, c.arrivalMs + c.wallMs);
    }
    for (const PaintTiming& p : paints_) {
        paint.push_back(p.wallMs);
        paintCpu.push_back(p.cpuMs);
        // A frame that arrived during the warm-up is not one of the window's frames.
        if (p.arrivalMs >= 0 && InWindow(p.arrivalMs)) {
            ++s.shown;
            latency.push_back(p.endMs - p.arrivalMs);
        }
        last = std::max(last, p.endMs);
    }
    std::vector<double> write, writeCpu;
    double writerCpu = 0;
    for (const WriteTiming& w : writes_) {
        write.push_back(w.wallMs);
        writeCpu.push_back(w.cpuMs);
        writerCpu += w.cpuMs;
        last = std::max(last, w.endMs);
    }
    s.recordWritten = writes_.size();
    s.windowMs = start >= 0 ? last - start : 0;
    if (callbacks_.size() >= 2) {
        const double span = callbacks_.back().arrivalMs - callbacks_.front().arrivalMs;
        if (span > 0) s.cameraFps = static_cast<double>(callbacks_.size() - 1) * 1000.0 / span;
    }
    const double cpuSpan = cpuLast_.atMs - cpuFirst_.atMs;
    if (haveCpu_ && cpuSpan > 0) {
        s.cpuMeasured = true;
        s.cpu.process = (cpuLast_.processMs - cpuFirst_.processMs) / cpuSpan;
        s.cpu.main = (cpuLast_.mainThreadMs - cpuFirst_.mainThreadMs) / cpuSpan;
        s.cpu.stream = (cpuLast_.streamThreadMs - cpuFirst_.streamThreadMs) / cpuSpan;
    }
    if (s.windowMs > 0) {
        s.cpu.callback = callbackCpu / s.windowMs;
        s.cpu.writer = writerCpu / s.windowMs;
    }
    s.callbackWall = Summarise(wall);
    s.callbackCpu = Summarise(cpu);
    for (int k = 0; k < kFrameStageCount; ++k) s.stages[k] = Summarise(stages[k]);
    s.paint = Summarise(paint);
    s.paintCpu = Summarise(paintCpu);
    s.latency = Summarise(latency);
    s.interval = Summarise(interval);
    s.write = Summarise(write);
    s.writeCpu = Summarise(writeCpu);
    return s;
}

namespace {

void AppendLine(std::string& out, const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out += line;
    out += '\n';
}

void AppendDistribution(std::string& out, const std::string& name, const Distribution& d) {
    AppendLine(out, "%-18s %7zu %9.3f %9.3f %9.3f %9.3f", name.c_str(), d.count, d.median, d.p95,
               d.max, d.mean);
}

}  // namespace

std::string FormatPerfSummary(const PerfSummary& s) {
    std::string out;
    AppendLine(out, "# Tessaloom measurement summary (times in ms)");
    AppendLine(out, "window_ms %.1f", s.windowMs);
    AppendLine(out, "warmup_frames %" PRIu64, s.warmupFrames);
    AppendLine(out, "frames_offered %" PRIu64, s.offered);
    AppendLine(out, "frames_published %" PRIu64, s.published);
    AppendLine(out, "frames_shown %" PRIu64, s.shown);
    AppendLine(out, "shown_ratio %.4f",
               s.offered > 0 ? static_cast<double>(s.shown) / static_cast<double>(s.offered) : 0.0);
    AppendLine(out, "camera_fps %.2f", s.cameraFps);
    AppendLine(out, "first_frame_ms %.1f", s.firstFrameMs);
    AppendLine(out, "unrecorded_events %" PRIu64, s.unrecorded);
    if (s.cpuMeasured) {
        AppendLine(out, "cpu_cores_process %.3f", s.cpu.process);
        AppendLine(out, "cpu_cores_main_thread %.3f", s.cpu.main);
        AppendLine(out, "cpu_cores_stream_thread %.3f", s.cpu.stream);
    }
    AppendLine(out, "cpu_cores_callback %.3f", s.cpu.callback);
    AppendLine(out, "record_frames_queued %" PRIu64, s.recordQueued);
    AppendLine(out, "record_frames_dropped %" PRIu64, s.recordDropped);
    AppendLine(out, "record_frames_written %" PRIu64, s.recordWritten);
    AppendLine(out, "cpu_cores_writer %.3f", s.cpu.writer);
    AppendLine(out, "%-18s %7s %9s %9s %9s %9s", "# figure", "count", "median", "p95", "max",
               "mean");
    AppendDistribution(out, "callback_wall", s.callbackWall);
    AppendDistribution(out, "callback_cpu", s.callbackCpu);
    for (int k = 0; k < kFrameStageCount; ++k) {
        AppendDistribution(out, std::string("stage_") + FrameStageName(k), s.stages[k]);
    }
    AppendDistribution(out, "paint", s.paint);
    AppendDistribution(out, "paint_cpu", s.paintCpu);
    AppendDistribution(out, "latency", s.latency);
    AppendDistribution(out, "sample_interval", s.interval);
    AppendDistribution(out, "write_wall", s.write);
    AppendDistribution(out, "write_cpu", s.writeCpu);
    return out;
}
