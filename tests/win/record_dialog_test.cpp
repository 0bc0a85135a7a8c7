// The record-video dialog on the main window with the simulated microscope: its looks in the
// three languages, the time limit and pause, the clock past a minute, the split into a second
// file, files that cannot be written, dropped frames, and the camera going away at the worst
// moments. The videos are read back with ffprobe.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/photo_capture.h"
#include "capture/device_lifecycle.h"
#include "measure/camera_view.h"
#include "pipeline/mjpg_encode.h"
#include "recording/avi_writer.h"
#include "recording/record_dialog.h"
#include "recording/record_timing.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"
#include "win/dialog_driver.h"
#include "win/file_readers.h"
#include "win/program_session.h"
#include "win/riff_avi.h"

namespace {

ProgramSession g_session;
constexpr wchar_t kCamera[] = L"RecCam";
constexpr int64_t kFrameBytes = 640 * 480 * 3;

bool IsRecordDialog(HWND dialog) { return GetDlgItem(dialog, IDC_RECORD_TIME) != nullptr; }

void OpenFromMainWindow() { SendMessageW(g_session.main(), WM_COMMAND, kCmdRecordVideo, 0); }

std::wstring Clock(HWND dialog) { return ItemText(dialog, IDC_RECORD_TIME); }

size_t QueuedFrames() {
    EnterCriticalSection(&g_pipeline.queue.queueLock);
    const size_t n = g_pipeline.queue.frames.size();
    LeaveCriticalSection(&g_pipeline.queue.queueLock);
    return n;
}

// Hands the writer `count` frames, never more than its queue takes at once.
void FeedFrames(const std::vector<uint8_t>& frame, int count) {
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(PumpUntil([] { return QueuedFrames() < g_pipeline.queue.limit; }, 10000));
        ASSERT_TRUE(Pipeline_QueueRecordFrame(frame.data(), frame.size()));
    }
    ASSERT_TRUE(PumpUntil([] { return QueuedFrames() == 0; }, 10000));
}

// What the camera view last composed, as its pixels.
std::vector<uint8_t> ViewPicture() {
    BITMAP info = {};
    GetObjectW(CameraView_SurfaceBitmap(), sizeof info, &info);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<uint8_t> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight * 4);
    GetDIBits(CameraView_SurfaceDC(), CameraView_SurfaceBitmap(), 0,
              static_cast<UINT>(info.bmHeight), pixels.data(), &bi, DIB_RGB_COLORS);
    return pixels;
}

size_t FramesInFile(const std::wstring& path) { return ParseAvi(ReadWholeFile(path)).frameOffsets.size(); }

