#include "pipeline/perf_log.h"

#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "pipeline/video_format.h"

namespace {

// About an hour of frames at 30 per second; later ones are counted but not timed.
constexpr size_t kCapacity = 110000;
constexpr double kCpuSnapshotEveryMs = 1000.0;

struct PerfState {
    bool on = false;
    wchar_t path[MAX_PATH] = {};
    std::unique_ptr<PerfLog> log;
    CRITICAL_SECTION lock;  // guards showings: published on the streaming thread, shown on the main
    FirstShowings showings;
    HANDLE mainThread = nullptr;
    double lastCpuSnapshot = -kCpuSnapshotEveryMs;
    bool firstFrameSeen = false;
};

PerfState g_perf;

double NowMs() {
    static const double msPerTick = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return 1000.0 / static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * msPerTick;
}

double FileTimeMs(const FILETIME& t) {
    ULARGE_INTEGER v;
    v.LowPart = t.dwLowDateTime;
    v.HighPart = t.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 10000.0;
}

double ThreadCpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

double MsSinceProcessStart() {
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
    GetSystemTimePreciseAsFileTime(&now);
    return FileTimeMs(now) - FileTimeMs(created);
}

double WarmupFromEnvironment() {
    wchar_t text[32];
    const DWORD n = GetEnvironmentVariableW(L"TESSALOOM_PERF_WARMUP_MS", text, 32);
    if (n == 0 || n >= 32) return 0;
    const double ms = wcstod(text, nullptr);
    return ms > 0 ? ms : 0;
}

int SlotOf(const uint8_t* frame) {
    for (int i = 0; i < kRingSlots; ++i) {
        if (frame != nullptr && g_pipeline.ring.slots[i] == frame) return i;
    }
    return -1;
}

// The streaming thread samples the CPU clocks about once a second.
void SnapshotCpu(double now) {
    if (now - g_perf.lastCpuSnapshot < kCpuSnapshotEveryMs) return;
    g_perf.lastCpuSnapshot = now;
    CpuSnapshot s;
    s.atMs = now;
    s.processMs = ProcessCpuMs();
    s.mainThreadMs = ThreadCpuMs(g_perf.mainThread);
    s.streamThreadMs = ThreadCpuMs(GetCurrentThread());
    g_perf.log->AddCpu(s);
}

}  // namespace

void Perf_Start() {
    const DWORD n = GetEnvironmentVariableW(L"TESSALOOM_PERF_LOG", g_perf.path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    g_perf.log.reset(new (std::nothrow) PerfLog(kCapacity, WarmupFromEnvironment()));
    if (g_perf.log == nullptr) return;
    InitializeCriticalSection(&g_perf.lock);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                    &g_perf.mainThread, THREAD_QUERY_LIMITED_INFORMATION, FALSE, 0);
    g_perf.on = true;
}

void Perf_Finish() {
    if (!g_perf.on) return;
    g_perf.on = false;
    const std::string text = FormatPerfSummary(g_perf.log->Summary());
    HANDLE file = CreateFileW(g_perf.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    } else {
        OutputDebugStringA("Perf_Finish: the summary could not be written\r\n");
    }
    if (g_perf.mainThread != nullptr) CloseHandle(g_perf.mainThread);
    g_perf.mainThread = nullptr;
}

CallbackTimer::CallbackTimer() : on_(g_perf.on) {
    if (!on_) return;
    timing_.arrivalMs = lastMark_ = NowMs();
    cpuStart_ = ThreadCpuMs(GetCurrentThread());
}

void CallbackTimer::Mark(FrameStage stage) {
    if (!on_) return;
    const double now = NowMs();
    timing_.stageMs[stage] += now - lastMark_;
    lastMark_ = now;
}

void CallbackTimer::Published(int slot) {
    if (!on_) return;
    timing_.published = true;
    EnterCriticalSection(&g_perf.lock);
    g_perf.showings.Published(slot, timing_.arrivalMs);
    LeaveCriticalSection(&g_perf.lock);
}

void CallbackTimer::RecordCopied(bool queued) {
    if (on_) timing_.recordCopy = queued ? RecordCopy::Queued : RecordCopy::Dropped;
}

CallbackTimer::~CallbackTimer() {
    if (!on_) return;
    const double end = NowMs();
    timing_.wallMs = end - timing_.arrivalMs;
    timing_.cpuMs = ThreadCpuMs(GetCurrentThread()) - cpuStart_;
    g_perf.log->AddCallback(timing_);
    SnapshotCpu(end);
}

WriteTimer::WriteTimer() : on_(g_perf.on) {
    if (!on_) return;
    start_ = NowMs();
    cpuStart_ = ThreadCpuMs(GetCurrentThread());
}

WriteTimer::~WriteTimer() {
    if (!on_) return;
    WriteTiming timing;
    timing.endMs = NowMs();
    timing.wallMs = timing.endMs - start_;
    timing.cpuMs = ThreadCpuMs(GetCurrentThread()) - cpuStart_;
    g_perf.log->AddWrite(timing);
}

PaintTimer::PaintTimer() : on_(g_perf.on) {
    if (!on_) return;
    start_ = NowMs();
    cpuStart_ = ThreadCpuMs(GetCurrentThread());
}

void PaintTimer::Drew(const uint8_t* frame) { frame_ = frame; }

PaintTimer::~PaintTimer() {
    if (!on_ || frame_ == nullptr) return;
    PaintTiming timing;
    timing.endMs = NowMs();
    timing.wallMs = timing.endMs - start_;
    timing.cpuMs = ThreadCpuMs(GetCurrentThread()) - cpuStart_;
    const int slot = SlotOf(frame_);
    EnterCriticalSection(&g_perf.lock);
    timing.arrivalMs = g_perf.showings.Shown(slot);
    LeaveCriticalSection(&g_perf.lock);
    g_perf.log->AddPaint(timing);
    if (!g_perf.firstFrameSeen) {
        g_perf.firstFrameSeen = true;
        g_perf.log->SetFirstFrame(MsSinceProcessStart());
    }
}
