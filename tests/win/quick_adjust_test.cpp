// The quick-adjust pop-up on the real main window against the simulated microscope: the
// ratio steps move the view's zoom, property targets write to the camera (read back with its
// control tool), a click on the main window closes it; pictures in each language.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "capture/capture_graph.h"
#include "measure/camera_view.h"
#include "panel/quick_adjust.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/text_tables.h"
#include "win/dialog_driver.h"

namespace {

HWND QuickDialog() { return App_ModelessDialog(kQuickAdjustDialog); }

int SliderPosition() {
    return static_cast<int>(SendDlgItemMessageW(QuickDialog(), IDC_QUICK_SLIDER, TBM_GETPOS, 0, 0));
}

// Moves the slider as dragging its thumb would.
void DragSliderTo(int position) {
    HWND slider = GetDlgItem(QuickDialog(), IDC_QUICK_SLIDER);
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(QuickDialog(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                 reinterpret_cast<LPARAM>(slider));
}

// The value of one property as the simulated camera holds it.
int CameraValue(const std::wstring& camera, const std::string& property) {
    const SimcamResult shown = RunSimcam(L"show " + camera);
    const size_t at = shown.output.find("\n" + property + "=");
    if (at == std::string::npos) return -99999;
    return std::atoi(shown.output.c_str() + at + property.size() + 2);
}

class QuickAdjustTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RunSimcam(L"unplug --all");
        ASSERT_TRUE(App_RegisterWindowClasses(GetModuleHandleW(nullptr)));
        keys_ = new ProgramKeyGuard(L"Software\\TessaloomQuickAdjustTest",
                                    L"TessaloomQuickAdjustDocs");
        LoadSettings(keys_->TestKey(), keys_->Documents());
        g_settings.mjpg = 1;
        g_settings.width = 640;
        g_settings.height = 480;
        const SimcamResult r = RunSimcam(
            L"plug QuickCam --friendly QuickCam --formats MJPG:640x480 brightness.min=-64 "
            L"brightness.max=64 brightness=0 gain.min=0 gain.max=100 gain=10");
        ASSERT_EQ(r.code, 0u) << r.output;
        main_ = MainWindow_Create(GetModuleHandleW(nullptr));
        ASSERT_NE(main_, nullptr);
        SetWindowPos(main_, nullptr, 0, 0, 1200, 800, SWP_NOZORDER);
        ShowWindow(main_, SW_SHOWNORMAL);
        ASSERT_TRUE(PumpUntil([] { return Capture_FramesFlowing(); }, 10000));
        PumpFor(300);
    }
    static void TearDownTestSuite() {
        DestroyWindow(main_);
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        RunSimcam(L"unplug QuickCam");
        g_settings.language = kLanguageEnglish;
        SelectLanguageTexts(kLanguageEnglish);
        delete keys_;
    }
    void TearDown() override {
        App_CloseModelessDialog(kQuickAdjustDialog);
        SelectLanguageTexts(kLanguageEnglish);
    }
    void Open(int command) {
        SendMessageW(main_, WM_COMMAND, command, 0);
        PumpFor(50);
    }

    static ProgramKeyGuard* keys_;
    static HWND main_;
};

ProgramKeyGuard* QuickAdjustTest::keys_ = nullptr;
HWND QuickAdjustTest::main_ = nullptr;

TEST_F(QuickAdjustTest, RatioAt125StartsAtStep3AndStep5Sets200) {
    SendMessageW(g_app.cameraView, WM_COMMAND, kViewCmdSetZoom, 125);
    Open(kCmdQuickRatio);
    ASSERT_NE(QuickDialog(), nullptr);
    EXPECT_TRUE(IsWindowVisible(QuickDialog()));
    EXPECT_EQ(ItemText(QuickDialog(), IDC_QUICK_TITLE), L"Ratio");
    EXPECT_EQ(SliderPosition(), 3);
    EXPECT_EQ(ItemText(QuickDialog(), IDC_QUICK_VALUE), L"125%");
    RECT r;
    GetWindowRect(QuickDialog(), &r);
    EXPECT_EQ(r.left, 70);
    EXPECT_EQ(r.top, 320);
    SaveWindowShot(QuickDialog(), L"quick-adjust-ratio-en");

    DragSliderTo(5);
    EXPECT_EQ(CameraView_ZoomPercent(), 200);
    EXPECT_EQ(ItemText(QuickDialog(), IDC_QUICK_VALUE), L"200%");
    DragSliderTo(0);
    EXPECT_EQ(CameraView_ZoomPercent(), 50);

    // Fitted (no step of its own): the slider opens where it was left.
    App_CloseModelessDialog(kQuickAdjustDialog);
    SendMessageW(g_app.cameraView, WM_COMMAND, kViewCmdSetZoom, 0);
    ASSERT_EQ(RatioStepOf(CameraView_ZoomPercent()), -1);
    Open(kCmdQuickRatio);
    EXPECT_EQ(SliderPosition(), 0);
    EXPECT_EQ(ItemText(QuickDialog(), IDC_QUICK_VALUE), L"50%");
}