std::string ProbedFrames(const std::wstring& path) {
    return RunLinuxTool("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                        "stream=nb_read_frames -of default=nw=1:nk=1 " + Quoted(path))
        .output;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Frames the writer had written when a file was added to the latest files (seen by the
// first message sent after it, as the prompt shows it).
std::optional<int32_t> g_writtenWhenAnnounced;
size_t g_listedBeforeAnnouncement = 0;

LRESULT CALLBACK NoteWrittenWhenAnnounced(int code, WPARAM wParam, LPARAM lParam) {
    if (!g_writtenWhenAnnounced && LatestFiles().size() > g_listedBeforeAnnouncement) {
        g_writtenWhenAnnounced = Recorder_FramesWritten();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class RecordDialogTest : public testing::Test {
protected:
    static void SetUpTestSuite() { g_session.Start(kCamera, L"--formats MJPG:640x480"); }
    static void TearDownTestSuite() { g_session.Stop(); }
    void SetUp() override {
        g_settings.language = kLanguageEnglish;
        SelectLanguageTexts(kLanguageEnglish);
        g_settings.jpgPng = 0;
        listed_ = LatestFiles().size();
        PumpFor(50);
    }
    // The files announced since the test began.
    std::vector<std::wstring> Announced() const {
        std::vector<std::wstring> files;
        for (size_t i = listed_; i < LatestFiles().size(); ++i) files.emplace_back(AsWide(LatestFiles()[i].c_str()));
        return files;
    }
    size_t listed_ = 0;
};

// The tests of what a recording does, in both file formats: uncompressed (false) and MJPG.
class RecordDialogModes : public RecordDialogTest, public testing::WithParamInterface<bool> {
protected:
    // Frames are timed by the rate measured when a file starts: it settles first, as it has
    // by the time the tests above run.
    static void SetUpTestSuite() {
        RecordDialogTest::SetUpTestSuite();
        PumpFor(3000);
    }
    void SetUp() override {
        RecordDialogTest::SetUp();
        Recorder_SetCompressedVideo(GetParam());
    }
    void TearDown() override { Recorder_SetCompressedVideo(false); }
};

INSTANTIATE_TEST_SUITE_P(Formats, RecordDialogModes, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& format) {
                             return std::string(format.param ? "Mjpg" : "Uncompressed");
                         });

// What one frame of the picture shown takes in a file: the raw frame, or about as much as
// its JPEG.
int64_t FileBytesPerFrame() {
    if (!Recorder_CompressedVideo()) return kFrameBytes;
    MjpgEncoder encoder;
    const std::vector<uint8_t> frame = CopyOfCurrentFrame();
    const uint8_t* jpeg = nullptr;
    size_t size = 0;
    EXPECT_TRUE(encoder.Encode(frame.data(), 640, 480, &jpeg, &size));
    return static_cast<int64_t>(size);
}

int64_t BytesOfFrames(const std::wstring& path) {
    int64_t bytes = 0;
    for (uint32_t size : ParseAvi(ReadWholeFile(path)).frameSizes) bytes += size;
    return bytes;
}

TEST_F(RecordDialogTest, LooksTheSameInEveryLanguageAndClosesWithoutAFile) {
    struct Case {
        int language;
        const wchar_t* shot;
        int32_t storedLimit;
        int selected;
    } cases[] = {{kLanguageEnglish, L"record-video-en", 3600, 0},  // stored, but not listed
                 {kLanguageChinese, L"record-video-zh", 30, 2},
                 {kLanguageJapanese, L"record-video-ja", 600, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.shot));
        g_settings.language = c.language;
        SelectLanguageTexts(c.language);
        g_settings.maxRecordTime = c.storedLimit;
        const bool english = c.language == kLanguageEnglish;
        DialogDriver driver;
        driver.When(IsRecordDialog, [&](HWND dialog) {
            EXPECT_EQ(TitleOf(dialog), english ? L"Recording video" : GetWideText("rec video"));
            EXPECT_EQ(ItemText(dialog, IDC_RECORD_LIMIT_LABEL),
                      english ? L"Time limit:" : GetWideText("time lim"));
            EXPECT_EQ(ItemText(dialog, IDOK), english ? L"Start" : GetWideText("start rec"));
            EXPECT_EQ(ItemText(dialog, IDC_RECORD_PAUSE), english ? L"Pause" : GetWideText("pause rec"));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_RECORD_PAUSE)));
            std::vector<std::wstring> limits;
            for (const char* key : kTimeLimitKeys) limits.push_back(GetWideText(key));
            EXPECT_EQ(ComboItems(GetDlgItem(dialog, IDC_RECORD_LIMIT)), limits);
            EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_RECORD_LIMIT, CB_GETCURSEL, 0, 0), c.selected);

            // The clock: "0.0" in the largest Courier New that fits its box.
            HWND clock = GetDlgItem(dialog, IDC_RECORD_TIME);
            EXPECT_EQ(Clock(dialog), L"0.0");
            LOGFONTW face = {};
            GetObjectW(reinterpret_cast<HFONT>(SendMessageW(clock, WM_GETFONT, 0, 0)), sizeof face, &face);
            EXPECT_STREQ(face.lfFaceName, L"Courier New");
            RECT box;
            GetClientRect(clock, &box);
            HDC dc = GetDC(clock);
            const int pointsFitting = MulDiv(-face.lfHeight, 72, GetDeviceCaps(dc, LOGPIXELSY));
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(clock, WM_GETFONT, 0, 0)));
            SIZE zh = {};
            GetTextExtentPoint32W(dc, L"ZH", 2, &zh);
            SelectObject(dc, old);
            ReleaseDC(clock, dc);
            EXPECT_LE(zh.cy, box.bottom);
            EXPECT_GT(pointsFitting, 10);

            // 375 x 40 dialog units, centred over the main window, 68 pixels below its top.
            RECT units = {0, 0, 375, 40}, client, frame, owner;
            MapDialogRect(dialog, &units);
            GetClientRect(dialog, &client);
            EXPECT_EQ(client.right, units.right);
            EXPECT_EQ(client.bottom, units.bottom);
            GetWindowRect(dialog, &frame);
            GetWindowRect(g_session.main(), &owner);
            EXPECT_EQ(frame.top, owner.top + 68);
            EXPECT_NEAR(frame.left, (owner.left + owner.right - (frame.right - frame.left)) / 2, 1);
            SaveWindowShot(dialog, c.shot);
            SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box
        });
        EXPECT_EQ(RecordVideoDialog(g_session.main()), 2);
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(g_settings.maxRecordTime, c.storedLimit);  // only Start takes the list's value
    }
    EXPECT_TRUE(Announced().empty());
    EXPECT_EQ(g_pipeline.format.recording, 0);
}

