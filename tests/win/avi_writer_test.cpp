// The video writer on the simulated microscope: the file's headers and frames as our own
// reader and ffprobe/ffmpeg see them, the frame timing, stops with frames queued or none, a
// disk that fills up, and a camera pulled out mid-recording.
#include <windows.h>
#include <vfw.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "app/app_messages.h"
#include "pipeline/grabber_callback.h"
#include "pipeline/mjpg_encode.h"
#include "pipeline/mjpg_tables.h"
#include "recording/avi_writer.h"
#include "recording/record_timing.h"
#include "win/file_readers.h"
#include "win/program_session.h"
#include "win/riff_avi.h"

namespace {

ProgramSession g_session;

std::wstring VideoPath(const wchar_t* name) { return g_session.folder() + L"\\" + name + L".avi"; }

void SetRecordPath(const std::wstring& path) {
    lstrcpynW(g_pipeline.format.recordPath, path.c_str(), 260);
}

// ffprobe's view of the first video stream: "key=value" lines.
std::string Probe(const std::wstring& path) {
    return RunLinuxTool("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                        "stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames "
                        "-of default=nw=1 " + Quoted(path))
        .output;
}

// The rate as ffprobe writes it: dwRate / dwScale as a reduced fraction.
std::string ProbedRate(uint32_t dwRate) {
    uint32_t a = dwRate, b = kStreamScale;
    while (b != 0) a = std::exchange(b, a % b);
    return std::to_string(dwRate / a) + "/" + std::to_string(kStreamScale / a);
}

std::string ExpectedProbe(int width, int height, const std::string& rate, size_t frames) {
    return "codec_name=rawvideo\nwidth=" + std::to_string(width) + "\nheight=" +
           std::to_string(height) + "\npix_fmt=bgr24\nr_frame_rate=" + rate +
           "\nnb_read_frames=" + std::to_string(frames) + "\n";
}

// Frame `index` of the file as ffmpeg decodes it, packed top-down BGR.
std::vector<uint8_t> DecodeFrame(const std::wstring& path, int index) {
    const std::wstring raw = g_session.folder() + L"\\frame.raw";
    DeleteFileW(raw.c_str());
    RunLinuxTool("ffmpeg -v error -y -i " + Quoted(path) + " -vf 'select=eq(n\\," +
                 std::to_string(index) + ")' -frames:v 1 -f rawvideo -pix_fmt bgr24 " + Quoted(raw));
    std::vector<uint8_t> pixels = ReadWholeFile(raw);
    DeleteFileW(raw.c_str());
    return pixels;
}

class AviWriterTest : public testing::Test {
protected:
    static void SetUpTestSuite() { g_session.Start(L"AviCam", L"--formats MJPG:640x480"); }
    static void TearDownTestSuite() { g_session.Stop(); }
    void SetUp() override { PumpFor(50); }
};

TEST_F(AviWriterTest, FileHeadersFramesAndRateAsTheReadersSeeThem) {
    MessageTap main(g_session.main());
    std::vector<std::vector<uint8_t>> frames;
    const std::wstring path = VideoPath(L"frames");
    {
        GraphPaused paused;
        g_pipeline.format.frameRate = 29.97f;  // stored as 300 / 10
        SetRecordPath(path);
        ASSERT_TRUE(StartRecording());
        for (int i = 0; i < 3; ++i) {
            frames.push_back(CopyOfCurrentFrame());
            // Marks each frame so that its place in the file shows.
            frames.back()[0] = static_cast<uint8_t>(10 * (i + 1));
            ASSERT_TRUE(Pipeline_QueueRecordFrame(frames.back().data(), frames.back().size()));
            // One at a time: each copy after the first goes into the block of the one before.
            ASSERT_TRUE(PumpUntil([i] { return Recorder_FramesWritten() == i + 1; }, 5000));
        }
        StopRecording();
    }
    EXPECT_EQ(g_pipeline.format.recording, 0);
    EXPECT_TRUE(g_pipeline.queue.spares.empty());  // the copies kept for reuse are freed
    EXPECT_EQ(Recorder_FramesWritten(), 3);
    EXPECT_EQ(Recorder_RecordedTime(), 3 * FrameDuration(29.97f));
    EXPECT_EQ(Recorder_BytesWritten(), 3 * 640 * 480 * 3);

    const AviFacts avi = ParseAvi(ReadWholeFile(path));
    ASSERT_TRUE(avi.parsed) << avi.error;
    EXPECT_EQ(avi.streamType, "vids");
    EXPECT_EQ(avi.scale, 10u);
    EXPECT_EQ(avi.rate, 300u);
    EXPECT_EQ(avi.suggestedBufferSize, 640u * 480 * 3);
    EXPECT_EQ(avi.quality, 0xFFFFFFFFu);
    EXPECT_EQ(avi.frame[2], 640);
    EXPECT_EQ(avi.frame[3], 480);
    EXPECT_EQ(avi.name, "Quellix 1.4");
    EXPECT_EQ(avi.formatSize, 40u);
    EXPECT_EQ(avi.width, 640);
    EXPECT_EQ(avi.height, 480);  // positive: bottom-up rows
    EXPECT_EQ(avi.planes, 1);
    EXPECT_EQ(avi.bitCount, 24);
    EXPECT_EQ(avi.compression, 0u);
    EXPECT_EQ(avi.sizeImage, 640u * 480 * 3);
    EXPECT_EQ(avi.length, 3u);
    EXPECT_EQ(avi.totalFrames, 3u);
    ASSERT_EQ(avi.frameOffsets.size(), 3u);
    EXPECT_EQ(avi.indexEntries, 3u);
    EXPECT_TRUE(avi.allKeyFrames);

    EXPECT_EQ(Probe(path), ExpectedProbe(640, 480, "30/1", 3));
    // ffmpeg shows each frame the right way up, as it was queued.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(DecodeFrame(path, i), frames[static_cast<size_t>(i)]) << i;

    // A tenth of a second of video, all written before the stop: no start notice.
    PumpFor(200);
    for (const Tapped& m : main.seen()) EXPECT_NE(m.msg, WM_APP_VIDEO_STARTED);
}

TEST_F(AviWriterTest, SlowOrUnmeasuredRatesTimeFramesSensibly) {
    GraphPaused paused;
    const struct Case {
        float rate;
        uint32_t dwRate;
        int64_t duration;
        const char* probedRate;
    } cases[] = {
        {3.3f, 33, 2000000, "33/10"},   // slower than 5: 0.2 s per frame, the rate as measured
        {NAN, 300, 333333, "30/1"},     // no usable measure: 30 frames per second
        {-1.0f, 300, 333333, "30/1"},
    };
    const std::vector<uint8_t> frame = CopyOfCurrentFrame();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.probedRate);
        const std::wstring path = VideoPath(L"rate");
        g_pipeline.format.frameRate = c.rate;
        SetRecordPath(path);
        ASSERT_TRUE(StartRecording());
        for (int i = 0; i < 2; ++i) Pipeline_QueueRecordFrame(frame.data(), frame.size());
        StopRecording();
        EXPECT_EQ(Recorder_RecordedTime(), 2 * c.duration);
        const AviFacts avi = ParseAvi(ReadWholeFile(path));
        EXPECT_EQ(avi.rate, c.dwRate);
        EXPECT_EQ(Probe(path), ExpectedProbe(640, 480, c.probedRate, 2));
    }
}

