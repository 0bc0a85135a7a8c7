#include "recording/avi_writer.h"

#include <vfw.h>

#include <atomic>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/app_messages.h"
#include "capture/capture_graph.h"
#include "capture/device_lifecycle.h"
#include "pipeline/mjpg_encode.h"
#include "pipeline/mjpg_tables.h"
#include "pipeline/perf_log.h"
#include "pipeline/video_format.h"
#include "recording/record_timing.h"

namespace {

constexpr DWORD kFrameWaitMs = 30;
constexpr int64_t kStartNoticeMs = 500;
// A writer still busy after this long is left to finish on its own.
constexpr DWORD kStopLimitMs = 120000;
constexpr DWORD kThreadEndMs = 5000;
constexpr int64_t kDefaultReserve = int64_t{64} << 20;
constexpr DWORD kKeyFrameEvery = 15;
constexpr DWORD kCompressFlags = AVICOMPRESSF_KEYFRAMES | AVICOMPRESSF_VALID;
constexpr wchar_t kStreamName[] = L"Quellix 1.4";
const DWORD kDibHandler = mmioFOURCC('D', 'I', 'B', ' ');
const DWORD kMjpgHandler = mmioFOURCC('M', 'J', 'P', 'G');
// Enough of a finished file to hold its headers, which come first.
constexpr DWORD kHeaderReadBytes = 16384;

// What one writer thread owns: its file and its copy of the stream's shape.
struct Writer {
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    PAVISTREAM writeStream = nullptr;  // frames go here: the compressed stream, or the raw one
    HANDLE frameReady = nullptr;
    HANDLE writerDone = nullptr;
    HWND mainWindow = nullptr;
    int width = 0, height = 0;
    size_t frameBytes = 0;
    int64_t frameDuration = 0;
    LONG frameIndex = 0;
    int64_t framesToCome = 0;  // what may still reach the file after a split is asked for
    std::wstring folder;       // where free space is measured
    std::vector<uint8_t> dib;  // one frame's rows, bottom-up and padded
    // A compressed video: frames are JPEG samples of varying size.
    bool compressed = false;
    std::wstring path;
    MjpgEncoder encoder;
    std::vector<uint8_t> withTables;  // a sample with the standard Huffman tables put in
    int64_t framesCost = 0;           // the file's bytes of chunks and index entries so far
    int64_t bytesToCome = 0;          // what may still reach the file after a split is asked for
    uint32_t largest = 0;
    bool full = false;                // a frame did not fit below the file's size limit
};

// TESSALOOM_SPLIT_BYTES lowers the split size of the running program, so that a long run
// sees many splits without writing gigabytes per file.
int64_t SplitBytesFromEnvironment() {
    wchar_t text[24];
    const DWORD n = GetEnvironmentVariableW(L"TESSALOOM_SPLIT_BYTES", text, 24);
    if (n == 0 || n >= 24) return kSplitBytes;
    const long long bytes = std::wcstoll(text, nullptr, 10);
    return bytes > 0 ? bytes : kSplitBytes;
}

struct RecorderState {
    HANDLE thread = nullptr;  // the writer of the current or the last file
    std::atomic<int64_t> recordedTime{0};
    std::atomic<int64_t> bytesWritten{0};
    std::atomic<int32_t> framesWritten{0};
    std::atomic<bool> writeStopped{false};
    std::atomic<bool> roomRunningOut{false};
    HANDLE writerDone = nullptr;  // the event of the current or the last writer
    std::atomic<int64_t> reserve{kDefaultReserve};
    int64_t splitBytes = SplitBytesFromEnvironment();
    bool aviFileStarted = false;
    std::atomic<bool> compressedVideo{false};  // for the files started from now on
};

RecorderState g_recorder;

void ReleaseFile(Writer& w) {
    if (w.writeStream != nullptr) AVIStreamRelease(w.writeStream);
    if (w.stream != nullptr) AVIStreamRelease(w.stream);
    if (w.file != nullptr) AVIFileRelease(w.file);
    w.writeStream = w.stream = nullptr;
    w.file = nullptr;
}

bool WriterRunning() {
    if (g_recorder.thread == nullptr) return false;
    if (WaitForSingleObject(g_recorder.thread, 0) == WAIT_TIMEOUT) return true;
    CloseHandle(g_recorder.thread);
    g_recorder.thread = nullptr;
    return false;
}

// A compressed stream announces the raw size until the file is closed and its largest
// sample is known.
BITMAPINFOHEADER StreamFormat(int width, int height, bool compressed) {
    BITMAPINFOHEADER format = {};
    format.biSize = sizeof format;
    format.biWidth = width;
    format.biHeight = height;  // positive: rows bottom-up (a JPEG has its own order)
    format.biPlanes = 1;
    format.biBitCount = 24;
    format.biCompression = compressed ? kMjpgHandler : BI_RGB;
    format.biSizeImage = static_cast<DWORD>(DibImageSize(width, height));
    return format;
}

AVISTREAMINFOW StreamHeader(int width, int height, float frameRate, bool compressed) {
    AVISTREAMINFOW header = {};
    header.fccType = streamtypeVIDEO;
    header.fccHandler = compressed ? kMjpgHandler : kDibHandler;
    header.dwScale = kStreamScale;
    header.dwRate = StreamRate(frameRate);
    header.dwSuggestedBufferSize = static_cast<DWORD>(DibImageSize(width, height));
    header.dwQuality = static_cast<DWORD>(-1);
    SetRect(&header.rcFrame, 0, 0, width, height);
    lstrcpynW(header.szName, kStreamName, 64);
    return header;
}

// The frames are written through the 'DIB ' compressor's stream, or straight into the raw
// stream when none can be made. JPEG samples are compressed already: they go into the raw one.
bool MakeWriteStream(Writer& w) {
    BITMAPINFOHEADER format = StreamFormat(w.width, w.height, w.compressed);
    if (w.compressed) {
        w.writeStream = w.stream;
        AVIStreamAddRef(w.stream);
        return AVIStreamSetFormat(w.writeStream, 0, &format, sizeof format) == AVIERR_OK;
    }
    AVICOMPRESSOPTIONS options = {};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = kDibHandler;
    options.dwKeyFrameEvery = kKeyFrameEvery;
    options.dwQuality = static_cast<DWORD>(-1);
    options.dwFlags = kCompressFlags;
    if (AVIMakeCompressedStream(&w.writeStream, w.stream, &options, nullptr) == AVIERR_OK &&
        w.writeStream != nullptr &&
        AVIStreamSetFormat(w.writeStream, 0, &format, sizeof format) == AVIERR_OK) {
        return true;
    }
    if (w.writeStream != nullptr) AVIStreamRelease(w.writeStream);
    OutputDebugStringA("AVIMakeCompressedStream FAILED, writing the raw stream\r\n");
    w.writeStream = w.stream;
    AVIStreamAddRef(w.stream);
    return AVIStreamSetFormat(w.writeStream, 0, &format, sizeof format) == AVIERR_OK;
}

bool OpenFile(Writer& w, const wchar_t* path, float frameRate) {
    if (AVIFileOpenW(&w.file, path, OF_CREATE | OF_READWRITE, nullptr) != AVIERR_OK) {
        w.file = nullptr;
        return false;
    }
    AVISTREAMINFOW header = StreamHeader(w.width, w.height, frameRate, w.compressed);
    if (AVIFileCreateStreamW(w.file, &w.stream, &header) == AVIERR_OK && w.stream != nullptr &&
        MakeWriteStream(w)) {
        return true;
    }
    ReleaseFile(w);
    DeleteFileW(path);
    return false;
}

bool RoomOnDisk(const Writer& w, size_t frameBytes) {
    ULARGE_INTEGER available = {};
    if (!GetDiskFreeSpaceExW(w.folder.c_str(), &available, nullptr, nullptr)) return true;
    const uint64_t needed = frameBytes + static_cast<uint64_t>(g_recorder.reserve.load());
    return available.QuadPart >= needed;
}

// Frames the file can still take with every byte below 2 GiB; the rest of the queue is
// dropped when the file is closed.
int64_t FramesLeft(const Writer& w) { return AviFramesLeft(w.frameIndex, w.dib.size()); }

// No frame is taken any more: the file waits for the split. A compressed file stops while a
// frame of the raw size would still fit.
bool FileFull(const Writer& w) {
    if (!w.compressed) return FramesLeft(w) == 0;
    return w.full || AviBytesLeft(w.framesCost) < AviFrameCost(w.frameBytes);
}

// The JPEG to write for a queued copy: the sample (with the standard tables put in where it
// has none), or the frame encoded. False when there is nothing playable to write.
bool JpegOf(Writer& w, const RecordFrame& frame, const uint8_t** jpeg, size_t* size) {
    if (!frame.compressed) {
        return frame.size == w.frameBytes &&
               w.encoder.Encode(frame.data, w.width, w.height, jpeg, size);
    }
    const JpegHeaderFacts header = ReadJpegHeader(frame.data, frame.size);
    if (!header.valid) return false;
    *jpeg = frame.data;
    *size = frame.size;
    if (header.huffmanTables) return true;
    try {
        if (!InsertStandardHuffmanTables(frame.data, frame.size, &w.withTables)) return false;
    } catch (...) {
        return false;  // out of memory: this frame is lost
    }
    *jpeg = w.withTables.data();
    *size = w.withTables.size();
    return true;
}

// As WriteFrame, for a compressed file: a frame that cannot be made playable or would cross
// the file's size limit is skipped.
bool WriteCompressedFrame(Writer& w, const RecordFrame& frame) {
    WriteTimer timer;
    const uint8_t* jpeg = nullptr;
    size_t size = 0;
    if (!JpegOf(w, frame, &jpeg, &size)) return true;
    if (AviFrameCost(size) > AviBytesLeft(w.framesCost)) {
        w.full = true;
        g_recorder.roomRunningOut = true;
        return true;
    }
    if (!RoomOnDisk(w, size)) return false;
    LONG written = 0;
    const HRESULT result = AVIStreamWrite(w.writeStream, w.frameIndex, 1, const_cast<uint8_t*>(jpeg),
                                          static_cast<LONG>(size), AVIIF_KEYFRAME, nullptr, &written);
    ++w.frameIndex;
    if (FAILED(result)) return false;
    w.framesCost += AviFrameCost(size);
    if (size > w.largest) w.largest = static_cast<uint32_t>(size);
    g_recorder.bytesWritten += written;
    ++g_recorder.framesWritten;
    g_recorder.roomRunningOut = AviBytesLeft(w.framesCost) <= w.bytesToCome;
    return true;
}

// False when the frame could not be written; nothing is written after that.
bool WriteFrame(Writer& w, const RecordFrame& frame) {
    if (w.compressed) return WriteCompressedFrame(w, frame);
    if (frame.size != w.frameBytes) return true;  // not of this stream: skipped
    WriteTimer timer;
    if (!RoomOnDisk(w, w.dib.size())) return false;
    FrameToDibRows(frame.data, w.width, w.height, w.dib.data());
    LONG written = 0;
    const HRESULT result = AVIStreamWrite(w.writeStream, w.frameIndex, 1, w.dib.data(),
                                          static_cast<LONG>(w.dib.size()), AVIIF_KEYFRAME,
                                          nullptr, &written);
    ++w.frameIndex;
    if (FAILED(result)) return false;
    g_recorder.bytesWritten += written;
    ++g_recorder.framesWritten;
    g_recorder.roomRunningOut = FramesLeft(w) <= w.framesToCome;
    return true;
}

// Writes one frame and counts its time. The start notice goes out once the file holds half
// a second of video, or with the first frame written while draining.
void WriteAndCount(Writer& w, const RecordFrame& frame, bool draining) {
    if (!g_recorder.writeStopped) {
        if (WriteFrame(w, frame)) {
            VideoFormat& f = g_pipeline.format;
            if (!f.startNotified &&
                (draining || g_recorder.recordedTime / kTicksPerMillisecond > kStartNoticeMs)) {
                f.startNotified = 1;
                PostMessageW(w.mainWindow, WM_APP_VIDEO_STARTED, 0, 0);
            }
            g_recorder.recordedTime += w.frameDuration;
        } else {
            g_recorder.writeStopped = true;
            OutputDebugStringA("AVIStreamWrite stopped: disk full or not writable\r\n");
        }
    }
    Pipeline_ReturnRecordFrame(frame);
}

// The header announces the largest sample, known only now; AVIFile wrote the raw size.
void AnnounceLargestSample(const Writer& w) {
    if (!w.compressed || w.largest == 0) return;
    HANDLE file = CreateFileW(w.path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::vector<uint8_t> head(kHeaderReadBytes);
    DWORD read = 0, written = 0;
    if (ReadFile(file, head.data(), kHeaderReadBytes, &read, nullptr) &&
        SetLargestSampleInHeader(head.data(), read, w.largest) &&
        SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0) {
        WriteFile(file, head.data(), read, &written, nullptr);
    }
    CloseHandle(file);
}

DWORD WINAPI WriterThread(void* param) {
    std::unique_ptr<Writer> w(static_cast<Writer*>(param));
    RecordFrame frame;
    do {
        if (FileFull(*w)) {
            Sleep(kFrameWaitMs);  // full: waiting for the split
        } else if (WaitForSingleObject(w->frameReady, kFrameWaitMs) == WAIT_OBJECT_0 &&
                   Pipeline_TakeRecordFrame(&frame)) {
            WriteAndCount(*w, frame, false);
        }
    } while (g_pipeline.format.recording);
    while (!FileFull(*w) && Pipeline_TakeRecordFrame(&frame)) WriteAndCount(*w, frame, true);
    ReleaseFile(*w);
    AnnounceLargestSample(*w);
    SetEvent(w->writerDone);
    return 0;
}

std::wstring FolderOf(const wchar_t* path) {
    const std::wstring full(path);
    const size_t slash = full.rfind(L'\\');
    return slash == std::wstring::npos ? full : full.substr(0, slash + 1);
}

}  // namespace

bool StartRecording() {
    VideoFormat& f = g_pipeline.format;
    const RecordQueue& q = g_pipeline.queue;
    if (f.recording || Lifecycle_Busy() || !Capture_FramesFlowing() || WriterRunning() ||
        q.frameReady == nullptr || q.writerDone == nullptr || f.width <= 0 || f.height <= 0) {
        return false;
    }
    if (!g_recorder.aviFileStarted) {
        AVIFileInit();  // kept for the life of the process
        g_recorder.aviFileStarted = true;
    }
    std::unique_ptr<Writer> w(new (std::nothrow) Writer);
    if (w == nullptr) return false;
    w->width = f.width;
    w->height = f.height < 0 ? -f.height : f.height;
    w->frameBytes = static_cast<size_t>(w->width) * static_cast<size_t>(w->height) * 3;
    w->frameReady = q.frameReady;
    w->writerDone = q.writerDone;
    w->mainWindow = GetParent(f.viewWindow);
    w->folder = FolderOf(f.recordPath);
    w->path = f.recordPath;
    w->compressed = g_recorder.compressedVideo;
    const float rate = f.frameRate;
    w->frameDuration = FrameDuration(rate);
    try {
        if (!w->compressed) w->dib.resize(DibImageSize(w->width, w->height));
    } catch (...) {
        return false;
    }
    if (!OpenFile(*w, f.recordPath, rate)) return false;

    const RecordQueueBounds queue = RecordQueueBoundsFor(w->frameBytes, rate, w->compressed);
    w->framesToCome = static_cast<int64_t>(queue.frames) + 1;  // the queue and the frame in hand
    w->bytesToCome = AviBytesToCome(queue, w->frameBytes);
    // Raw frames are bounded by their number, which is the same bound.
    Pipeline_StartRecordQueue(queue.frames, w->compressed ? queue.bytes : 0);
    g_recorder.recordedTime = 0;
    g_recorder.bytesWritten = 0;
    g_recorder.framesWritten = 0;
    g_recorder.writeStopped = false;
    g_recorder.roomRunningOut = false;
    g_recorder.writerDone = q.writerDone;
    ResetEvent(q.writerDone);
    f.paused = 0;
    f.startNotified = 0;
    f.recordCompressed = w->compressed ? 1 : 0;
    f.recording = 1;
    Writer* owned = w.release();
    g_recorder.thread = CreateThread(nullptr, 0, &WriterThread, owned, 0, nullptr);
    if (g_recorder.thread == nullptr) {
        f.recording = 0;
        ReleaseFile(*owned);
        delete owned;
        DeleteFileW(f.recordPath);
        return false;
    }
    return true;
}

void StopRecording() {
    const bool recording = g_pipeline.format.recording != 0;
    // A camera being closed ends the recording itself and waits for the writer meanwhile;
    // the file is not finished before the writer is, unless the close gave up on it.
    if (!recording && (!WriterRunning() || Pipeline_WriterAbandoned(g_recorder.writerDone))) return;
    LifecycleBusyScope busy;
    if (recording) {
        if (!Pipeline_FinishRecording(kStopLimitMs)) return;
        // The thread ends right after it has closed the file: a split may start the next one.
        if (g_recorder.thread != nullptr) WaitForSingleObject(g_recorder.thread, kThreadEndMs);
    } else {
        if (!Pipeline_WaitDispatching(g_recorder.thread, kStopLimitMs)) return;
        Pipeline_DiscardRecordQueue();
    }
    WriterRunning();
    // A start notice posted while draining belongs to this file: its cover photo is taken now,
    // before a split names the next one.
    const HWND main = GetParent(g_pipeline.format.viewWindow);
    MSG notice;
    while (PeekMessageW(&notice, main, WM_APP_VIDEO_STARTED, WM_APP_VIDEO_STARTED, PM_REMOVE)) {
        DispatchMessageW(&notice);
    }
}

int64_t Recorder_RecordedTime() { return g_recorder.recordedTime; }
int64_t Recorder_BytesWritten() { return g_recorder.bytesWritten; }
bool Recorder_RoomRunningOut() { return g_recorder.roomRunningOut; }
int32_t Recorder_FramesWritten() { return g_recorder.framesWritten; }
bool Recorder_WriteStopped() { return g_recorder.writeStopped; }
void Recorder_SetFreeSpaceReserve(int64_t bytes) { g_recorder.reserve = bytes; }
int64_t Recorder_SplitBytes() { return g_recorder.splitBytes; }
void Recorder_SetSplitBytes(int64_t bytes) { g_recorder.splitBytes = bytes; }
bool Recorder_CompressedVideo() { return g_recorder.compressedVideo; }
void Recorder_SetCompressedVideo(bool on) { g_recorder.compressedVideo = on; }

struct PictureVideo {
    Writer w;
};

PictureVideo* PictureVideo_Open(const wchar_t* path, int width, int height, float frameRate) {
    if (width <= 0 || height <= 0) return nullptr;
    std::unique_ptr<PictureVideo> video(new (std::nothrow) PictureVideo);
    if (video == nullptr) return nullptr;
    Writer& w = video->w;
    w.width = width;
    w.height = height;
    w.frameBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    w.compressed = true;
    w.path = path;
    w.folder = FolderOf(path);
    AVIFileInit();  // per thread: it starts COM on the caller's
    if (!OpenFile(w, path, frameRate)) {
        AVIFileExit();
        return nullptr;
    }
    return video.release();
}

bool PictureVideo_Add(PictureVideo* video, const uint8_t* bgr) {
    Writer& w = video->w;
    const uint8_t* jpeg = nullptr;
    size_t size = 0;
    if (!w.encoder.Encode(bgr, w.width, w.height, &jpeg, &size)) return false;
    if (AviFrameCost(size) > AviBytesLeft(w.framesCost) || !RoomOnDisk(w, size)) return false;
    LONG written = 0;
    if (FAILED(AVIStreamWrite(w.writeStream, w.frameIndex, 1, const_cast<uint8_t*>(jpeg),
                              static_cast<LONG>(size), AVIIF_KEYFRAME, nullptr, &written))) {
        return false;
    }
    ++w.frameIndex;
    w.framesCost += AviFrameCost(size);
    if (size > w.largest) w.largest = static_cast<uint32_t>(size);
    return true;
}

int32_t PictureVideo_Close(PictureVideo* video) {
    std::unique_ptr<PictureVideo> owned(video);
    Writer& w = video->w;
    ReleaseFile(w);
    AVIFileExit();
    if (w.frameIndex == 0) {
        DeleteFileW(w.path.c_str());
        return 0;
    }
    AnnounceLargestSample(w);
    return w.frameIndex;
}