// Ten seconds of video, with a pause of more than a second in between that does not count;
// the main window keeps showing the live picture behind the dialog.
TEST_P(RecordDialogModes, TimeLimitEndsTheDialogAtTenSecondsOfVideoAndAPauseStopsTheClock) {
    DWORD started = 0;
    DialogDriver driver;
    driver.When(IsRecordDialog, [&](HWND dialog) {
        ChooseComboEntry(dialog, IDC_RECORD_LIMIT, 1);  // 10 seconds
        ClickButton(dialog, IDOK);
        started = GetTickCount();
        EXPECT_EQ(ItemText(dialog, IDOK), L"Stop");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_RECORD_PAUSE)));
    });
    driver.When([](HWND dialog) { return IsRecordDialog(dialog) && Recorder_RecordedTime() > 2 * kTicksPerSecond; },
                [&](HWND dialog) {
                    ClickButton(dialog, IDC_RECORD_PAUSE);
                    EXPECT_EQ(ItemText(dialog, IDC_RECORD_PAUSE), L"Resume");
                    SaveWindowShot(dialog, L"record-video-paused");
                    ASSERT_TRUE(PumpUntil([] { return QueuedFrames() == 0; }, 3000));
                    PumpFor(250);
                    const int64_t recorded = Recorder_RecordedTime();
                    const std::wstring shown = Clock(dialog);
                    const std::vector<uint8_t> picture = ViewPicture();
                    PumpFor(1200);
                    EXPECT_EQ(Recorder_RecordedTime(), recorded);
                    EXPECT_EQ(Clock(dialog), shown);
                    // The camera goes on, and the view behind the dialog shows it.
                    EXPECT_TRUE(NewFramesArrive(3, 2000));
                    EXPECT_NE(ViewPicture(), picture);
                    ClickButton(dialog, IDC_RECORD_PAUSE);
                    EXPECT_EQ(ItemText(dialog, IDC_RECORD_PAUSE), L"Pause");
                });
    // The clock follows the recorded time (a step every few seconds also keeps the driver
    // from taking the dialog for one left open).
    for (int seconds : {5, 8}) {
        driver.When([seconds](HWND dialog) {
            return IsRecordDialog(dialog) && Recorder_RecordedTime() > seconds * kTicksPerSecond;
        }, [seconds](HWND dialog) {
            PumpFor(150);
            EXPECT_GE(std::wcstod(Clock(dialog).c_str(), nullptr), seconds);
        });
    }
    OpenFromMainWindow();
    const DWORD wall = GetTickCount() - started;
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(driver.Missed(), 0);

    ASSERT_EQ(Announced().size(), 1u);
    const std::wstring video = Announced()[0];
    EXPECT_EQ(g_session.PromptText(), L"File saved: " + video);
    EXPECT_EQ(std::wstring(LastSavedFile()), video);
    EXPECT_EQ(video.substr(video.size() - 4), L".avi");
    EXPECT_GE(Recorder_RecordedTime(), 10 * kTicksPerSecond);
    EXPECT_LT(Recorder_RecordedTime(), 10 * kTicksPerSecond + 6 * kTicksPerSecond / 10);
    EXPECT_GE(wall, 11000u);  // the pause was not counted
    EXPECT_EQ(g_settings.maxRecordTime, 10);
    DWORD stored = 0, size = sizeof stored;
    RegGetValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"MaxRecordTime", RRF_RT_REG_DWORD, nullptr,
                 &stored, &size);
    EXPECT_EQ(stored, 10u);
    const size_t frames = FramesInFile(video);
    EXPECT_EQ(frames, static_cast<size_t>(Recorder_FramesWritten()));
    EXPECT_EQ(ProbedFrames(video), std::to_string(frames) + "\n");
    // Its cover photo, taken half a second in.
    EXPECT_EQ(IdentifyImage(video.substr(0, video.size() - 3) + L"jpg"), "JPEG 640 480");
}