TEST_F(AviWriterTest, StopRightAfterStartLeavesAValidEmptyFileAndNoStartNotice) {
    MessageTap main(g_session.main());
    const std::wstring path = VideoPath(L"empty");
    SetRecordPath(path);
    g_pipeline.format.paused = 1;
    ASSERT_TRUE(StartRecording());
    EXPECT_EQ(g_pipeline.format.paused, 0);  // a start is never paused
    StopRecording();
    const AviFacts avi = ParseAvi(ReadWholeFile(path));
    ASSERT_TRUE(avi.parsed) << avi.error;
    EXPECT_EQ(avi.length, 0u);
    EXPECT_TRUE(avi.frameOffsets.empty());
    const ProgramResult probed = RunLinuxTool("ffprobe -v error -show_entries stream=codec_name "
                                              "-of default=nw=1 " + Quoted(path));
    EXPECT_EQ(probed.code, 0u) << probed.output;
    EXPECT_EQ(probed.output, "codec_name=rawvideo\n");
    PumpFor(300);
    for (const Tapped& m : main.seen()) EXPECT_NE(m.msg, WM_APP_VIDEO_STARTED);
}

TEST_F(AviWriterTest, AStopWritesEveryQueuedFrameFirst) {
    MessageTap main(g_session.main());
    GraphPaused paused;
    g_pipeline.format.frameRate = 30.0f;
    const std::wstring path = VideoPath(L"queued");
    SetRecordPath(path);
    ASSERT_TRUE(StartRecording());
    const std::vector<uint8_t> frame = CopyOfCurrentFrame();
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(Pipeline_QueueRecordFrame(frame.data(), frame.size()));
    StopRecording();
    EXPECT_EQ(Recorder_FramesWritten(), 20);
    EXPECT_TRUE(g_pipeline.queue.frames.empty());
    EXPECT_EQ(Pipeline_RecordFramesDropped(), 0);
    EXPECT_EQ(ParseAvi(ReadWholeFile(path)).frameOffsets.size(), 20u);
    // Two thirds of a second: the start notice came, in the loop or with the drain, once.
    EXPECT_TRUE(PumpUntil([&] { return main.seen().size() >= 1; }, 2000));
    PumpFor(200);
    int notices = 0;
    for (const Tapped& m : main.seen()) notices += m.msg == WM_APP_VIDEO_STARTED;
    EXPECT_EQ(notices, 1);
}

