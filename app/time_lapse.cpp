#include "app/time_lapse.h"

#include <gdiplus.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/analysis_commands.h"
#include "app/app_messages.h"
#include "app/app_state.h"
#include "app/photo_capture.h"
#include "measure/camera_view.h"
#include "recording/avi_writer.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"
// Last: it brings in strsafe.h, which hides the C library functions <string> needs.
#include "capture/capture_graph.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr int64_t kDefaultReserve = int64_t{64} << 20;
// A video still being written when the program closes is given this long to finish.
constexpr DWORD kVideoFinishMs = 120000;

// What the video writer is handed; it owns this until it posts its notice.
struct VideoJob {
    std::vector<std::wstring> pictures;
    std::wstring path;
    float frameRate = 10.0f;
    HWND notify = nullptr;
    int32_t frames = 0;  // written, set by the writer
};

struct TimeLapseRun {
    bool running = false;
    TimeLapseChoices choices;
    TimeLapseSchedule schedule{1000, 0};
    LARGE_INTEGER start = {};
    std::wstring folder;
    std::wstring extension;
    std::vector<std::wstring> pictures;
    int64_t largest = 0;  // bytes of the largest picture so far
    HANDLE videoThread = nullptr;
    VideoJob* video = nullptr;
    int64_t reserve = kDefaultReserve;
};

TimeLapseRun g_run;

int64_t ElapsedMs() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (now.QuadPart - g_run.start.QuadPart) * 1000 / frequency.QuadPart;
}

uint64_t FreeBytes(const std::wstring& folder) {
    ULARGE_INTEGER available = {};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return ~uint64_t{0};
    return available.QuadPart;
}

bool RoomForRemainingPictures(const std::wstring& folder, int64_t remaining) {
    const TimeLapseChoices& c = g_run.choices;
    const int64_t each =
        PictureBytesEstimate(c.kind, g_settings.jpgPng == 1, CameraView_PictureWidth(),
                             CameraView_PictureHeight(), g_run.largest, c.makeVideo != 0);
    return RoomForPictures(remaining, each, FreeBytes(folder), g_run.reserve);
}

int64_t FileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool SavePicture(const std::wstring& path, const ShownPicture& shown) {
    if (g_run.choices.kind == kKindAnalysisTiff) return WriteAnalysisPicture(path, shown);
    return SaveShownPicture(shown, path.c_str());
}

void TakePicture(int64_t n) {
    ShownPicture shown;
    const std::u16string name = TimeLapsePictureName(
        AsUtf16(g_run.folder.c_str()), n, LocalFileStamp(), AsUtf16(g_run.extension.c_str()));
    if (name.empty() || !CameraView_ShownPicture(&shown)) {
        g_run.schedule.Missed();
        return;
    }
    const std::wstring path = AsWide(name.c_str());
    if (!SavePicture(path, shown)) {
        OutputDebugStringA("time-lapse picture not saved\r\n");
        g_run.schedule.Missed();
        return;
    }
    g_run.schedule.Taken();
    g_run.pictures.push_back(path);
    const int64_t bytes = FileBytes(path);
    if (bytes > g_run.largest) g_run.largest = bytes;
}

// Decodes a picture the run saved into packed top-down BGR; false when it is not of
// `width` × `height` (the camera came back at another size) or cannot be read.
bool LoadPicture(const std::wstring& path, int* width, int* height, std::vector<uint8_t>* bgr) {
    GpImage* image = nullptr;
    if (GdipLoadImageFromFile(path.c_str(), &image) != Ok) return false;
    UINT w = 0, h = 0;
    GdipGetImageWidth(image, &w);
    GdipGetImageHeight(image, &h);
    bool loaded = false;
    if (w > 0 && h > 0 &&
        (*width == 0 || (static_cast<int>(w) == *width && static_cast<int>(h) == *height))) {
        GpRect all = {0, 0, static_cast<INT>(w), static_cast<INT>(h)};
        BitmapData data = {};
        const size_t row = static_cast<size_t>(w) * 3;
        if (GdipBitmapLockBits(static_cast<GpBitmap*>(image), &all, ImageLockModeRead,
                               PixelFormat24bppRGB, &data) == Ok) {
            bgr->resize(row * h);
            for (UINT y = 0; y < h; ++y) {
                std::memcpy(bgr->data() + row * y,
                            static_cast<const uint8_t*>(data.Scan0) +
                                static_cast<ptrdiff_t>(y) * data.Stride,
                            row);
            }
            GdipBitmapUnlockBits(static_cast<GpBitmap*>(image), &data);
            *width = static_cast<int>(w);
            *height = static_cast<int>(h);
            loaded = true;
        }
    }
    GdipDisposeImage(image);
    return loaded;
}

// The frames take the first picture's size; pictures of another size are left out.
DWORD WINAPI VideoThread(void* param) {
    VideoJob& job = *static_cast<VideoJob*>(param);
    int width = 0, height = 0;
    std::vector<uint8_t> bgr;
    PictureVideo* video = nullptr;
    try {
        for (const std::wstring& picture : job.pictures) {
            if (!LoadPicture(picture, &width, &height, &bgr)) continue;
            if (video == nullptr) {
                video = PictureVideo_Open(job.path.c_str(), width, height, job.frameRate);
                if (video == nullptr) break;
            }
            if (!PictureVideo_Add(video, bgr.data())) break;
        }
    } catch (const std::bad_alloc&) {
        OutputDebugStringA("time-lapse video: out of memory\r\n");
    }
    if (video != nullptr) job.frames = PictureVideo_Close(video);
    PostMessageW(job.notify, WM_APP_TIME_LAPSE_VIDEO, 0, 0);
    return 0;
}