// Frames timed at 0.2 s each, fed one by one: the clock reads 59.9 and then 1:00.
TEST_F(RecordDialogTest, ClockTurnsFromTenthsToMinutesAfterFiftyNineNine) {
    std::wstring beforeMinute, atMinute;
    DialogDriver driver;
    driver.When(IsRecordDialog, [&](HWND dialog) {
        GraphPaused paused;
        const std::vector<uint8_t> frame = CopyOfCurrentFrame();
        ChooseComboEntry(dialog, IDC_RECORD_LIMIT, 0);
        g_pipeline.format.frameRate = 5.005f;  // 0.1998 s per frame: 300 frames are 59.94 s
        ClickButton(dialog, IDOK);
        FeedFrames(frame, 300);
        EXPECT_TRUE(PumpUntil([&] { return Clock(dialog) == L"59.9"; }, 2000)) << Narrow(Clock(dialog));
        beforeMinute = Clock(dialog);
        FeedFrames(frame, 1);
        EXPECT_TRUE(PumpUntil([&] { return Clock(dialog) == L"1:00"; }, 2000)) << Narrow(Clock(dialog));
        atMinute = Clock(dialog);
        ClickButton(dialog, IDOK);
    });
    OpenFromMainWindow();
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(beforeMinute, L"59.9");
    EXPECT_EQ(atMinute, L"1:00");
    ASSERT_EQ(Announced().size(), 1u);
    const std::wstring video = Announced()[0];
    EXPECT_EQ(FramesInFile(video), 301u);
    EXPECT_EQ(ProbedFrames(video), "301\n");
    DeleteFileW(video.c_str());
}

// Past the size limit the recording goes on in a second file named by the time of the split;
// both are announced and playable, each has its cover, and the clock counts the total.
TEST_P(RecordDialogModes, SplitAtTheSizeLimitGivesTwoPlayableFilesBothAnnounced) {
    const int64_t splitBytes = 40 * FileBytesPerFrame();
    Recorder_SetSplitBytes(splitBytes);
    double shownAfterSplit = 0.0;
    float rateAtSplit = 0.0f;
    DialogDriver driver;
    driver.When(IsRecordDialog, [&](HWND dialog) {
        ChooseComboEntry(dialog, IDC_RECORD_LIMIT, 0);
        ClickButton(dialog, IDOK);
    });
    driver.When([&](HWND dialog) { return IsRecordDialog(dialog) && Announced().size() == 1; },
                [&](HWND dialog) {
                    rateAtSplit = g_pipeline.format.frameRate;
                    // Long enough for the second file's cover photo.
                    ASSERT_TRUE(PumpUntil([] { return Recorder_RecordedTime() > 7 * kTicksPerSecond / 10; },
                                          5000));
                    PumpFor(200);
                    shownAfterSplit = std::wcstod(Clock(dialog).c_str(), nullptr);
                    ClickButton(dialog, IDOK);
                });
    OpenFromMainWindow();
    Recorder_SetSplitBytes(kSplitBytes);
    EXPECT_TRUE(driver.Done());
    const std::vector<std::wstring> files = Announced();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_LT(files[0], files[1]);  // the second name carries the later time
    const int64_t firstFileTime =
        static_cast<int64_t>(FramesInFile(files[0])) * FrameDuration(rateAtSplit);
    EXPECT_GE(shownAfterSplit, static_cast<double>(firstFileTime) / kTicksPerSecond - 0.2);
    EXPECT_EQ(g_session.PromptText(), L"File saved: " + files[1]);
    for (const std::wstring& video : files) {
        SCOPED_TRACE(Narrow(video));
        const size_t frames = FramesInFile(video);
        EXPECT_GT(frames, 0u);
        EXPECT_EQ(ProbedFrames(video), std::to_string(frames) + "\n");
        EXPECT_EQ(IdentifyImage(video.substr(0, video.size() - 3) + L"jpg"), "JPEG 640 480");
    }
    EXPECT_GT(BytesOfFrames(files[0]), splitBytes);  // more than the limit, written before the split
}

