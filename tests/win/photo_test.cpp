// Photos as the user makes them: the view's picture on the photo command, the camera's still
// button, a video's cover photo, the folder command, and what happens when a photo cannot be
// written; the scale bar they carry, and measurements saved for analysis or copied. Files are
// read back with ImageMagick and ImageJ.
#include <windows.h>

#include <strsafe.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

#include "app/app_messages.h"
#include "app/photo_capture.h"
#include "measure/analysis_export.h"
#include "measure/camera_view.h"
#include "pipeline/still_callback.h"
#include "resources/resource_ids.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"
#include "win/file_readers.h"
#include "win/program_session.h"

namespace {

constexpr COLORREF kMagenta = RGB(255, 0, 255);  // the crossline's colour in these tests
constexpr COLORREF kCyan = RGB(0, 255, 255);     // the shapes' and the scale bar's

ProgramSession g_session;

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> bgr;  // packed, top-down
};

// What the view last composed, read straight from its off-screen bitmap.
Picture ViewSurface() {
    Picture p;
    BITMAP info = {};
    if (GetObjectW(CameraView_SurfaceBitmap(), sizeof info, &info) == 0) return p;
    p.width = info.bmWidth;
    p.height = info.bmHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = p.width;
    bi.bmiHeader.biHeight = -p.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    const size_t stride = (static_cast<size_t>(p.width) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> padded(stride * static_cast<size_t>(p.height));
    GetDIBits(CameraView_SurfaceDC(), CameraView_SurfaceBitmap(), 0, static_cast<UINT>(p.height),
              padded.data(), &bi, DIB_RGB_COLORS);
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = padded.data() + stride * static_cast<size_t>(y);
        p.bgr.insert(p.bgr.end(), row, row + p.width * 3);
    }
    return p;
}

int CountColour(const std::vector<uint8_t>& bgr, COLORREF colour) {
    int n = 0;
    for (size_t i = 0; i + 2 < bgr.size(); i += 3) {
        n += bgr[i] == GetBValue(colour) && bgr[i + 1] == GetGValue(colour) &&
             bgr[i + 2] == GetRValue(colour);
    }
    return n;
}

std::wstring Scratch() { return g_session.folder() + L"\\decoded.raw"; }

std::wstring StampOf(const SYSTEMTIME& t) {
    wchar_t text[32];
    StringCchPrintfW(text, 32, L"%04d%02d%02d-%02d%02d%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond);
    return text;
}

// "<folder>\YYYYMMDD-hhmmss-mmm.<extension>" made between `before` and `after`.
void ExpectStampedName(const std::wstring& path, const SYSTEMTIME& before, const SYSTEMTIME& after,
                       const wchar_t* extension) {
    const std::wstring prefix = g_session.folder() + L"\\";
    ASSERT_EQ(path.compare(0, prefix.size(), prefix), 0) << std::string(path.begin(), path.end());
    const std::wstring name = path.substr(prefix.size());
    ASSERT_EQ(name.size(), 19u + 1 + wcslen(extension));
    const std::wstring seconds = name.substr(0, 15);
    EXPECT_TRUE(seconds == StampOf(before) || seconds == StampOf(after));
    EXPECT_EQ(name[15], L'-');
    for (int i = 16; i < 19; ++i) EXPECT_TRUE(iswdigit(name[i]));
    EXPECT_EQ(name.substr(19), std::wstring(L".") + extension);
}

std::wstring StoredLatestFiles() {
    wchar_t text[1024] = {};
    DWORD size = sizeof text;
    RegGetValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"LatestFiles", RRF_RT_REG_SZ, nullptr, text,
                 &size);
    return text;
}

void Repaint() { UpdateWindow(g_app.cameraView); }

void ShowViewAt(int zoomPercent, int digitalZoom) {
    SendMessageW(g_app.cameraView, WM_COMMAND, kViewCmdSetZoom, zoomPercent);
    CameraView_SetDigitalZoom(digitalZoom);
    InvalidateRect(g_app.cameraView, nullptr, FALSE);
    Repaint();
}

class PhotoTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        g_session.Start(L"PhotoCam", L"--formats MJPG:640x480");
        g_settings.gridColor = kMagenta;
        g_settings.lineColor = kCyan;
        SendMessageW(g_session.main(), WM_COMMAND, kCmdOverlayStyleChanged, 0);
    }
    static void TearDownTestSuite() { g_session.Stop(); }
    void SetUp() override {
        g_settings.jpgPng = 1;  // lossless, so pixels can be compared
        ShowViewAt(100, 0);
        PumpFor(100);  // notices of the test before
    }
};

// Runs first: nothing has been saved by this process yet.
TEST_F(PhotoTest, FolderCommandTargetsTheLastSavedFileElseTheFirstPhotoOrVideoElseTheFolder) {
    ASSERT_EQ(LastSavedFile()[0], L'\0');
    EXPECT_EQ(ImageFolderTarget(), g_session.folder());
    const std::wstring video = g_session.folder() + L"\\a.avi";
    const std::wstring photo = g_session.folder() + L"\\b.png";
    for (const std::wstring& path : {video, photo}) {
        CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    EXPECT_EQ(ImageFolderTarget(), photo);  // photos before videos
    DeleteFileW(photo.c_str());
    EXPECT_EQ(ImageFolderTarget(), video);
    DeleteFileW(video.c_str());

    SendMessageW(g_session.main(), WM_COMMAND, kCmdPhoto, 0);
    EXPECT_EQ(ImageFolderTarget(), LastSavedFile());
}

TEST_F(PhotoTest, PhotoIsTheComposedViewWithItsOverlayNamedByTimeListedAndAnnounced) {
    MessageTap panel(g_app.controlPanel);
    CameraView_SetCrossline(true);
    Repaint();
    const Picture view = ViewSurface();
    ASSERT_EQ(view.width, 640);
    ASSERT_GT(CountColour(view.bgr, kMagenta), 400);  // the crossline is on the picture
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    SendMessageW(g_session.main(), WM_COMMAND, kCmdPhoto, 0);
    GetLocalTime(&after);

    const std::wstring path = LastSavedFile();
    EXPECT_EQ(g_session.PromptText(), L"File saved: " + path);
    RECT prompt;
    GetWindowRect(GetDlgItem(g_session.main(), kIdPrompt), &prompt);
    MapWindowPoints(nullptr, g_session.main(), reinterpret_cast<POINT*>(&prompt), 2);
    EXPECT_EQ(prompt.top, 53);
    ExpectStampedName(path, before, after, L"png");
    EXPECT_EQ(IdentifyImage(path), "PNG 640 480");
    EXPECT_EQ(DecodeImageToBgr(path, Scratch()), view.bgr);
    ASSERT_FALSE(LatestFiles().empty());
    EXPECT_EQ(LatestFiles().back(), AsUtf16(path.c_str()));
    EXPECT_EQ(StoredLatestFiles().compare(0, path.size() + 1, path + L";"), 0);
    const auto added = [&] {
        std::vector<WPARAM> indices;
        for (const Tapped& m : panel.seen())
            if (m.msg == WM_APP_FILE_ADDED) indices.push_back(m.wParam);
        return indices;
    };
    ASSERT_TRUE(PumpUntil([&] { return !added().empty(); }, 2000));
    EXPECT_EQ(added(), std::vector<WPARAM>{LatestFiles().size() - 1});

    // The Space key's command, as JPEG.
    g_settings.jpgPng = 0;
    SendMessageW(g_session.main(), WM_COMMAND, kCmdPhotoFromKey, 0);
    const std::wstring jpeg = LastSavedFile();
    EXPECT_EQ(g_session.PromptText(), L"File saved: " + jpeg);
    EXPECT_EQ(jpeg.substr(jpeg.size() - 4), L".jpg");
    EXPECT_EQ(IdentifyImage(jpeg), "JPEG 640 480");
    EXPECT_EQ(LatestFiles().back(), AsUtf16(jpeg.c_str()));
    g_settings.jpgPng = 1;

    // Zoomed out, and digitally zoomed: the view's scale and no measurement overlay.
    struct Case {
        int zoom, digitalZoom;
        const char* size;
    } cases[] = {{50, 0, "PNG 320 240"}, {100, 2, "PNG 640 480"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ShowViewAt(c.zoom, c.digitalZoom);
        const Picture shown = ViewSurface();
        EXPECT_EQ(CountColour(shown.bgr, kMagenta), 0);
        SendMessageW(g_session.main(), WM_COMMAND, kCmdPhoto, 0);
        EXPECT_EQ(IdentifyImage(LastSavedFile()), c.size);
        EXPECT_EQ(DecodeImageToBgr(LastSavedFile(), Scratch()), shown.bgr);
    }
    CameraView_SetCrossline(false);
}

// Every stamp of a whole second is taken already, as by a photo of the same millisecond: a
// photo made within it gets a name of its own and leaves the other file alone.
TEST_F(PhotoTest, APhotoNeverOverwritesAnotherOfTheSameMillisecond) {
    constexpr ULONGLONG kTakenMs = 1000;
    const auto now = [] {
        SYSTEMTIME s;
        GetLocalTime(&s);
        FILETIME f;
        SystemTimeToFileTime(&s, &f);
        return ULARGE_INTEGER{{f.dwLowDateTime, f.dwHighDateTime}}.QuadPart / 10000;
    };
    // The second starts far enough ahead for its files to be made before it.
    std::vector<std::wstring> taken;
    ULONGLONG start = 0;
    for (ULONGLONG ahead = 3000; ahead <= 24000 && taken.empty(); ahead *= 2) {
        start = now() + ahead;
        for (ULONGLONG ms = start; ms < start + kTakenMs; ++ms) {
            ULARGE_INTEGER t;
            t.QuadPart = ms * 10000;
            const FILETIME f = {t.LowPart, t.HighPart};
            SYSTEMTIME s;
            FileTimeToSystemTime(&f, &s);
            wchar_t name[64];
            StringCchPrintfW(name, 64, L"\\%s-%03d.png", StampOf(s).c_str(), s.wMilliseconds);
            taken.push_back(g_session.folder() + name);
            CloseHandle(CreateFileW(taken.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    0, nullptr));
        }
        if (now() >= start) {  // too slow: further ahead
            for (const std::wstring& path : taken) DeleteFileW(path.c_str());
            taken.clear();
        }
    }
    ASSERT_FALSE(taken.empty());
    ASSERT_TRUE(PumpUntil([&] { return now() >= start; }, 60000));
    const size_t listed = LatestFiles().size();
    SendMessageW(g_session.main(), WM_COMMAND, kCmdPhoto, 0);
    ASSERT_LT(now(), start + kTakenMs);

    const std::wstring photo = LastSavedFile();
    ASSERT_EQ(LatestFiles().size(), listed + 1);
    EXPECT_EQ(LatestFiles().back(), AsUtf16(photo.c_str()));
    EXPECT_EQ(photo.substr(photo.size() - 6), L"-2.png");
    EXPECT_EQ(IdentifyImage(photo), "PNG 640 480");
    // The file whose name was taken is untouched.
    const std::wstring plain = photo.substr(0, photo.size() - 6) + L".png";
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(plain.c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 0u);
    for (const std::wstring& path : taken) DeleteFileW(path.c_str());
}

// The camera's button while the preview is gray and mirrored: the photo is the camera's own
// frame, in colour and the right way round.
TEST_F(PhotoTest, StillPhotoIsTheCamerasFrameUnfilteredAndUpright) {
    g_pipeline.preview.gray = 1;
    g_pipeline.preview.flipHorizontal = 1;
    ASSERT_TRUE(g_session.WaitForFrames(5000));
    const size_t listed = LatestFiles().size();
    const SimcamResult pressed = RunSimcam(L"still PhotoCam");
    ASSERT_EQ(pressed.code, 0u) << pressed.output;
    ASSERT_TRUE(PumpUntil([&] { return LatestFiles().size() == listed + 1; }, 5000));
    const std::wstring path = LastSavedFile();
    EXPECT_EQ(g_session.PromptText(), L"File saved: " + path);

    size_t size = 0;
    const uint8_t* still = Pipeline_LockStillImage(&size);
    const std::vector<uint8_t> stillPixels(still, still + size);
    Pipeline_UnlockStillImage();
    const std::vector<uint8_t> saved = DecodeImageToBgr(path, Scratch());
    ASSERT_EQ(saved.size(), 640u * 480 * 3);
    EXPECT_EQ(saved, stillPixels);
    int coloured = 0;
    for (size_t i = 0; i < saved.size(); i += 3) coloured += saved[i] != saved[i + 2];
    EXPECT_GT(coloured, 1000);

    // The preview, meanwhile, is gray.
    const uint8_t* frame = Pipeline_CurrentFrame();
    int grayPixels = 0;
    for (size_t i = 0; i < 640u * 480 * 3; i += 3) {
        grayPixels += frame[i] == frame[i + 1] && frame[i + 1] == frame[i + 2];
    }
    EXPECT_EQ(grayPixels, 640 * 480);
    g_pipeline.preview.gray = 0;
    g_pipeline.preview.flipHorizontal = 0;
}

TEST_F(PhotoTest, APhotoThatCannotBeWrittenIsReportedAndNotListed) {
    MessageTap panel(g_app.controlPanel);
    const std::wstring folder = g_session.folder();
    const std::wstring missing = folder + L"\\no such folder";
    lstrcpynW(AsWide(g_settings.imgDir), missing.c_str(), kPathChars);
    const size_t listed = LatestFiles().size();
    const std::wstring stored = StoredLatestFiles();

    SendMessageW(g_session.main(), WM_COMMAND, kCmdPhoto, 0);
    const std::wstring path = LastSavedFile();
    EXPECT_EQ(path.compare(0, missing.size(), missing), 0);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(g_session.PromptText(), L"Could not save: " + path);
    EXPECT_EQ(LatestFiles().size(), listed);
    EXPECT_EQ(StoredLatestFiles(), stored);
    PumpFor(100);
    for (const Tapped& m : panel.seen()) EXPECT_NE(m.msg, WM_APP_FILE_ADDED);

    // In the user's language.
    SelectLanguageTexts(kLanguageJapanese);
    SendMessageW(g_session.main(), WM_COMMAND, kCmdPhoto, 0);
    EXPECT_EQ(g_session.PromptText(), std::wstring(L"保存できませんでした：") + LastSavedFile());
    SelectLanguageTexts(kLanguageEnglish);
    lstrcpynW(AsWide(g_settings.imgDir), folder.c_str(), kPathChars);
}

TEST_F(PhotoTest, VideoCoverPhotoSitsBesideTheVideoUnlisted) {
    g_settings.jpgPng = 0;
    const std::wstring video = g_session.folder() + L"\\cover-test.avi";
    lstrcpynW(g_pipeline.format.recordPath, video.c_str(), 260);
    const size_t listed = LatestFiles().size();
    const std::wstring prompt = g_session.PromptText();
    SendMessageW(g_session.main(), WM_APP_VIDEO_STARTED, 0, 0);
    EXPECT_EQ(g_session.PromptText(), prompt);
    EXPECT_EQ(LatestFiles().size(), listed);
    EXPECT_EQ(IdentifyImage(g_session.folder() + L"\\cover-test.jpg"), "JPEG 640 480");
    g_pipeline.format.recordPath[0] = L'\0';
}

void ApplyCalibration(float scale, int32_t unit) {
    CalibrationCommand command = {scale, unit};
    SendMessageW(g_app.cameraView, WM_COMMAND, kViewCmdApplyCalibration,
                 reinterpret_cast<LPARAM>(&command));
}

// Cyan pixels of one row: the scale bar's rows are 16 to 20 pixels above the bottom edge.
int CyanInRow(const std::vector<uint8_t>& bgr, int width, int row) {
    const auto first = bgr.begin() + static_cast<ptrdiff_t>(row) * width * 3;
    return CountColour(std::vector<uint8_t>(first, first + width * 3), kCyan);
}

TEST_F(PhotoTest, TheScaleBarShowsOnlyCalibratedAtFullSizeAndPhotosCarryIt) {
    SendMessageW(g_session.main(), WM_COMMAND, kCmdDeleteAllShapes, 0);
    if (!CameraView_ScaleBar()) SendMessageW(g_session.main(), WM_COMMAND, kCmdScaleBar, 0);
    constexpr int kBarRow = 480 - 18;
    const struct {
        float scale;
        int32_t unit;
        double value;  // the round length a fifth of 640 pixels holds
    } cases[] = {{200.0f, kUnitMillimetres, 0.5}, {3.7f, kUnitMicrons, 20.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scale);
        ApplyCalibration(c.scale, c.unit);
        Repaint();
        const Picture shown = ViewSurface();
        EXPECT_NEAR(CyanInRow(shown.bgr, shown.width, kBarRow), c.value * c.scale, 1.0);
    }
    SendMessageW(g_session.main(), WM_COMMAND, kCmdPhoto, 0);
    const std::vector<uint8_t> photo = DecodeImageToBgr(LastSavedFile(), Scratch());
    ASSERT_EQ(photo.size(), 640u * 480 * 3);
    EXPECT_NEAR(CyanInRow(photo, 640, kBarRow), 74, 1);

    // Zoomed, digitally zoomed or uncalibrated: no bar anywhere.
    ShowViewAt(50, 0);
    EXPECT_EQ(CountColour(ViewSurface().bgr, kCyan), 0);
    ShowViewAt(100, 2);
    EXPECT_EQ(CountColour(ViewSurface().bgr, kCyan), 0);
    ShowViewAt(100, 0);
    ApplyCalibration(-1.0f, kUnitMillimetres);
    Repaint();
    EXPECT_EQ(CountColour(ViewSurface().bgr, kCyan), 0);
    SendMessageW(g_session.main(), WM_COMMAND, kCmdScaleBar, 0);
}

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(g_session.main())) return L"(clipboard busy)";
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (const auto* chars = static_cast<const wchar_t*>(data ? GlobalLock(data) : nullptr)) {
        text = chars;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

// A line dragged with the line tool from (x1, y) to (x2, y) in picture pixels; the picture is
// centred in the view.
void DragLine(int x1, int x2, int y) {
    RECT client;
    GetClientRect(g_app.cameraView, &client);
    const int left = (client.right - 640) / 2, top = (client.bottom - 480) / 2;
    SendMessageW(g_session.main(), WM_COMMAND, kCmdToolLine, 0);
    HWND view = g_app.cameraView;
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(left + x1, top + y));
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(left + x2, top + y));
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(left + x2, top + y));
    SendMessageW(g_session.main(), WM_COMMAND, kCmdToolNone, 0);
}

