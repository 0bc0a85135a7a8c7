// Time-lapse runs driven through their dialog on the main window with the simulated
// microscope: pictures on a clock that does not drift, the camera unplugged in the middle of
// a run, the video made at the end (read by ffprobe), a disk too full to start on, and the
// dialog's looks in the three languages.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/time_lapse.h"
#include "measure/camera_view.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"
#include "win/camera_main_window.h"
#include "win/dialog_driver.h"
#include "win/file_readers.h"
#include "win/program_session.h"

namespace {

ProgramSession g_session;
constexpr wchar_t kCamera[] = L"LapseCam";
constexpr wchar_t kPlugOptions[] = L"--formats MJPG:640x480";

HWND Dialog() { return App_ModelessDialog(kTimeLapseDialog); }

void OpenDialog() {
    SendMessageW(g_session.main(), WM_COMMAND, kCmdTimeLapse, 0);
    PumpFor(100);
}

// One picture a second for ten pictures, through the dialog's own controls.
void StartTenPictures(int kind, bool makeVideo, int rate) {
    OpenDialog();
    ASSERT_NE(Dialog(), nullptr);
    SetDlgItemInt(Dialog(), IDC_TL_INTERVAL, 1, FALSE);
    SendDlgItemMessageW(Dialog(), IDC_TL_INTERVAL_UNIT, CB_SETCURSEL, 0, 0);
    CheckDlgButton(Dialog(), IDC_TL_BY_COUNT, BST_CHECKED);
    CheckDlgButton(Dialog(), IDC_TL_BY_DURATION, BST_UNCHECKED);
    CheckDlgButton(Dialog(), IDC_TL_UNLIMITED, BST_UNCHECKED);
    SetDlgItemInt(Dialog(), IDC_TL_COUNT, 10, FALSE);
    SendDlgItemMessageW(Dialog(), IDC_TL_KIND, CB_SETCURSEL, kind, 0);
    CheckDlgButton(Dialog(), IDC_TL_VIDEO, makeVideo ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(Dialog(), IDC_TL_RATE, static_cast<UINT>(rate), FALSE);
    SendMessageW(Dialog(), WM_COMMAND, IDC_TL_START, 0);
}

bool RunOver(DWORD timeoutMs) {
    return PumpUntil(
        [] {
            const TimeLapseStatus s = TimeLapse_Status();
            return !s.running && !s.makingVideo;
        },
        timeoutMs);
}

std::vector<std::wstring> FilesIn(const std::wstring& folder, const wchar_t* pattern) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.emplace_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// "00003-20260307-090504-007.jpg" → its number and the local time in its name, in ms.
struct PictureName {
    int number;
    int64_t ms;
};
PictureName ParsePictureName(const std::wstring& name) {
    SYSTEMTIME t = {};
    int number = 0, year, month, day, hour, minute, second, milli;
    if (swscanf(name.c_str(), L"%5d-%4d%2d%2d-%2d%2d%2d-%3d.", &number, &year, &month, &day, &hour,
                &minute, &second, &milli) != 8) {
        return {-1, 0};
    }
    t = {static_cast<WORD>(year),   static_cast<WORD>(month), 0,
         static_cast<WORD>(day),    static_cast<WORD>(hour),  static_cast<WORD>(minute),
         static_cast<WORD>(second), static_cast<WORD>(milli)};
    FILETIME ft = {};
    SystemTimeToFileTime(&t, &ft);
    return {number,
            static_cast<int64_t>(
                (static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) / 10000)};
}

std::string ProbedFrames(const std::u16string& path) {
    return RunLinuxTool(
               "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
               "stream=nb_read_frames -of default=nw=1:nk=1 " +
               Quoted(AsWide(path.c_str())))
        .output;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class TimeLapseTest : public testing::Test {
protected:
    static void SetUpTestSuite() { g_session.Start(kCamera, kPlugOptions); }
    static void TearDownTestSuite() { g_session.Stop(); }
    void SetUp() override {
        g_settings.language = kLanguageEnglish;
        SelectLanguageTexts(kLanguageEnglish);
        g_settings.jpgPng = 0;
    }
    void TearDown() override {
        TimeLapse_Stop();
        RunOver(30000);
        App_CloseModelessDialog(kTimeLapseDialog);
        TimeLapse_SetFreeSpaceReserve(int64_t{64} << 20);
    }
};

TEST_F(TimeLapseTest, TenPicturesKeepToTheClockAndBecomeAVideoAtItsRate) {
    StartTenPictures(kKindPhoto, true, 5);
    ASSERT_TRUE(TimeLapse_Status().running);
    PumpFor(1300);
    SaveWindowShot(Dialog(), L"time-lapse-running-en");
    ASSERT_TRUE(RunOver(30000));
    EXPECT_EQ(TimeLapse_Status().taken, 10);
    EXPECT_EQ(TimeLapse_Status().missed, 0);

    // In a folder of the image folder named by the start, numbered and stamped.
    const std::wstring folder = TimeLapse_Folder();
    ASSERT_EQ(folder.compare(0, g_session.folder().size() + 1, g_session.folder() + L"\\"), 0);
    std::vector<std::wstring> pictures = FilesIn(folder, L"*.jpg");
    ASSERT_EQ(pictures.size(), 10u);
    std::sort(pictures.begin(), pictures.end());
    const PictureName first = ParsePictureName(pictures[0]);
    for (size_t n = 0; n < pictures.size(); ++n) {
        const PictureName p = ParsePictureName(pictures[n]);
        EXPECT_EQ(p.number, static_cast<int>(n) + 1) << Narrow(pictures[n]);
        // Picture n at n seconds from the first: late ones do not push the next ones back.
        EXPECT_NEAR(static_cast<double>(p.ms - first.ms), 1000.0 * n, 150.0) << Narrow(pictures[n]);
    }
    EXPECT_EQ(IdentifyImage(folder + L"\\" + pictures[9]), "JPEG 640 480");

    // The video: the ten pictures at five a second, announced and listed like any video.
    const std::wstring video = folder + folder.substr(folder.rfind(L'\\')) + L".avi";
    ASSERT_FALSE(LatestFiles().empty());
    EXPECT_EQ(std::wstring(AsWide(LatestFiles().back().c_str())), video);
    EXPECT_NE(g_session.PromptText().find(video), std::wstring::npos);
    const ProgramResult probe = RunLinuxTool(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=codec_name,width,height,r_frame_rate,nb_read_frames -of default=nw=1 " +
        Quoted(video));
    EXPECT_EQ(probe.code, 0u) << probe.output;
    for (const char* expected :
         {"codec_name=mjpeg", "width=640", "height=480", "r_frame_rate=5/1", "nb_read_frames=10"}) {
        EXPECT_NE(probe.output.find(expected), std::string::npos) << expected << "\n"
                                                                  << probe.output;
    }
}

// The camera goes away for three pictures and comes back: those are missed, the run goes on.
TEST_F(TimeLapseTest, PicturesDueWhileTheCameraIsAwayAreMissedAndTheRunGoesOn) {
    LARGE_INTEGER start, now, frequency;
    QueryPerformanceFrequency(&frequency);
    const auto elapsedMs = [&] {
        QueryPerformanceCounter(&now);
        return (now.QuadPart - start.QuadPart) * 1000 / frequency.QuadPart;
    };
    StartTenPictures(kKindAnalysisTiff, true, 10);
    QueryPerformanceCounter(&start);  // the first picture has just been taken
    ASSERT_TRUE(TimeLapse_Status().running);
    ASSERT_TRUE(PumpUntil([] { return TimeLapse_Status().taken == 3; }, 10000));
    ASSERT_EQ(RunSimcam(L"unplug " + std::wstring(kCamera)).code, 0u);
    ASSERT_TRUE(PumpUntil([] { return !Capture_FramesFlowing(); }, 5000));
    const int64_t gone = elapsedMs();
    // Pictures 3, 4 and 5 fall while it is away: it goes some half a second after picture 2,
    // and the program takes about one and a half to show a camera plugged back in.
    ASSERT_TRUE(PumpUntil([&] { return elapsedMs() >= 4100; }, 10000));
    ASSERT_EQ(RunSimcam(L"plug " + std::wstring(kCamera) + L" --friendly " + kCamera + L" " +
                        kPlugOptions)
                  .code,
              0u);
    ASSERT_TRUE(PumpUntil(
        [] {
            return Capture_FramesFlowing() && CameraView_PictureWidth() > 0 &&
                   Pipeline_CurrentFrame() != nullptr;
        },
        10000));
    const int64_t back = elapsedMs();
    ASSERT_TRUE(RunOver(30000));

    int64_t dueWhileAway = 0;
    for (int64_t n = 0; n < 10; ++n) dueWhileAway += n * 1000 > gone && n * 1000 < back;
    EXPECT_EQ(dueWhileAway, 3) << "away from " << gone << " to " << back << " ms";
    EXPECT_EQ(TimeLapse_Status().missed, dueWhileAway);
    EXPECT_EQ(TimeLapse_Status().taken, 10 - dueWhileAway);
    std::vector<std::wstring> pictures = FilesIn(TimeLapse_Folder(), L"*.tif");
    std::sort(pictures.begin(), pictures.end());
    ASSERT_EQ(pictures.size(), static_cast<size_t>(10 - dueWhileAway));
    // The missed ones leave gaps in the numbers; the last picture is still number ten.
    EXPECT_EQ(ParsePictureName(pictures.back()).number, 10);
    // The analysis pictures make the video as well, one frame each.
    ASSERT_FALSE(LatestFiles().empty());
    const std::u16string video = LatestFiles().back();
    ASSERT_EQ(video.rfind(AsUtf16(TimeLapse_Folder().c_str()), 0), 0u) << "no video listed";
    const std::string frames = ProbedFrames(video);
    EXPECT_EQ(frames, std::to_string(10 - dueWhileAway) + "\n") << frames;
}

TEST_F(TimeLapseTest, ADiskTooFullRefusesToStartOrStopsTheRunAndTheDialogSpeaksEachLanguage) {
    // The disk fills up under a run: it stops before the next picture, saying why.
    StartTenPictures(kKindPhoto, false, 10);
    ASSERT_TRUE(PumpUntil([] { return TimeLapse_Status().taken == 2; }, 10000));
    TimeLapse_SetFreeSpaceReserve(int64_t{1} << 60);
    ASSERT_TRUE(RunOver(3000));
    EXPECT_EQ(TimeLapse_Status().taken, 2);
    EXPECT_EQ(TimeLapse_Status().missed, 1);
    EXPECT_NE(g_session.PromptText().find(L"Not enough disk room"), std::wstring::npos)
        << Narrow(g_session.PromptText());
    App_CloseModelessDialog(kTimeLapseDialog);

    const size_t foldersBefore = FilesIn(g_session.folder(), L"*-*").size();
    SendMessageW(GetDlgItem(g_session.main(), kIdPrompt), WM_CLOSE, 0, 0);
    ASSERT_EQ(g_session.PromptText(), L"");
    StartTenPictures(kKindPhoto, false, 10);
    EXPECT_FALSE(TimeLapse_Status().running);
    EXPECT_NE(g_session.PromptText().find(L"Not enough disk room"), std::wstring::npos)
        << Narrow(g_session.PromptText());
    EXPECT_EQ(FilesIn(g_session.folder(), L"*-*").size(), foldersBefore);  // no folder made
    App_CloseModelessDialog(kTimeLapseDialog);

    for (const ShotLanguage& shot : kShotLanguages) {
        g_settings.language = shot.language;
        SelectLanguageTexts(shot.language);
        OpenDialog();
        ASSERT_NE(Dialog(), nullptr);
        RECT own, self;
        GetWindowRect(g_session.main(), &own);
        GetWindowRect(Dialog(), &self);
        EXPECT_EQ(self.top, own.top + 68);
        EXPECT_EQ(ItemText(Dialog(), IDC_TL_VIDEO), GetWideText("more tl video"));
        SaveWindowShot(Dialog(), std::wstring(L"time-lapse-") + shot.suffix);
        App_CloseModelessDialog(kTimeLapseDialog);
    }
}

}  // namespace