// While a stop waits for a slow disk, the program goes on: timers tick and the view paints,
// also after other messages have been handled meanwhile.
TEST_F(AviWriterTest, AStopThatWaitsForTheDiskKeepsTimersAndPaintingAlive) {
    MessageTap main(g_session.main());
    GraphPaused paused;
    SetRecordPath(VideoPath(L"slow"));
    ASSERT_TRUE(StartRecording());
    const std::vector<uint8_t> frame = CopyOfCurrentFrame();
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(Pipeline_QueueRecordFrame(frame.data(), frame.size()));
    static int ticks = 0;
    ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    const DWORD started = GetTickCount();
    {
        SlowDisk disk(1000);
        for (int i = 0; i < 3; ++i) PostMessageW(g_session.main(), WM_COMMAND, kCmdAutoCrossline, 0);
        InvalidateRect(g_app.cameraView, nullptr, FALSE);
        StopRecording();
    }
    KillTimer(nullptr, timer);
    EXPECT_GE(GetTickCount() - started, 900u);
    EXPECT_GE(ticks, 10);
    EXPECT_EQ(main.Commands(kCmdAutoCrossline).size(), 3u);
    RECT dirty;
    EXPECT_FALSE(GetUpdateRect(g_app.cameraView, &dirty, FALSE));  // painted meanwhile
    EXPECT_EQ(Recorder_FramesWritten(), 10);
}

// The writer never has more than about two seconds of frames waiting: beyond that a slow
// disk costs frames, which are counted, not memory.
TEST_F(AviWriterTest, TheQueueHoldsAboutTwoSecondsAndCountsWhatItDrops) {
    GraphPaused paused;
    g_pipeline.format.frameRate = 30.0f;
    SetRecordPath(VideoPath(L"capped"));
    const std::vector<uint8_t> frame = CopyOfCurrentFrame();
    ASSERT_TRUE(StartRecording());
    // The writer cannot take any while the queue is held.
    EnterCriticalSection(&g_pipeline.queue.queueLock);
    int queued = 0;
    for (int i = 0; i < 100; ++i) queued += Pipeline_QueueRecordFrame(frame.data(), frame.size());
    LeaveCriticalSection(&g_pipeline.queue.queueLock);
    StopRecording();
    EXPECT_EQ(static_cast<size_t>(queued), RecordQueueLimit(frame.size(), 30.0f));
    EXPECT_EQ(queued, 60);
    EXPECT_EQ(Pipeline_RecordFramesDropped(), 40);
    EXPECT_EQ(Recorder_FramesWritten(), 60);
}

