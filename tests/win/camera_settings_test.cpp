// The camera settings dialog on the real main window against the simulated microscope:
// its rows are the camera's properties, its changes reach the camera (read back with the
// camera's control tool), and a camera plugged back in gets its values again before its
// first frame, kept apart from an identical camera's. Pictures in each language.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "capture/capture_graph.h"
#include "panel/camera_settings_rules.h"
#include "recording/avi_writer.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/text_tables.h"
#include "win/dialog_driver.h"

namespace {

constexpr wchar_t kTestKey[] = L"Software\\TessaloomCameraSettingsTest";
constexpr wchar_t kPlugOptions[] = L"--formats MJPG:640x480";

HWND Dialog() { return App_ModelessDialog(kCameraSettingsDialog); }

int KindOf(PropertyIndex property) {
    for (int kind = 0; kind < kSettingsRowKindCount; ++kind)
        if (kSettingsRowKinds[kind].property == property) return kind;
    return -1;
}

HWND Slider(PropertyIndex property) {
    return GetDlgItem(Dialog(), IDC_CAMSET_SLIDER_BASE + KindOf(property));
}

// Moves a row's slider as dragging its thumb would.
void DragTo(PropertyIndex property, int position) {
    SendMessageW(Slider(property), TBM_SETPOS, TRUE, position);
    SendMessageW(Dialog(), WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position),
                 reinterpret_cast<LPARAM>(Slider(property)));
}

void ClickAuto(PropertyIndex property, bool on) {
    const int id = IDC_CAMSET_AUTO_BASE + KindOf(property);
    CheckDlgButton(Dialog(), id, on ? BST_CHECKED : BST_UNCHECKED);
    SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), id)));
}

// One property as the simulated camera holds it: its value and "manual" or "auto".
struct CameraSide {
    int value;
    std::string mode;
};
CameraSide OnCamera(const std::wstring& camera, const std::string& property) {
    const std::string out = RunSimcam(L"show " + camera).output;
    const size_t at = out.find("\n" + property + "=");
    if (at == std::string::npos) return {-99999, "missing"};
    const std::string line = out.substr(at + 1, out.find_first_of("\r\n", at + 1) - at - 1);
    const size_t mode = line.find(" mode=");
    return {std::atoi(line.c_str() + property.size() + 1),
            mode == std::string::npos ? "" : line.substr(mode + 6)};
}

class CameraSettingsTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RunSimcam(L"unplug --all");
        ASSERT_TRUE(App_RegisterWindowClasses(GetModuleHandleW(nullptr)));
        keys_ = new ProgramKeyGuard(kTestKey, L"TessaloomCameraSettingsDocs");
        LoadSettings(kTestKey, keys_->Documents());
        main_ = MainWindow_Create(GetModuleHandleW(nullptr));
        ASSERT_NE(main_, nullptr);
        SetWindowPos(main_, nullptr, 0, 0, 1200, 800, SWP_NOZORDER);
        ShowWindow(main_, SW_SHOWNORMAL);
    }
    static void TearDownTestSuite() {
        DestroyWindow(main_);
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        RunSimcam(L"unplug --all");
        g_settings.language = kLanguageEnglish;
        SelectLanguageTexts(kLanguageEnglish);
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
        delete keys_;
    }
    void TearDown() override {
        App_CloseModelessDialog(kCameraSettingsDialog);
        // Each test starts with cameras the program has never seen.
        RegDeleteKeyValueW(HKEY_CURRENT_USER, (std::wstring(kTestKey) + L"\\More").c_str(),
                           L"CameraSettings");
        RunSimcam(L"unplug --all");
        PumpUntil([] { return !Capture_IsOpen(); }, 5000);
        g_settings.language = kLanguageEnglish;
        SelectLanguageTexts(kLanguageEnglish);
    }
    // Plugs a camera and waits until the program shows its frames.
    static void Plug(const std::wstring& name, const std::wstring& options) {
        const SimcamResult r =
            RunSimcam(L"plug " + name + L" --friendly \"Twin Scope\" " + options);
        ASSERT_EQ(r.code, 0u) << r.output;
        ASSERT_TRUE(PumpUntil([] { return Capture_FramesFlowing(); }, 10000));
    }
    static void Unplug(const std::wstring& name) {
        ASSERT_EQ(RunSimcam(L"unplug " + name).code, 0u);
        ASSERT_TRUE(PumpUntil([] { return !Capture_IsOpen(); }, 5000));
    }
    static void OpenDialog() {
        SendMessageW(main_, WM_COMMAND, kCmdCameraSettings, 0);
        PumpFor(100);
        ASSERT_NE(Dialog(), nullptr);
    }

    static ProgramKeyGuard* keys_;
    static HWND main_;
};