TEST_F(RecordDialogTest, AFileThatCannotBeCreatedIsReportedAndTheDialogStaysReady) {
    // A file stands where the folder should be: saving the settings cannot make the folder.
    const std::wstring folder = g_session.folder();
    const std::wstring missing = folder + L"\\in the way";
    CloseHandle(CreateFileW(missing.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DialogDriver driver;
    driver.When(IsRecordDialog, [&](HWND dialog) {
        lstrcpynW(AsWide(g_settings.imgDir), missing.c_str(), kPathChars);
        ClickButton(dialog, IDOK);
        const std::wstring prompt = g_session.PromptText();
        EXPECT_EQ(prompt.rfind(L"Could not save: " + missing + L"\\", 0), 0u) << Narrow(prompt);
        EXPECT_EQ(prompt.substr(prompt.size() - 4), L".avi");
        EXPECT_EQ(ItemText(dialog, IDOK), L"Start");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_RECORD_PAUSE)));
        EXPECT_EQ(g_pipeline.format.recording, 0);
        PumpFor(300);
        EXPECT_EQ(Clock(dialog), L"0.0");

        lstrcpynW(AsWide(g_settings.imgDir), folder.c_str(), kPathChars);
        ClickButton(dialog, IDOK);
        EXPECT_EQ(ItemText(dialog, IDOK), L"Stop");
        EXPECT_TRUE(PumpUntil([] { return Recorder_FramesWritten() > 3; }, 5000));
        ClickButton(dialog, IDOK);
    });
    OpenFromMainWindow();
    DeleteFileW(missing.c_str());
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(Announced().size(), 1u);
    EXPECT_EQ(Announced()[0].rfind(folder + L"\\", 0), 0u);
}

TEST_P(RecordDialogModes, AFullDiskEndsTheRecordingAndSaysSo) {
    ULARGE_INTEGER available = {};
    ASSERT_TRUE(GetDiskFreeSpaceExW(g_session.folder().c_str(), &available, nullptr, nullptr));
    DialogDriver driver;
    driver.When(IsRecordDialog, [&](HWND dialog) {
        Recorder_SetFreeSpaceReserve(static_cast<int64_t>(available.QuadPart) -
                                     40 * FileBytesPerFrame());
        ChooseComboEntry(dialog, IDC_RECORD_LIMIT, 0);
        ClickButton(dialog, IDOK);
    });
    OpenFromMainWindow();  // ends by itself
    Recorder_SetFreeSpaceReserve(int64_t{64} << 20);
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(Announced().size(), 1u);
    const std::wstring video = Announced()[0];
    EXPECT_EQ(g_session.PromptText(),
              L"File saved: " + video + L" (recording stopped, the disk is full or cannot be written)");
    const size_t frames = FramesInFile(video);
    EXPECT_EQ(frames, static_cast<size_t>(Recorder_FramesWritten()));
    EXPECT_EQ(ProbedFrames(video), std::to_string(frames) + "\n");
}

TEST_F(RecordDialogTest, DroppedFramesAreCountedInTheNoticeInTheUsersLanguage) {
    g_settings.language = kLanguageChinese;
    SelectLanguageTexts(kLanguageChinese);
    DialogDriver driver;
    driver.When(IsRecordDialog, [&](HWND dialog) {
        GraphPaused paused;
        const std::vector<uint8_t> frame = CopyOfCurrentFrame();
        g_pipeline.format.frameRate = 0.5f;  // a queue of two frames
        ClickButton(dialog, IDOK);
        EnterCriticalSection(&g_pipeline.queue.queueLock);  // the writer takes none meanwhile
        for (int i = 0; i < 5; ++i) Pipeline_QueueRecordFrame(frame.data(), frame.size());
        LeaveCriticalSection(&g_pipeline.queue.queueLock);
        ClickButton(dialog, IDOK);
    });
    OpenFromMainWindow();
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(Announced().size(), 1u);
    EXPECT_EQ(g_session.PromptText(), L"文件已保存：" + Announced()[0] + L" (丢失 3 帧)");
    EXPECT_EQ(FramesInFile(Announced()[0]), 2u);
}