// Free space below the writer's reserve counts as a full disk: the writer stops writing and
// the file keeps, playable, what it holds.
TEST_F(AviWriterTest, AFullDiskEndsTheFileCleanly) {
    const std::wstring path = VideoPath(L"full");
    ULARGE_INTEGER available = {};
    ASSERT_TRUE(GetDiskFreeSpaceExW(g_session.folder().c_str(), &available, nullptr, nullptr));
    // Room for about 40 frames of 640 x 480, give or take what others write meanwhile.
    Recorder_SetFreeSpaceReserve(static_cast<int64_t>(available.QuadPart) - 40 * 921600);
    SetRecordPath(path);
    ASSERT_TRUE(StartRecording());
    EXPECT_TRUE(PumpUntil([] { return Recorder_WriteStopped(); }, 20000));
    PumpFor(200);
    const int32_t written = Recorder_FramesWritten();
    StopRecording();
    Recorder_SetFreeSpaceReserve(int64_t{64} << 20);
    EXPECT_EQ(Recorder_FramesWritten(), written);
    EXPECT_EQ(ParseAvi(ReadWholeFile(path)).frameOffsets.size(), static_cast<size_t>(written));
    EXPECT_EQ(Probe(path), ExpectedProbe(640, 480, ProbedRate(ParseAvi(ReadWholeFile(path)).rate),
                                         static_cast<size_t>(written)));
}

// Moves the video compressor's class registration aside for a scope, so that
// AVIMakeCompressedStream has nothing to make the 'DIB ' stream with.
class CompressorUnregistered {
public:
    CompressorUnregistered() {
        RegCreateKeyW(HKEY_CLASSES_ROOT, kAside, &aside_);
        moved_ = RegCopyTreeW(HKEY_CLASSES_ROOT, kKey, aside_) == ERROR_SUCCESS &&
                 RegDeleteTreeW(HKEY_CLASSES_ROOT, kKey) == ERROR_SUCCESS;
    }
    ~CompressorUnregistered() {
        HKEY key = nullptr;
        if (moved_ && RegCreateKeyW(HKEY_CLASSES_ROOT, kKey, &key) == ERROR_SUCCESS) {
            RegCopyTreeW(aside_, nullptr, key);
            RegCloseKey(key);
        }
        RegCloseKey(aside_);
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kAside);
    }
    bool moved() const { return moved_; }

private:
    static constexpr const wchar_t* kKey = L"AVIFile\\Compressors\\vids";
    static constexpr const wchar_t* kAside = L"AVIFile\\TessaloomTestAside";
    HKEY aside_ = nullptr;
    bool moved_ = false;
};

bool CompressedStreamCanBeMade() {
    const std::wstring path = VideoPath(L"probe");
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr, compressed = nullptr;
    AVISTREAMINFOW header = {};
    header.fccType = streamtypeVIDEO;
    header.dwScale = 1;
    header.dwRate = 30;
    AVICOMPRESSOPTIONS options = {};
    options.fccType = streamtypeVIDEO;
    options.fccHandler = mmioFOURCC('D', 'I', 'B', ' ');
    const bool made = AVIFileOpenW(&file, path.c_str(), OF_CREATE | OF_WRITE, nullptr) == 0 &&
                      AVIFileCreateStreamW(file, &stream, &header) == 0 &&
                      AVIMakeCompressedStream(&compressed, stream, &options, nullptr) == 0;
    if (compressed != nullptr) AVIStreamRelease(compressed);
    if (stream != nullptr) AVIStreamRelease(stream);
    if (file != nullptr) AVIFileRelease(file);
    DeleteFileW(path.c_str());
    return made;
}