ProgramKeyGuard* CameraSettingsTest::keys_ = nullptr;
HWND CameraSettingsTest::main_ = nullptr;

TEST_F(CameraSettingsTest, RowsAreTheCamerasAndEveryChangeReachesIt) {
    Plug(L"SetCam", std::wstring(kPlugOptions) + L" iris.caps=manual");
    const bool compressed = Recorder_CompressedVideo();
    OpenDialog();
    EXPECT_TRUE(IsWindowVisible(Dialog()));
    EXPECT_EQ(Recorder_CompressedVideo(), compressed) << "opening it switched the video format";
    RECT own, self;
    GetWindowRect(main_, &own);
    GetWindowRect(Dialog(), &self);
    EXPECT_EQ(self.top, own.top + 68);
    EXPECT_LE(std::abs((self.left + self.right) - (own.left + own.right)), 1);

    // Every property the camera offers has its row, and no other property has one.
    const std::set<PropertyIndex> offered = {
        kPropBrightness, kPropContrast,     kPropHue,       kPropSaturation, kPropSharpness,
        kPropGamma,      kPropWhiteBalance, kPropBacklight, kPropGain,       kPropExposure,
        kPropFocus,      kPropZoom,         kPropIris};
    for (int kind = 0; kind < kSettingsRowKindCount; ++kind) {
        const PropertyIndex p = kSettingsRowKinds[kind].property;
        EXPECT_EQ(IsWindowVisible(GetDlgItem(Dialog(), IDC_CAMSET_SLIDER_BASE + kind)) != 0,
                  offered.count(p) == 1)
            << kSettingsRowKinds[kind].nameKey;
    }
    // Auto boxes where the camera offers auto: exposure (on), white balance (on), focus (off).
    for (PropertyIndex p : {kPropExposure, kPropWhiteBalance, kPropFocus, kPropGain}) {
        EXPECT_EQ(IsWindowVisible(GetDlgItem(Dialog(), IDC_CAMSET_AUTO_BASE + KindOf(p))) != 0,
                  p != kPropGain);
    }
    EXPECT_FALSE(IsWindowEnabled(Slider(kPropExposure)));
    EXPECT_EQ(ItemText(Dialog(), IDC_CAMSET_VALUE_BASE + KindOf(kPropExposure)), L"1/64 s");
    SaveWindowShot(Dialog(), L"camera-settings-en");

    DragTo(kPropBrightness, 64 + 20);  // range -64 .. 64
    DragTo(kPropZoom, 150);            // range 100 .. 400
    EXPECT_EQ(OnCamera(L"SetCam", "brightness").value, 20);
    EXPECT_EQ(OnCamera(L"SetCam", "zoom").value, 250);

    // Exposure out of auto starts at its default; then 1/128 s by hand. Focus into auto.
    ClickAuto(kPropExposure, false);
    EXPECT_TRUE(IsWindowEnabled(Slider(kPropExposure)));
    DragTo(kPropExposure, 6);  // range -13 .. -1
    EXPECT_EQ(ItemText(Dialog(), IDC_CAMSET_VALUE_BASE + KindOf(kPropExposure)), L"1/128 s");
    const CameraSide exposure = OnCamera(L"SetCam", "exposure");
    EXPECT_EQ(exposure.value, -7);
    EXPECT_EQ(exposure.mode, "manual");
    ClickAuto(kPropFocus, true);
    EXPECT_EQ(OnCamera(L"SetCam", "focus").mode, "auto");
    EXPECT_FALSE(IsWindowEnabled(Slider(kPropFocus)));

    HWND frequency = GetDlgItem(Dialog(), IDC_CAMSET_FREQUENCY);
    EXPECT_EQ(ComboItems(frequency), (std::vector<std::wstring>{L"50 Hz", L"60 Hz"}));
    ChooseComboEntry(Dialog(), IDC_CAMSET_FREQUENCY, 1);
    EXPECT_EQ(OnCamera(L"SetCam", "powerline").value, 2);

    // Default: every row at the camera's default, in manual mode.
    ClickButton(Dialog(), IDC_CAMSET_DEFAULT);
    EXPECT_EQ(OnCamera(L"SetCam", "brightness").value, 0);
    EXPECT_EQ(OnCamera(L"SetCam", "zoom").value, 100);
    const CameraSide focus = OnCamera(L"SetCam", "focus");
    EXPECT_EQ(focus.value, 128);
    EXPECT_EQ(focus.mode, "manual");
    EXPECT_EQ(OnCamera(L"SetCam", "exposure").value, -6);
    EXPECT_TRUE(IsWindowEnabled(Slider(kPropFocus)));
}

