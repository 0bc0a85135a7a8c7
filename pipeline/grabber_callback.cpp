#include "pipeline/grabber_callback.h"

#include <mmsystem.h>

#include "pipeline/color_bar.h"
#include "pipeline/frame_rate.h"
#include "pipeline/mjpg_tables.h"
#include "pipeline/perf_log.h"
#include "pipeline/sample_processing.h"
#include "pipeline/video_format.h"

GrabberCallback g_grabberCallback;

namespace {

FrameRateCounter g_frameRate;  // kept across devices, like the clock it reads
MjpgDecoder g_decoder;         // only the preview's streaming thread decodes with it

bool ReportColorBar(const BYTE* buffer, LONG length) {
    ColorBarReport report;
    if (!IsColorBarFrame(buffer, static_cast<size_t>(length), &report)) return false;
    OutputDebugStringA(FormatColorBarGroups(report).c_str());
    OutputDebugStringA(FormatColorBarHues(report).c_str());
    PostMessageW(g_pipeline.format.viewWindow, WM_APP_TEST_PATTERN, 0, 0);
    return true;
}

// A compressed video takes the camera's sample as it came when the picture shown is that
// sample; a truncated one (shown with its tail filled in) and every changed picture go in as
// the frame shown, encoded by the writer.
bool QueueForRecording(const BYTE* sample, LONG length, const uint8_t* frame,
                       const VideoFormat& format) {
    if (Pipeline_SamplesPassThrough()) {
        const size_t complete = CompleteJpegLength(sample, static_cast<size_t>(length));
        if (complete > 0) return Pipeline_QueueRecordSample(sample, complete);
    }
    return Pipeline_QueueRecordFrame(frame, static_cast<size_t>(format.width) * format.height * 3);
}

}  // namespace

STDMETHODIMP GrabberCallback::BufferCB(double, BYTE* buffer, LONG length) {
    if (buffer == nullptr || length <= 0) return 0;
    if (static_cast<size_t>(length) == kColorBarSampleLength && ReportColorBar(buffer, length)) {
        return 0;
    }
    CallbackTimer timer;
    VideoFormat& format = g_pipeline.format;
    format.frameRate = g_frameRate.Tick(timeGetTime(), format.frameRate);

    FrameRing& ring = g_pipeline.ring;
    const LONG next = ring.publishedIndex + 1 >= kRingSlots ? 0 : ring.publishedIndex + 1;
    uint8_t* slot = ring.slots[next];
    if (slot == nullptr) return 0;  // no ring: the device is being opened or closed

    // A sample that cannot be used is not published: the view keeps the current frame.
    if (FillFrameFromSample(g_decoder, format.subtype, format.width, format.height, buffer,
                            static_cast<size_t>(length), slot) != FillResult::Filled) {
        return 0;
    }
    timer.Mark(kStageFill);
    if (g_pipeline.preview.flipHorizontal) MirrorHorizontal(slot, format.width, format.height);
    timer.Mark(kStageFlip);
    ApplyPreviewFilter(g_pipeline.preview, slot, format.width, format.height);
    timer.Mark(kStageFilter);

    EnterCriticalSection(&ring.frameLock);
    ring.publishedIndex = next;
    LeaveCriticalSection(&ring.frameLock);
    timer.Published(next);
    timer.Mark(kStagePublish);

    if (format.recording && !format.paused) {
        timer.RecordCopied(QueueForRecording(buffer, length, slot, format));
    }
    timer.Mark(kStageQueueCopy);
    InvalidateRect(format.viewWindow, nullptr, FALSE);
    timer.Mark(kStagePublish);
    return 0;
}