TEST_F(AviWriterTest, WithoutACompressorTheFramesGoIntoTheRawStream) {
    const std::wstring path = VideoPath(L"raw");
    std::vector<uint8_t> frame;
    ASSERT_TRUE(CompressedStreamCanBeMade());
    {
        CompressorUnregistered unregistered;
        ASSERT_TRUE(unregistered.moved());
        ASSERT_FALSE(CompressedStreamCanBeMade());
        GraphPaused paused;
        g_pipeline.format.frameRate = 30.0f;
        SetRecordPath(path);
        ASSERT_TRUE(StartRecording());
        frame = CopyOfCurrentFrame();
        frame[0] = 77;
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(Pipeline_QueueRecordFrame(frame.data(), frame.size()));
        StopRecording();
    }
    EXPECT_TRUE(CompressedStreamCanBeMade());  // registration back for what follows
    EXPECT_EQ(Recorder_FramesWritten(), 4);
    const AviFacts avi = ParseAvi(ReadWholeFile(path));
    ASSERT_TRUE(avi.parsed) << avi.error;
    EXPECT_EQ(avi.formatSize, 40u);
    EXPECT_EQ(avi.frameOffsets.size(), 4u);
    EXPECT_EQ(Probe(path), ExpectedProbe(640, 480, "30/1", 4));
    EXPECT_EQ(DecodeFrame(path, 3), frame);
}

TEST_F(AviWriterTest, NoStartWithoutAFileAndNoFileLeftBehind) {
    const std::wstring path = g_session.folder() + L"\\missing folder\\x.avi";
    SetRecordPath(path);
    EXPECT_FALSE(StartRecording());
    EXPECT_EQ(g_pipeline.format.recording, 0);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    StopRecording();  // nothing to stop: returns at once
}

// Compressed video. The camera's samples are handed to the preview's callback by the test, so
// that what the file must hold is known byte for byte.
class CompressedVideo {
public:
    CompressedVideo() { Recorder_SetCompressedVideo(true); }
    ~CompressedVideo() { Recorder_SetCompressedVideo(false); }
};

std::vector<uint8_t> JpegOf(const std::vector<uint8_t>& frame) {
    MjpgEncoder encoder;
    const uint8_t* jpeg = nullptr;
    size_t size = 0;
    if (!encoder.Encode(frame.data(), 640, 480, &jpeg, &size)) return {};
    return std::vector<uint8_t>(jpeg, jpeg + size);
}

void Deliver(std::vector<uint8_t> sample) {
    g_grabberCallback.BufferCB(0.0, sample.data(), static_cast<LONG>(sample.size()));
}

std::vector<uint8_t> Chunk(const std::vector<uint8_t>& file, const AviFacts& avi, size_t i) {
    const auto at = file.begin() + static_cast<ptrdiff_t>(avi.frameOffsets[i]);
    return std::vector<uint8_t>(at, at + avi.frameSizes[i]);
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 0.0;
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * (a[i] - b[i]);
    return sum == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(a.size()) / sum);
}

std::vector<uint8_t> UpsideDown(const std::vector<uint8_t>& frame) {
    std::vector<uint8_t> turned;
    for (size_t row = 480; row-- > 0;) {
        turned.insert(turned.end(), frame.begin() + static_cast<ptrdiff_t>(row * 1920),
                      frame.begin() + static_cast<ptrdiff_t>((row + 1) * 1920));
    }
    return turned;
}

// The codec, the stream's declared frame count and the packets read, as ffprobe sees them.
std::string ProbeCompressed(const std::wstring& path) {
    return RunLinuxTool("ffprobe -v error -count_packets -select_streams v:0 -show_entries "
                        "stream=codec_name,nb_frames,nb_read_packets -of default=nw=1 " +
                        Quoted(path))
        .output;
}

// Every frame decodes without a word from ffmpeg.
void ExpectFfmpegDecodesSilently(const std::wstring& path) {
    const ProgramResult decoded = RunLinuxTool("ffmpeg -v error -i " + Quoted(path) + " -f null -");
    EXPECT_EQ(decoded.code, 0u);
    EXPECT_EQ(decoded.output, "");
}