// Runs last in each format: the camera goes away. First while a stop is still writing out a
// long queue: the removal waits until the file is closed, and a second Stop changes nothing.
// Then, plugged in again, with frames kept queued until the camera goes: the dialog closes by
// itself and announces the file only once the writer has written them all and closed it.
TEST_P(RecordDialogModes, TheCameraGoingAwayNeverCutsAFileShort) {
    if (!Capture_FramesFlowing()) {  // gone with the run in the other format
        ASSERT_EQ(RunSimcam(std::wstring(L"plug ") + kCamera + L" --friendly " + kCamera +
                            L" --formats MJPG:640x480").code, 0u);
        ASSERT_TRUE(g_session.WaitForFrames(15000));
    }
    bool closedDuringStop = true;
    std::optional<SlowDisk> slowDisk;
    DialogDriver driver;
    driver.When(IsRecordDialog, [&](HWND dialog) {
        g_capture.control->Pause();
        PumpFor(100);
        const std::vector<uint8_t> frame = CopyOfCurrentFrame();
        g_pipeline.format.frameRate = 60.0f;  // a queue of 120 frames
        ClickButton(dialog, IDOK);
        EnterCriticalSection(&g_pipeline.queue.queueLock);
        for (int i = 0; i < 120; ++i) Pipeline_QueueRecordFrame(frame.data(), frame.size());
        LeaveCriticalSection(&g_pipeline.queue.queueLock);
        slowDisk.emplace(1500);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    driver.When([](HWND) { return g_pipeline.format.recording == 0 && Lifecycle_Busy(); },
                [&](HWND) {
                    g_capture.control->Run();
                    ASSERT_EQ(RunSimcam(std::wstring(L"unplug ") + kCamera).code, 0u);
                    PumpFor(200);
                    closedDuringStop = !Capture_FramesFlowing();
                });
    OpenFromMainWindow();
    slowDisk.reset();
    EXPECT_TRUE(driver.Done());
    EXPECT_FALSE(closedDuringStop);
    EXPECT_TRUE(PumpUntil([] { return !Capture_FramesFlowing(); }, 10000));  // then it went
    ASSERT_EQ(Announced().size(), 1u);
    EXPECT_EQ(Recorder_FramesWritten(), 120);
    EXPECT_EQ(FramesInFile(Announced()[0]), 120u);

    ASSERT_EQ(RunSimcam(std::wstring(L"plug ") + kCamera + L" --friendly " + kCamera +
                        L" --formats MJPG:640x480").code, 0u);
    ASSERT_TRUE(g_session.WaitForFrames(15000));
    DialogDriver again;
    again.When(IsRecordDialog, [&](HWND dialog) {
        g_pipeline.format.frameRate = 60.0f;  // room for what is queued below
        ClickButton(dialog, IDOK);
    });
    again.When([](HWND dialog) { return IsRecordDialog(dialog) && Recorder_FramesWritten() > 20; },
               [&](HWND) {
                   g_capture.control->Pause();
                   PumpFor(100);
                   const std::vector<uint8_t> frame = CopyOfCurrentFrame();
                   EnterCriticalSection(&g_pipeline.queue.queueLock);
                   for (int i = 0; i < 30; ++i) Pipeline_QueueRecordFrame(frame.data(), frame.size());
                   LeaveCriticalSection(&g_pipeline.queue.queueLock);
                   slowDisk.emplace(500, true);
                   RunSimcam(std::wstring(L"unplug ") + kCamera);
               });
    g_listedBeforeAnnouncement = LatestFiles().size();
    HHOOK announcement = SetWindowsHookExW(WH_CALLWNDPROC, &NoteWrittenWhenAnnounced, nullptr,
                                           GetCurrentThreadId());
    OpenFromMainWindow();  // ends by itself
    UnhookWindowsHookEx(announcement);
    slowDisk.reset();
    EXPECT_TRUE(again.Done());
    ASSERT_TRUE(PumpUntil([] { return !Capture_FramesFlowing(); }, 10000));
    ASSERT_EQ(Announced().size(), 2u);
    EXPECT_EQ(g_session.PromptText(), L"File saved: " + Announced()[1]);
    EXPECT_TRUE(g_pipeline.queue.frames.empty());
    EXPECT_EQ(Pipeline_RecordFramesDropped(), 0);
    const size_t frames = FramesInFile(Announced()[1]);
    EXPECT_EQ(frames, static_cast<size_t>(Recorder_FramesWritten()));
    EXPECT_EQ(ProbedFrames(Announced()[1]), std::to_string(frames) + "\n");
    EXPECT_EQ(g_writtenWhenAnnounced, std::optional<int32_t>(Recorder_FramesWritten()));
}

// At the real limit, by `make test-avi-limit` only (it writes 2.2 GB, deleted afterwards): a
// 1080p recording of about twelve seconds goes on in a second file before any byte of the
// first, its index included, reaches 2 GiB, where the platform's writer would wrap over the
// first frames. Both files, read whole by our reader and by ffprobe, hold what they index.
TEST(RecordDialogAtTheFileLimit, A1080pRecordingContinuesInASecondFileBelowTwoGiB) {
    if (GetEnvironmentVariableW(L"TL_AVI_LIMIT", nullptr, 0) == 0) {
        GTEST_SKIP() << "make test-avi-limit runs it";
    }
    ProgramSession session;
    session.Start(L"RecLimit", L"--formats MJPG:1920x1080");
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    ASSERT_EQ(g_pipeline.format.width, 1920);
    // The videos go, whatever the checks find.
    struct FolderEmptied {
        std::wstring folder;
        ~FolderEmptied() { ProgramSession::EmptyFolder(folder); }
    } emptied{session.folder()};
    const size_t listed = LatestFiles().size();
    const auto split = [listed] { return LatestFiles().size() > listed; };
    DialogDriver driver;
    driver.When(IsRecordDialog, [](HWND dialog) {
        ChooseComboEntry(dialog, IDC_RECORD_LIMIT, 0);
        ClickButton(dialog, IDOK);
    });
    // A step every 20 frames keeps the driver from taking the dialog for one left open.
    for (int32_t frames = 20; frames < 400; frames += 20) {
        driver.When([=](HWND dialog) {
            return IsRecordDialog(dialog) && (split() || Recorder_FramesWritten() >= frames);
        }, [](HWND) {});
    }
    driver.When([=](HWND dialog) {
        return IsRecordDialog(dialog) && split() && Recorder_FramesWritten() >= 30;
    }, [](HWND dialog) { ClickButton(dialog, IDOK); });
    SendMessageW(session.main(), WM_COMMAND, kCmdRecordVideo, 0);
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(LatestFiles().size(), listed + 2);
    for (size_t i = listed; i < LatestFiles().size(); ++i) {
        const std::wstring video = AsWide(LatestFiles()[i].c_str());
        SCOPED_TRACE(Narrow(video));
        const std::vector<uint8_t> data = ReadWholeFile(video);
        EXPECT_LT(static_cast<int64_t>(data.size()), kAviFileLimit);
        const AviFacts avi = ParseAvi(data);
        ASSERT_TRUE(avi.parsed) << avi.error;
        // The RIFF covers the file up to what the writer leaves past the index.
        const size_t riffEnd = riff_detail::U32(data, 4) + size_t{8};
        EXPECT_LE(riffEnd, data.size());
        EXPECT_GT(riffEnd + kAviTrailBytes, data.size());
        EXPECT_EQ(avi.indexEntries, avi.frameOffsets.size());
        EXPECT_EQ(avi.totalFrames, avi.frameOffsets.size());
        // The first file was continued near the limit, not long before it.
        if (i == listed) {
            EXPECT_GT(data.size(), size_t{1700} << 20);
        }
        EXPECT_EQ(ProbedFrames(video), std::to_string(avi.frameOffsets.size()) + "\n");
    }
    session.Stop();
}

}  // namespace