TEST_F(QuickAdjustTest, PropertySlidersWriteToTheCamera) {
    Open(kCmdQuickBrightness);
    ASSERT_NE(QuickDialog(), nullptr);
    EXPECT_EQ(ItemText(QuickDialog(), IDC_QUICK_TITLE), L"Brightness:");
    EXPECT_EQ(SliderPosition(), 64);  // value 0 over a base of -64
    EXPECT_EQ(ItemText(QuickDialog(), IDC_QUICK_VALUE), L"0");
    RECT r;
    GetWindowRect(QuickDialog(), &r);
    EXPECT_EQ(r.top, 260);
    DragSliderTo(100);
    EXPECT_EQ(ItemText(QuickDialog(), IDC_QUICK_VALUE), L"36");
    EXPECT_EQ(g_cameraProperties[kPropBrightness].value, 36);
    EXPECT_EQ(CameraValue(L"QuickCam", "brightness"), 36);

    // Another target while it is open: set up for that one, not writing the old range there.
    Open(kCmdQuickGain);
    EXPECT_EQ(ItemText(QuickDialog(), IDC_QUICK_TITLE), L"Gain:");
    EXPECT_EQ(SliderPosition(), 10);
    GetWindowRect(QuickDialog(), &r);
    EXPECT_EQ(r.top, 530);
    DragSliderTo(80);
    EXPECT_EQ(CameraValue(L"QuickCam", "gain"), 80);
    EXPECT_EQ(CameraValue(L"QuickCam", "brightness"), 36);
}

TEST_F(QuickAdjustTest, ClickingTheMainWindowClosesIt) {
    Open(kCmdQuickContrast);
    HWND dialog = QuickDialog();
    ASSERT_NE(dialog, nullptr);
    SetForegroundWindow(dialog);
    PumpFor(100);
    // A real click on the main window's client area, away from every child.
    RECT view;
    GetWindowRect(g_app.cameraView, &view);
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT input[3] = {};
    for (INPUT& i : input) i.type = INPUT_MOUSE;
    input[0].mi.dx = ((view.left + 200) * 65536 + w / 2) / w;
    input[0].mi.dy = ((view.top + 200) * 65536 + h / 2) / h;
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(3, input, sizeof input[0]);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(dialog); }, 3000));
    EXPECT_EQ(QuickDialog(), nullptr);
}

TEST_F(QuickAdjustTest, WithoutACameraNothingOpensAndTitlesFollowTheLanguage) {
    for (int language : {kLanguageChinese, kLanguageJapanese}) {
        SelectLanguageTexts(language);
        Open(kCmdQuickSaturation);
        ASSERT_NE(QuickDialog(), nullptr);
        EXPECT_EQ(ItemText(QuickDialog(), IDC_QUICK_TITLE), GetWideText("saturation"));
        SaveWindowShot(QuickDialog(), language == kLanguageChinese ? L"quick-adjust-zh"
                                                                   : L"quick-adjust-ja");
        App_CloseModelessDialog(kQuickAdjustDialog);
    }
    SelectLanguageTexts(kLanguageEnglish);
    Open(kCmdQuickSharpness);
    SaveWindowShot(QuickDialog(), L"quick-adjust-en");
    App_CloseModelessDialog(kQuickAdjustDialog);

    ASSERT_EQ(RunSimcam(L"unplug QuickCam").code, 0u);
    ASSERT_TRUE(PumpUntil([] { return !Capture_IsOpen(); }, 5000));
    Open(kCmdQuickBrightness);
    EXPECT_EQ(QuickDialog(), nullptr);
}

}  // namespace