TEST_F(AviWriterTest, CompressedVideoKeepsTheCamerasSamplesAndEncodesWhatWasChanged) {
    const std::wstring path = VideoPath(L"mjpg");
    std::vector<uint8_t> withTables, expectedBare, truncated, shown, mirroredShown;
    {
        GraphPaused paused;
        CompressedVideo compressed;
        g_pipeline.format.frameRate = 30.0f;
        withTables = JpegOf(CopyOfCurrentFrame());
        std::vector<uint8_t> bare = withTables;
        RemoveHuffmanTables(&bare);
        ASSERT_TRUE(InsertStandardHuffmanTables(bare.data(), bare.size(), &expectedBare));
        truncated.assign(withTables.begin(), withTables.begin() + withTables.size() * 2 / 3);
        std::vector<uint8_t> unreadable = withTables;
        for (size_t i = 2; i < 200; ++i) unreadable[i] = 0x11;
        SetRecordPath(path);
        ASSERT_TRUE(StartRecording());
        Deliver(withTables);
        shown = CopyOfCurrentFrame();
        Deliver(bare);
        Deliver(unreadable);  // not shown, so not written
        Deliver(truncated);   // shown with its tail filled in: written as that picture
        g_pipeline.preview.flipHorizontal = 1;
        Deliver(withTables);
        mirroredShown = CopyOfCurrentFrame();
        g_pipeline.preview.flipHorizontal = 0;
        ASSERT_TRUE(PumpUntil([] { return Recorder_FramesWritten() == 4; }, 5000));
        StopRecording();
    }
    EXPECT_EQ(Recorder_FramesWritten(), 4);
    const std::vector<uint8_t> file = ReadWholeFile(path);
    const AviFacts avi = ParseAvi(file);
    ASSERT_TRUE(avi.parsed) << avi.error;
    EXPECT_EQ(avi.handler, "MJPG");
    EXPECT_EQ(avi.compression, mmioFOURCC('M', 'J', 'P', 'G'));
    EXPECT_EQ(avi.width, 640);
    EXPECT_EQ(avi.height, 480);
    EXPECT_EQ(avi.rate, 300u);
    EXPECT_EQ(avi.scale, 10u);
    EXPECT_EQ(avi.frame[2], 640);
    EXPECT_EQ(avi.frame[3], 480);
    ASSERT_EQ(avi.frameOffsets.size(), 4u);
    EXPECT_EQ(avi.indexEntries, 4u);
    EXPECT_EQ(avi.length, 4u);
    EXPECT_TRUE(avi.allKeyFrames);
    uint32_t largest = 0;
    for (uint32_t size : avi.frameSizes) largest = std::max(largest, size);
    EXPECT_EQ(avi.suggestedBufferSize, largest);
    EXPECT_EQ(avi.sizeImage, largest);

    EXPECT_EQ(Chunk(file, avi, 0), withTables);
    EXPECT_EQ(Chunk(file, avi, 1), expectedBare);
    const std::vector<uint8_t> refilled = Chunk(file, avi, 2);
    EXPECT_EQ(CompleteJpegLength(refilled.data(), refilled.size()), refilled.size());

    EXPECT_EQ(ProbeCompressed(path), "codec_name=mjpeg\nnb_frames=4\nnb_read_packets=4\n");
    ExpectFfmpegDecodesSilently(path);
    // As the view showed them: the right way up, and mirrored only where the view mirrored.
    const std::vector<uint8_t> first = DecodeFrame(path, 0), last = DecodeFrame(path, 3);
    EXPECT_GE(Psnr(first, shown), 35.0);
    EXPECT_LT(Psnr(first, UpsideDown(shown)), Psnr(first, shown) - 10.0);
    EXPECT_GE(Psnr(last, mirroredShown), 35.0);
    EXPECT_LT(Psnr(last, shown), Psnr(last, mirroredShown) - 10.0);
}