// What a user sets on exposure and white balance is there again after a replug, read back
// from the camera as soon as its frames flow; the dialog greys while it is away.
TEST_F(CameraSettingsTest, AReplugBringsTheCameraBackAsItWasLeft) {
    Plug(L"SetCam", kPlugOptions);
    OpenDialog();
    ClickAuto(kPropExposure, false);
    DragTo(kPropExposure, 6);  // -7: 1/128 s
    ClickAuto(kPropWhiteBalance, false);
    DragTo(kPropWhiteBalance, 3500 - 2800);  // 3500 K
    ASSERT_EQ(OnCamera(L"SetCam", "whitebalance").value, 3500);

    Unplug(L"SetCam");
    PumpFor(100);
    EXPECT_FALSE(IsWindowEnabled(Slider(kPropBrightness)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(Dialog(), IDCANCEL)));

    Plug(L"SetCam", kPlugOptions);
    const CameraSide exposure = OnCamera(L"SetCam", "exposure");
    const CameraSide white = OnCamera(L"SetCam", "whitebalance");
    EXPECT_EQ(exposure.value, -7);
    EXPECT_EQ(exposure.mode, "manual");
    EXPECT_EQ(white.value, 3500);
    EXPECT_EQ(white.mode, "manual");
    PumpFor(200);
    EXPECT_TRUE(IsWindowEnabled(Slider(kPropExposure)));
    EXPECT_EQ(ItemText(Dialog(), IDC_CAMSET_VALUE_BASE + KindOf(kPropExposure)), L"1/128 s");
}

// Two microscopes of one friendly name keep their own values; one plugged back with a
// narrower range gets its value clamped into it.
TEST_F(CameraSettingsTest, IdenticalCamerasKeepTheirOwnValuesClampedToTheirRange) {
    Plug(L"TwinA", kPlugOptions);
    OpenDialog();
    DragTo(kPropGain, 30);
    Unplug(L"TwinA");
    Plug(L"TwinB", kPlugOptions);
    DragTo(kPropGain, 70);
    ASSERT_EQ(OnCamera(L"TwinB", "gain").value, 70);
    Unplug(L"TwinB");

    Plug(L"TwinA", std::wstring(kPlugOptions) + L" gain.max=20");
    EXPECT_EQ(OnCamera(L"TwinA", "gain").value, 20);
    Unplug(L"TwinA");
    Plug(L"TwinB", kPlugOptions);
    EXPECT_EQ(OnCamera(L"TwinB", "gain").value, 70);
}

TEST_F(CameraSettingsTest, TextsFollowTheLanguage) {
    Plug(L"SetCam", kPlugOptions);
    for (int language : {kLanguageChinese, kLanguageJapanese}) {
        g_settings.language = language;
        SelectLanguageTexts(language);
        OpenDialog();
        EXPECT_EQ(TitleOf(Dialog()), GetWideText("more camera settings title"));
        EXPECT_EQ(ItemText(Dialog(), IDC_CAMSET_LABEL_BASE + KindOf(kPropFocus)),
                  GetWideText("more focus"));
        EXPECT_EQ(ItemText(Dialog(), IDC_CAMSET_DEFAULT), GetWideText("default"));
        SaveWindowShot(
            Dialog(), language == kLanguageChinese ? L"camera-settings-zh" : L"camera-settings-ja");
        App_CloseModelessDialog(kCameraSettingsDialog);
    }
}

}  // namespace