void StartVideo() {
    std::unique_ptr<VideoJob> job(new (std::nothrow) VideoJob);
    if (job == nullptr || g_run.pictures.empty()) return;
    job->pictures = g_run.pictures;
    job->path = g_run.folder + g_run.folder.substr(g_run.folder.rfind(L'\\')) + L".avi";
    job->frameRate = static_cast<float>(g_run.choices.videoRate);
    job->notify = g_app.mainWindow;
    g_run.videoThread = CreateThread(nullptr, 0, &VideoThread, job.get(), 0, nullptr);
    if (g_run.videoThread != nullptr) g_run.video = job.release();
}

enum RunEnd { kEndQuietly, kEndWithNotice, kEndWithVideo };

void EndRun(RunEnd how) {
    if (!g_run.running) return;
    g_run.running = false;
    if (g_app.mainWindow != nullptr) KillTimer(g_app.mainWindow, kTimeLapseTimer);
    SetThreadExecutionState(ES_CONTINUOUS);
    if (how == kEndQuietly) return;
    ShowNotice(FillPattern("more tl ended", g_run.folder));
    if (how == kEndWithVideo && g_run.choices.makeVideo != 0) StartVideo();
}

void ArmTimer() {
    const int64_t wait = g_run.schedule.NextDueMs() - ElapsedMs();
    const UINT ms = wait < USER_TIMER_MINIMUM ? USER_TIMER_MINIMUM : static_cast<UINT>(wait);
    SetTimer(g_app.mainWindow, kTimeLapseTimer, ms, nullptr);
}

bool Refuse(const char* key, const std::wstring& value) {
    ShowNotice(FillPattern(key, value));
    return false;
}

}  // namespace

bool TimeLapse_Start(const TimeLapseChoices& choices) {
    if (g_run.running || g_run.videoThread != nullptr || !Capture_FramesFlowing() ||
        g_app.mainWindow == nullptr) {
        return false;
    }
    const TimeLapseChoices valid = ValidTimeLapseChoices(choices);
    g_run.choices = valid;
    g_run.largest = 0;
    const std::u16string folder = TimeLapseFolder(FieldText(g_settings.imgDir), LocalFileStamp());
    const int64_t planned = PlannedPictures(valid);
    if (!RoomForRemainingPictures(AsWide(g_settings.imgDir), planned < 0 ? 1 : planned)) {
        return Refuse("more tl disk full", AsWide(g_settings.imgDir));
    }
    if (!CreateDirectoryW(AsWide(folder.c_str()), nullptr)) {
        return Refuse("save failed", AsWide(folder.c_str()));
    }
    g_run.folder = AsWide(folder.c_str());
    g_run.extension =
        valid.kind == kKindAnalysisTiff ? L"tif" : AsWide(PhotoExtension(g_settings.jpgPng).data());
    g_run.schedule = TimeLapseSchedule(IntervalMs(valid), PlannedPictures(valid));
    g_run.pictures.clear();
    QueryPerformanceCounter(&g_run.start);
    g_run.running = true;
    // Unattended for hours: the machine must not go to sleep under the run.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    TimeLapse_OnTimer();
    return true;
}

void TimeLapse_Stop() { EndRun(kEndWithVideo); }

TimeLapseStatus TimeLapse_Status() {
    TimeLapseStatus status = {};
    status.running = g_run.running;
    status.makingVideo = g_run.videoThread != nullptr;
    status.taken = g_run.schedule.TakenCount();
    status.missed = g_run.schedule.MissedCount();
    status.nextInMs = -1;
    if (g_run.running) {
        const int64_t wait = g_run.schedule.NextDueMs() - ElapsedMs();
        status.nextInMs = wait < 0 ? 0 : wait;
    }
    return status;
}

std::wstring TimeLapse_Folder() { return g_run.folder; }

void TimeLapse_OnTimer() {
    if (!g_run.running) return;
    KillTimer(g_app.mainWindow, kTimeLapseTimer);
    const int64_t n = g_run.schedule.Due(ElapsedMs());
    if (n >= 0) {
        if (!RoomForRemainingPictures(g_run.folder, g_run.schedule.Remaining() + 1)) {
            g_run.schedule.Missed();
            EndRun(kEndQuietly);
            ShowNotice(FillPattern("more tl disk full", g_run.folder));
            return;
        }
        if (Capture_FramesFlowing()) {
            TakePicture(n);
        } else {
            g_run.schedule.Missed();  // the camera is away; the run goes on
        }
    }
    if (g_run.schedule.Finished()) {
        EndRun(kEndWithVideo);
    } else {
        ArmTimer();
    }
}

void TimeLapse_OnVideoWritten() {
    if (g_run.videoThread == nullptr) return;
    WaitForSingleObject(g_run.videoThread, INFINITE);  // it has posted its last word
    CloseHandle(g_run.videoThread);
    g_run.videoThread = nullptr;
    std::unique_ptr<VideoJob> job(g_run.video);
    g_run.video = nullptr;
    if (job->frames > 0) {
        AnnounceSavedFile(job->path.c_str(), std::wstring());
    } else {
        AnnounceSaveFailed(job->path.c_str());
    }
}

void TimeLapse_Shutdown() {
    EndRun(kEndQuietly);
    if (g_run.videoThread == nullptr) return;
    if (WaitForSingleObject(g_run.videoThread, kVideoFinishMs) != WAIT_OBJECT_0) return;
    CloseHandle(g_run.videoThread);
    g_run.videoThread = nullptr;
    delete g_run.video;
    g_run.video = nullptr;
}

void TimeLapse_SetFreeSpaceReserve(int64_t bytes) { g_run.reserve = bytes; }