// A camera that leaves out its Huffman tables: each frame gets the standard ones in front of
// its scan, and every frame decodes.
TEST_F(AviWriterTest, ACameraWithoutHuffmanTablesGivesAFileEveryPlayerDecodes) {
    ASSERT_EQ(RunSimcam(L"set AviCam mode=nohuffman").code, 0u);
    PumpFor(1000);  // pictures made before the change are no longer sent
    const std::wstring path = VideoPath(L"nohuffman");
    {
        CompressedVideo compressed;
        SetRecordPath(path);
        ASSERT_TRUE(StartRecording());
        EXPECT_TRUE(PumpUntil([] { return Recorder_FramesWritten() >= 15; }, 15000));
        StopRecording();
    }
    ASSERT_EQ(RunSimcam(L"set AviCam mode=live").code, 0u);
    const std::vector<uint8_t> file = ReadWholeFile(path);
    const AviFacts avi = ParseAvi(file);
    ASSERT_TRUE(avi.parsed) << avi.error;
    const size_t frames = avi.frameOffsets.size();
    EXPECT_EQ(frames, static_cast<size_t>(Recorder_FramesWritten()));
    const std::vector<uint8_t>& tables = StandardHuffmanSegment();
    for (size_t i = 0; i < frames; ++i) {
        const std::vector<uint8_t> jpeg = Chunk(file, avi, i);
        const JpegHeaderFacts header = ReadJpegHeader(jpeg.data(), jpeg.size());
        ASSERT_TRUE(header.valid) << i;
        ASSERT_GE(header.scanStart, tables.size()) << i;
        EXPECT_TRUE(std::equal(tables.begin(), tables.end(),
                               jpeg.begin() + static_cast<ptrdiff_t>(header.scanStart - tables.size())))
            << "frame " << i << " did not get the standard tables";
    }
    const std::string count = std::to_string(frames);
    EXPECT_EQ(ProbeCompressed(path),
              "codec_name=mjpeg\nnb_frames=" + count + "\nnb_read_packets=" + count + "\n");
    ExpectFfmpegDecodesSilently(path);
}

// A camera of a width whose rows need padding, pulled out while it is being recorded: the
// file holds every frame the writer was given, readable by ffmpeg.
TEST(AviWriterUnplug, CameraPulledOutMidRecordingLeavesEveryQueuedFrameInAPlayableFile) {
    ProgramSession session;
    session.Start(L"AviWide", L"--formats MJPG:1366x768");
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    ASSERT_EQ(g_pipeline.format.width, 1366);
    const std::wstring path = session.folder() + L"\\unplugged.avi";
    SetRecordPath(path);
    ASSERT_TRUE(StartRecording());
    EXPECT_TRUE(PumpUntil([] { return Recorder_FramesWritten() >= 15; }, 15000));
    ASSERT_EQ(RunSimcam(L"unplug AviWide").code, 0u);
    ASSERT_TRUE(PumpUntil([] { return !Capture_FramesFlowing(); }, 10000));
    EXPECT_EQ(g_pipeline.format.recording, 0);
    EXPECT_TRUE(g_pipeline.queue.frames.empty());
    EXPECT_TRUE(g_pipeline.queue.spares.empty());
    EXPECT_EQ(Pipeline_RecordFramesDropped(), 0);

    const int32_t written = Recorder_FramesWritten();
    const AviFacts avi = ParseAvi(ReadWholeFile(path));
    ASSERT_TRUE(avi.parsed) << avi.error;
    EXPECT_EQ(avi.frameOffsets.size(), static_cast<size_t>(written));
    EXPECT_EQ(avi.sizeImage, 4100u * 768);  // rows of 4098 bytes padded to 4100
    EXPECT_EQ(Probe(path),
              ExpectedProbe(1366, 768, ProbedRate(avi.rate), static_cast<size_t>(written)));
    // The padding is not part of the picture: ffmpeg's frame has plain rows of the frame's
    // bytes, identical to our reading of the file's first frame turned top-down.
    const std::vector<uint8_t> data = ReadWholeFile(path);
    std::vector<uint8_t> first;
    for (int r = 767; r >= 0; --r) {
        const size_t row = avi.frameOffsets[0] + static_cast<size_t>(r) * 4100;
        first.insert(first.end(), data.begin() + static_cast<ptrdiff_t>(row),
                     data.begin() + static_cast<ptrdiff_t>(row + 4098));
    }
    EXPECT_EQ(DecodeFrame(path, 0), first);
    session.Stop();
}

}  // namespace