TEST_F(PhotoTest, CopyMeasurementsPutsTheTableOnTheClipboard) {
    SendMessageW(g_session.main(), WM_COMMAND, kCmdDeleteAllShapes, 0);
    DragLine(100, 300, 100);
    DragLine(100, 200, 200);
    const ShapeList& shapes = CameraView_Measure().Shapes();
    ASSERT_EQ(shapes.size(), 2u);
    SendMessageW(g_session.main(), WM_COMMAND, kCmdCopyMeasurements, 0);
    EXPECT_EQ(g_session.PromptText(), L"Measurements copied to the clipboard.");
    const std::wstring text = ClipboardText();
    const std::u16string table = MeasurementTsv(shapes, AnalysisScale());
    EXPECT_EQ(text, std::wstring(table.begin(), table.end()));
    // A header and a row per shape, in columns.
    size_t rows = 0;
    for (wchar_t c : text) rows += c == L'\n';
    EXPECT_EQ(rows, 3u);
    EXPECT_NE(text.find(L'\t'), std::wstring::npos);
    SendMessageW(g_session.main(), WM_COMMAND, kCmdDeleteAllShapes, 0);
}

// The user's own path: a calibration made with the ruler over the simulated stage micrometer
// (ticks 10 pixels per 0.01 mm at 640 pixels), a line across ten ticks, saved for analysis
// and measured by ImageJ.
TEST_F(PhotoTest, SavedForAnalysisImageJMeasuresTheLineInCalibratedUnits) {
    SendMessageW(g_session.main(), WM_COMMAND, kCmdDeleteAllShapes, 0);
    CameraView_StartCalibrationRuler();
    const int32_t ruler = CameraView_RulerLength();
    CameraView_EndCalibrationRuler();
    ASSERT_GT(ruler, 0);
    CalibrationRecord& slot = g_calibrations.slots[0];
    ASSERT_TRUE(MakeCalibration(slot, kUnitMillimetres, ruler, ruler / 1000.0f, 640, 480, 20240101));
    CopyToField(u"Stage 10\u00D7", slot.name);
    g_calibrations.activeIndex = 0;
    ApplyCalibration(slot.scale, slot.unit);
    DragLine(200, 300, 240);
    ASSERT_EQ(CameraView_Measure().Shapes().size(), 1u);

    MessageTap panel(g_app.controlPanel);
    const size_t listed = LatestFiles().size();
    SendMessageW(g_session.main(), WM_COMMAND, kCmdSaveForAnalysis, 0);
    const std::wstring tiff = LastSavedFile();
    ASSERT_EQ(tiff.substr(tiff.size() - 4), L".tif");
    EXPECT_EQ(g_session.PromptText(), L"File saved: " + tiff);
    ASSERT_EQ(LatestFiles().size(), listed + 1);
    EXPECT_EQ(LatestFiles().back(), AsUtf16(tiff.c_str()));
    EXPECT_TRUE(PumpUntil([&] {
        for (const Tapped& m : panel.seen())
            if (m.msg == WM_APP_FILE_ADDED) return true;
        return false;
    }, 2000));
    // ImageJ's own tags are unknown to ImageMagick, which warns about them.
    EXPECT_EQ(RunLinuxTool("identify -quiet -format '%m %w %h' " + Quoted(tiff)).output,
              "TIFF 640 480");
    const std::wstring csv = tiff.substr(0, tiff.size() - 3) + L"csv";
    const std::vector<uint8_t> table = ReadWholeFile(csv);
    const std::string expected = MeasurementCsv(CameraView_Measure().Shapes(), [&] {
        AnalysisScale scale;
        scale.pixelsPerUnit = slot.scale;
        scale.unit = slot.unit;
        scale.calibrationName = FieldText(slot.name);
        return scale;
    }());
    EXPECT_EQ(std::string(table.begin(), table.end()), expected);

    // The image folder's name has a space, which the imagej launcher does not pass on.
    const std::wstring copy = WindowsPathOf(TEST_FILES_DIR) + L"\\analysis.tif";
    ASSERT_TRUE(CopyFileW(tiff.c_str(), copy.c_str(), FALSE));
    const ProgramResult measured = RunLinuxTool(
        "xvfb-run -a timeout 60 imagej -b '" TL_SOURCE_DIR "/tests/core/imagej_overlay.ijm' " +
        Quoted(copy) + " | grep -E '^(pixel|overlay|roi)' | cut -f1-4 | tr '\\t\\n' '  '");
    DeleteFileW(copy.c_str());
    ASSERT_EQ(measured.code, 0u) << measured.output;
    char unit[16] = {};
    double pixelWidth = 0, length = 0;
    int rois = 0;
    ASSERT_EQ(std::sscanf(measured.output.c_str(), "pixel %15s %lf %*f overlay %d roi Line 1 line %lf",
                          unit, &pixelWidth, &rois, &length), 4) << measured.output;
    EXPECT_STREQ(unit, "mm");
    EXPECT_NEAR(pixelWidth, 0.001, 1e-6);
    EXPECT_EQ(rois, 1);
    EXPECT_NEAR(length, 0.1, 0.001);  // one pixel's worth

    // A folder that is gone: said once, nothing listed, nothing left behind.
    const std::wstring missing = g_session.folder() + L"\\gone";
    lstrcpynW(AsWide(g_settings.imgDir), missing.c_str(), kPathChars);
    SendMessageW(g_session.main(), WM_COMMAND, kCmdSaveForAnalysis, 0);
    const std::wstring said = g_session.PromptText();
    const std::wstring start = L"Could not save: " + missing + L"\\";
    EXPECT_EQ(said.compare(0, start.size(), start), 0) << std::string(said.begin(), said.end());
    EXPECT_EQ(said.substr(said.size() - 4), L".tif");
    EXPECT_EQ(LatestFiles().size(), listed + 1);
    lstrcpynW(AsWide(g_settings.imgDir), g_session.folder().c_str(), kPathChars);

    ApplyCalibration(-1.0f, kUnitMillimetres);
    g_calibrations.activeIndex = kNoActiveCalibration;
    SendMessageW(g_session.main(), WM_COMMAND, kCmdDeleteAllShapes, 0);
}

}  // namespace
