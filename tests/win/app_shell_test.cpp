// The application shell on real windows: main-window layout and full screen, the minimum
// size, command and notice routing to the children, the prompt window's life time, the
// message loop with its modeless dialogs, and the single-instance guard against the real
// program.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app_messages.h"
#include "app/app_state.h"
#include "app/context_menu.h"
#include "app/main_window.h"
#include "app/prompt_window.h"
#include "app/startup.h"
#include "app/tool_button_window.h"
#include "app/window_classes.h"
#include "capture/capture_graph.h"
#include "capture/device_lifecycle.h"
#include "capture/device_list.h"
#include "measure/camera_view.h"
#include "measure/shapes.h"
#include "pipeline/video_format.h"
#include "recording/avi_writer.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/text_tables.h"
#include "win/simcam_tool.h"
#include "win/main_window_support.h"
#include "win/win_test_support.h"

namespace {

constexpr wchar_t kTestSettingsKey[] = L"Software\\TessaloomAppShellTest";

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

RECT RectInParent(HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void ExpectPlaced(HWND child, int x, int y, int width, int height, const char* what) {
    ASSERT_NE(child, nullptr) << what;
    const RECT r = RectInParent(child);
    EXPECT_EQ(r.left, x) << what;
    EXPECT_EQ(r.top, y) << what;
    EXPECT_EQ(r.right - r.left, width) << what;
    EXPECT_EQ(r.bottom - r.top, height) << what;
}

SIZE ClientSize(HWND hwnd) {
    RECT r = {};
    GetClientRect(hwnd, &r);
    return {r.right, r.bottom};
}

int PanelWidth() { return MulDiv(126, LOWORD(GetDialogBaseUnits()), 4); }

void ExpectNormalLayout(HWND main) {
    const SIZE c = ClientSize(main);
    const int p = PanelWidth();
    ExpectPlaced(g_app.measureToolbar, 59, 0, c.cx - p - 59, 52, "measure toolbar");
    ExpectPlaced(g_app.cameraToolbar, 0, 0, 59, c.cy, "camera toolbar");
    ExpectPlaced(g_app.cameraView, 59, 52, c.cx - p - 59, c.cy - 52, "camera view");
    ExpectPlaced(g_app.controlPanel, c.cx - p, 0, p, c.cy, "control panel");
}

void ExpectFullScreenLayout(HWND main) {
    const SIZE c = ClientSize(main);
    ExpectPlaced(g_app.measureToolbar, 0, 0, 0, 0, "measure toolbar");
    ExpectPlaced(g_app.cameraToolbar, 0, 0, 59, c.cy, "camera toolbar");
    ExpectPlaced(g_app.cameraView, 59, 0, c.cx - 59, c.cy, "camera view");
    ExpectPlaced(g_app.controlPanel, 0, 0, 0, 0, "control panel");
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::vector<HWND> TopLevelWindowsOfClass(const wchar_t* className) {
    struct Search {
        const wchar_t* name;
        std::vector<HWND> found;
    } search = {className, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (lstrcmpW(name, s->name) == 0) s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int ChildrenWithId(HWND parent, int id) {
    int count = 0;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        count += GetDlgCtrlID(child) == id;
    }
    return count;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[600] = {};
    GetWindowTextW(hwnd, text, 600);
    return text;
}

class AppShellTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RunSimcam(L"unplug --all");  // the view would open any camera it finds
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        documents_ = std::wstring(temp) + L"TessaloomAppShellDocs";
        CreateDirectoryW(documents_.c_str(), nullptr);
        // The program's own key is only touched by the device-opened notice; remember
        // whether it was there so that the test leaves it as it found it.
        HKEY key = nullptr;
        programKeyExisted_ =
            RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key != nullptr) RegCloseKey(key);
        LoadSettings(kTestSettingsKey, documents_.c_str());
        ASSERT_TRUE(App_RegisterWindowClasses(Instance()));
        RegisterStandInChildren();
    }
    static void TearDownTestSuite() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestSettingsKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kTestSettingsKey);
        if (!programKeyExisted_) {
            RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
            RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKeyPath);
        }
        // Loading made the image folder, saving its thumbnails folder.
        const std::wstring images = documents_ + L"\\Tessaloom Files";
        RemoveDirectoryW((images + L"\\Thumbnails").c_str());
        RemoveDirectoryW(images.c_str());
        RemoveDirectoryW(documents_.c_str());
    }

    void TearDown() override {
        if (main_ != nullptr && IsWindow(main_)) DestroyWindow(main_);
        // Destroying the main window ends "the" message loop; drop that quit request.
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    HWND CreateMain(int x, int y, int width, int height) {
        main_ = MainWindow_Create(Instance());
        if (main_ != nullptr) {
            SetWindowPos(main_, nullptr, x, y, width, height, SWP_NOZORDER);
            ShowWindow(main_, SW_SHOWNORMAL);
            PumpFor(50);
        }
        return main_;
    }

    void OpenWithCamera(const wchar_t* name);

    HWND main_ = nullptr;
    static std::wstring documents_;
    static bool programKeyExisted_;
};

std::wstring AppShellTest::documents_;
bool AppShellTest::programKeyExisted_ = false;

TEST_F(AppShellTest, LaysOutChildrenAndRestoresTheExactPlacementAfterFullScreen) {
    ASSERT_NE(CreateMain(40, 30, 1200, 800), nullptr);
    EXPECT_EQ(g_app.mainWindow, main_);
    EXPECT_EQ(GetDlgCtrlID(g_app.measureToolbar), kIdMeasureToolbar);
    EXPECT_EQ(GetDlgCtrlID(g_app.cameraToolbar), kIdCameraToolbar);
    EXPECT_EQ(GetDlgCtrlID(g_app.cameraView), kIdCameraView);
    EXPECT_EQ(GetDlgCtrlID(g_app.controlPanel), kIdControlPanel);
    ExpectNormalLayout(main_);

    // Resizing lays the children out again.
    SetWindowPos(main_, nullptr, 0, 0, 1000, 700, SWP_NOMOVE | SWP_NOZORDER);
    ExpectNormalLayout(main_);

    WINDOWPLACEMENT before = {};
    before.length = sizeof before;
    ASSERT_TRUE(GetWindowPlacement(main_, &before));
    RECT beforeRect;
    GetWindowRect(main_, &beforeRect);

    PostMessageW(main_, WM_APP_FULL_SCREEN, 0, 0);
    auto framed = [&] { return (GetWindowLongPtrW(main_, GWL_STYLE) & WS_CAPTION) != 0; };
    ASSERT_TRUE(PumpUntil([&] { return !framed(); }, 3000));
    EXPECT_EQ(GetWindowLongPtrW(main_, GWL_STYLE) & WS_OVERLAPPEDWINDOW, 0);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(main_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    RECT full;
    GetWindowRect(main_, &full);
    EXPECT_TRUE(SameRect(full, monitor.rcMonitor));
    ExpectFullScreenLayout(main_);
    EXPECT_EQ(GetFocus(), g_app.cameraView);

    PostMessageW(main_, WM_APP_FULL_SCREEN, 0, 0);
    ASSERT_TRUE(PumpUntil(framed, 3000));
    EXPECT_EQ(GetWindowLongPtrW(main_, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
    WINDOWPLACEMENT after = {};
    after.length = sizeof after;
    GetWindowPlacement(main_, &after);
    EXPECT_EQ(after.showCmd, before.showCmd);
    EXPECT_TRUE(SameRect(after.rcNormalPosition, before.rcNormalPosition));
    RECT afterRect;
    GetWindowRect(main_, &afterRect);
    EXPECT_TRUE(SameRect(afterRect, beforeRect));
    ExpectNormalLayout(main_);
}

TEST_F(AppShellTest, MaximisedWindowComesBackMaximisedWithItsNormalPlacement) {
    ASSERT_NE(CreateMain(70, 50, 900, 600), nullptr);
    ShowWindow(main_, SW_SHOWMAXIMIZED);
    PumpFor(50);
    ASSERT_TRUE(IsZoomed(main_));
    WINDOWPLACEMENT before = {};
    before.length = sizeof before;
    GetWindowPlacement(main_, &before);
    RECT maximised;
    RECT maximisedClient;
    GetWindowRect(main_, &maximised);
    GetClientRect(main_, &maximisedClient);

    SendMessageW(main_, WM_APP_FULL_SCREEN, 0, 0);
    ExpectFullScreenLayout(main_);
    SendMessageW(main_, WM_APP_FULL_SCREEN, 0, 0);

    // Maximised again for real: the frame lies outside the work area as before, so the
    // client area is as large as it was, not the monitor rectangle minus a frame.
    EXPECT_TRUE(IsZoomed(main_));
    RECT back;
    RECT backClient;
    GetWindowRect(main_, &back);
    GetClientRect(main_, &backClient);
    EXPECT_TRUE(SameRect(back, maximised));
    EXPECT_TRUE(SameRect(backClient, maximisedClient));
    WINDOWPLACEMENT after = {};
    after.length = sizeof after;
    GetWindowPlacement(main_, &after);
    EXPECT_EQ(after.showCmd, static_cast<UINT>(SW_SHOWMAXIMIZED));
    EXPECT_TRUE(SameRect(after.rcNormalPosition, before.rcNormalPosition));
    ExpectNormalLayout(main_);

    // Back to normal size: the placement from before full screen, not the monitor.
    ShowWindow(main_, SW_RESTORE);
    RECT restored;
    GetWindowRect(main_, &restored);
    EXPECT_EQ(restored.right - restored.left, 900);
    EXPECT_EQ(restored.bottom - restored.top, 600);
}

TEST_F(AppShellTest, RefusesToBecomeSmallerThan798By520AndKeepsItsLayoutWhenMinimised) {
    ASSERT_NE(CreateMain(10, 10, 1000, 700), nullptr);
    SetWindowPos(main_, nullptr, 0, 0, 500, 300, SWP_NOMOVE | SWP_NOZORDER);
    RECT r;
    GetWindowRect(main_, &r);
    EXPECT_EQ(r.right - r.left, 798);
    EXPECT_EQ(r.bottom - r.top, 520);
    // At the smallest size every child still has room.
    ExpectNormalLayout(main_);
    EXPECT_GT(RectInParent(g_app.cameraView).right - RectInParent(g_app.cameraView).left, 0);

    const RECT view = RectInParent(g_app.cameraView);
    ShowWindow(main_, SW_MINIMIZE);
    PumpFor(50);
    ASSERT_TRUE(IsIconic(main_));
    EXPECT_TRUE(SameRect(RectInParent(g_app.cameraView), view));
    ShowWindow(main_, SW_RESTORE);
    PumpFor(50);
    ExpectNormalLayout(main_);
}

TEST_F(AppShellTest, CreationAndDeviceNoticesReachThePanelAndTheView) {
    main_ = MainWindow_Create(Instance());
    ASSERT_NE(main_, nullptr);
    // The panel's notices of creation are posted, so they are still queued here.
    MessageTap panel(g_app.controlPanel);
    MessageTap view(g_app.cameraView);
    MessageTap self(main_);
    PumpFor(100);
    // The view's first look for cameras may come in between; the panel's own layout passes
    // and its sections' toggle notices are not from the main window.
    std::vector<Tapped> created;
    for (const auto& m : panel.seen()) {
        if (m.msg == WM_APP_PANEL_REFRESH && m.wParam == kRefreshDeviceList) continue;
        if (m.msg == WM_APP_SECTION_TOGGLE) continue;
        if (m.msg == WM_COMMAND && LOWORD(m.wParam) == kPanelCmdLayout) continue;
        created.push_back(m);
    }
    ASSERT_EQ(created.size(), 2u);
    EXPECT_EQ(created[0].msg, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(LOWORD(created[0].wParam), kCmdReloadTexts);
    EXPECT_EQ(created[1].msg, WM_APP_PANEL_REFRESH);
    EXPECT_EQ(created[1].wParam, static_cast<WPARAM>(kRefreshDeviceState));

    panel.Clear();
    PostMessageW(main_, WM_APP_DEVICE_LIST_CHANGED, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return panel.Refreshes(kRefreshDeviceList) >= 1; }, 2000));
    EXPECT_EQ(panel.Refreshes(kRefreshDeviceState), 0);

    // The settings dialog's OK hands the current overlay style to the view.
    g_settings.gridColor = 0x800080;
    g_settings.lineColor = 0x00FFFF;
    g_settings.lineWidth = 2;
    g_settings.textColor = 0xFF0000;
    g_settings.textSize = 22;
    SendMessageW(main_, WM_COMMAND, kCmdOverlayStyleChanged, 0);
    auto styles = view.Commands(kViewCmdOverlayStyle);
    ASSERT_EQ(styles.size(), 1u);
    EXPECT_EQ(styles[0].payload, (std::vector<int32_t>{0x800080, 0x00FFFF, 2, 0xFF0000, 22}));

    // A wide picture opens fitted; the format is remembered and saved; no calibration applies.
    panel.Clear();
    view.Clear();
    g_requestedFormat = {kSubtypeMjpg, 1920, 1080, 0};
    g_settings.mjpg = 0;
    g_calibrations.activeIndex = 3;  // applied with the camera that was open before
    SendMessageW(main_, WM_APP_DEVICE_OPENED, 0, 0);
    EXPECT_EQ(g_calibrations.activeIndex, -1);
    EXPECT_EQ(g_settings.mjpg, 1);
    EXPECT_EQ(g_settings.width, 1920);
    EXPECT_EQ(g_settings.height, 1080);
    DWORD stored = 0, size = sizeof stored;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kSettingsKeyPath, L"width", RRF_RT_REG_DWORD, nullptr,
                           &stored, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(stored, 1920u);
    auto calibrations = view.Commands(kViewCmdApplyCalibration);
    ASSERT_EQ(calibrations.size(), 1u);
    float scale;
    std::memcpy(&scale, &calibrations[0].payload[0], sizeof scale);
    EXPECT_EQ(scale, -1.0f);
    EXPECT_EQ(calibrations[0].payload[1], 0);
    auto zooms = view.Commands(kViewCmdSetZoom);
    ASSERT_EQ(zooms.size(), 1u);
    EXPECT_EQ(zooms[0].lParam, 0);
    ASSERT_TRUE(PumpUntil([&] { return !self.Commands(kCmdAutoCrossline).empty(); }, 2000));
    ASSERT_TRUE(PumpUntil([&] { return panel.Refreshes(kRefreshDeviceState) == 1; }, 2000));

    // A smaller, interpolated YUY2 picture opens at 100 %.
    view.Clear();
    g_requestedFormat = {kSubtypeYuy2, 1280, 960, 1};
    SendMessageW(main_, WM_APP_DEVICE_OPENED, 0, 0);
    EXPECT_EQ(g_settings.mjpg, 0);
    EXPECT_EQ(g_settings.interpolated, 1);
    zooms = view.Commands(kViewCmdSetZoom);
    ASSERT_EQ(zooms.size(), 1u);
    EXPECT_EQ(zooms[0].lParam, 100);
}

TEST_F(AppShellTest, ClosingTheDeviceDropsToolTextDialogCalibrationDialogAndRuler) {
    main_ = MainWindow_Create(Instance());
    ASSERT_NE(main_, nullptr);
    MessageTap panel(g_app.controlPanel);
    PumpFor(50);
    panel.Clear();
    auto standIn = [&] {
        return CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP, 0, 0, 10, 10, main_, nullptr,
                               Instance(), nullptr);
    };
    HWND text = standIn(), calibration = standIn(), quick = standIn();
    App_SetModelessDialog(kInputTextDialog, text);
    App_SetModelessDialog(kCalibrationDialog, calibration);
    App_SetModelessDialog(kQuickAdjustDialog, quick);
    SendMessageW(main_, WM_COMMAND, kCmdToolRectangle, 0);
    ASSERT_EQ(CameraView_Measure().CurrentTool(), kToolRectangle);
    CameraView_StartCalibrationRuler();

    SendMessageW(main_, WM_APP_DEVICE_CLOSED, 0, 0);
    EXPECT_EQ(CameraView_Measure().CurrentTool(), kToolNone);
    EXPECT_EQ(CameraView_Measure().Ruler().length, 0);
    EXPECT_FALSE(IsWindow(text));
    EXPECT_FALSE(IsWindow(calibration));
    EXPECT_EQ(App_ModelessDialog(kInputTextDialog), nullptr);
    EXPECT_EQ(App_ModelessDialog(kCalibrationDialog), nullptr);
    EXPECT_EQ(App_ModelessDialog(kQuickAdjustDialog), quick);
    ASSERT_TRUE(PumpUntil([&] { return panel.Refreshes(kRefreshDeviceState) == 1; }, 2000));

    // Closed again with nothing open: no harm.
    SendMessageW(main_, WM_APP_DEVICE_CLOSED, 0, 0);
    App_CloseModelessDialog(kQuickAdjustDialog);
    EXPECT_FALSE(IsWindow(quick));

    // Closing the main window ends the message loop with 0.
    DestroyWindow(main_);
    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
    EXPECT_EQ(g_app.mainWindow, nullptr);
}

// Listens to the measurement toolbar's buttons.
class ToolbarButtons {
public:
    ToolbarButtons(std::initializer_list<int> ids) {
        for (int id : ids) {
            HWND button = GetDlgItem(g_app.measureToolbar, id);
            EXPECT_NE(button, nullptr) << id;
            taps_[id] = std::make_unique<MessageTap>(button);
        }
    }
    // The checked states the button was sent, in order.
    std::vector<LPARAM> Checks(int id) const {
        return taps_.at(id)->CommandParams(kButtonCmdSetChecked);
    }
    bool AnySent() const {
        for (const auto& tap : taps_)
            if (!tap.second->seen().empty()) return true;
        return false;
    }
    void Clear() {
        for (auto& tap : taps_) tap.second->Clear();
    }

private:
    std::map<int, std::unique_ptr<MessageTap>> taps_;
};

int32_t CurrentTool() { return CameraView_Measure().CurrentTool(); }

TEST_F(AppShellTest, ChoosingAToolChecksOnlyItsButtonAndTellsTheView) {
    main_ = MainWindow_Create(Instance());
    ASSERT_NE(main_, nullptr);
    ToolbarButtons buttons({kCmdToolLine, kCmdToolParallel, kCmdToolRectangle, kCmdToolCircle,
                            kCmdToolConcentric, kCmdToolAngle, kCmdToolPencil, kCmdToolText,
                            kCmdToolNone});
    MessageTap view(g_app.cameraView);
    SendMessageW(main_, WM_COMMAND, kCmdToolNone, 0);

    const struct {
        int button;
        int32_t tool;
    } tools[] = {{kCmdToolLine, 1},      {kCmdToolParallel, 2}, {kCmdToolRectangle, 3},
                 {kCmdToolCircle, 4},    {kCmdToolConcentric, 5}, {kCmdToolAngle, 6},
                 {kCmdToolPencil, 11},   {kCmdToolNone, 0}};
    int previousButton = kCmdToolNone;
    for (const auto& t : tools) {
        buttons.Clear();
        view.Clear();
        SendMessageW(main_, WM_COMMAND, t.button, 0);
        EXPECT_EQ(CurrentTool(), t.tool) << t.button;
        EXPECT_EQ(buttons.Checks(previousButton), std::vector<LPARAM>{0}) << t.button;
        EXPECT_EQ(buttons.Checks(t.button), std::vector<LPARAM>{1}) << t.button;
        ASSERT_EQ(view.seen().size(), 2u) << t.button;
        EXPECT_EQ(LOWORD(view.seen()[0].wParam), kViewCmdSetTool);
        EXPECT_EQ(view.seen()[0].lParam, t.tool);
        EXPECT_EQ(LOWORD(view.seen()[1].wParam), kViewCmdSetZoom);
        EXPECT_EQ(view.seen()[1].lParam, 100);
        previousButton = t.button;
    }

    // The tool that is already chosen: nothing is sent anywhere.
    buttons.Clear();
    view.Clear();
    SendMessageW(main_, WM_COMMAND, kCmdToolNone, 0);
    EXPECT_FALSE(buttons.AnySent());
    EXPECT_TRUE(view.seen().empty());

    // Text without a device falls back to no tool, Stop-measure checked.
    SendMessageW(main_, WM_COMMAND, kCmdToolAngle, 0);
    buttons.Clear();
    view.Clear();
    SendMessageW(main_, WM_COMMAND, kCmdToolText, 0);
    EXPECT_EQ(CurrentTool(), kToolNone);
    EXPECT_EQ(buttons.Checks(kCmdToolAngle), std::vector<LPARAM>{0});
    EXPECT_EQ(buttons.Checks(kCmdToolText), std::vector<LPARAM>{0});
    ASSERT_FALSE(buttons.Checks(kCmdToolNone).empty());
    EXPECT_EQ(buttons.Checks(kCmdToolNone).back(), 1);
    EXPECT_EQ(view.CommandParams(kViewCmdSetZoom).back(), 100);

    // The text dialog closing leaves no tool either.
    SendMessageW(main_, WM_COMMAND, kCmdToolCircle, 0);
    buttons.Clear();
    SendMessageW(main_, WM_COMMAND, kCmdTextDialogClosed, 0);
    EXPECT_EQ(CurrentTool(), kToolNone);
    EXPECT_EQ(buttons.Checks(kCmdToolCircle), std::vector<LPARAM>{0});
    EXPECT_EQ(buttons.Checks(kCmdToolText), std::vector<LPARAM>{0});
    EXPECT_EQ(buttons.Checks(kCmdToolNone).back(), 1);
}

// A face shows a highlight while the mouse is elsewhere only when it is checked.
bool LooksChecked(int id) {
    HWND button = GetDlgItem(g_app.measureToolbar, id);
    return button != nullptr && WindowPicture(button).At(1, 1) != kToolButtonBackground;
}

std::vector<int> CheckedToolButtons() {
    std::vector<int> checked;
    for (int id : {kCmdToolLine, kCmdToolParallel, kCmdToolRectangle, kCmdToolCircle,
                   kCmdToolConcentric, kCmdToolAngle, kCmdToolPencil, kCmdToolText, kCmdToolNone,
                   kCmdCalibration, kCmdCrossline, kCmdDeleteLastShape, kCmdDeleteAllShapes}) {
        if (LooksChecked(id)) checked.push_back(id);
    }
    return checked;
}

TEST_F(AppShellTest, NoToolButtonIsCheckedAtTheStartThenExactlyTheChosenOne) {
    main_ = MainWindow_Create(Instance());
    ASSERT_NE(main_, nullptr);
    EXPECT_EQ(CurrentTool(), kToolNone);
    EXPECT_EQ(CheckedToolButtons(), std::vector<int>{});
    SendMessageW(main_, WM_COMMAND, kCmdToolAngle, 0);
    EXPECT_EQ(CheckedToolButtons(), std::vector<int>{kCmdToolAngle});
    SendMessageW(main_, WM_COMMAND, kCmdToolText, 0);  // no device: no tool
    EXPECT_EQ(CheckedToolButtons(), std::vector<int>{kCmdToolNone});

    // The camera toolbar's top picture stands for nothing.
    SendMessageW(main_, WM_COMMAND, kCmdToolPencil, 0);
    SendMessageW(main_, WM_COMMAND, kCmdCameraToolbarTop, 0);
    EXPECT_EQ(CurrentTool(), kToolPencil);
    EXPECT_EQ(CheckedToolButtons(), std::vector<int>{kCmdToolPencil});
    EXPECT_EQ(App_ModelessDialog(kQuickAdjustDialog), nullptr);
}

TEST_F(AppShellTest, ColourBarsStepTheDigitalZoomOfAnInterpolatedStreamOnly) {
    main_ = MainWindow_Create(Instance());
    ASSERT_NE(main_, nullptr);
    CameraView_SetDigitalZoom(0);
    g_pipeline.format.interpolated = 0;
    SendMessageW(main_, WM_APP_TEST_PATTERN, 0, 0);
    EXPECT_EQ(CameraView_DigitalZoom(), 0);

    g_pipeline.format.interpolated = 1;
    std::vector<int> levels;
    for (int i = 0; i < 7; ++i) {
        SendMessageW(main_, WM_APP_TEST_PATTERN, 0, 0);
        levels.push_back(CameraView_DigitalZoom());
    }
    EXPECT_EQ(levels, (std::vector<int>{1, 2, 3, 4, 5, 0, 1}));
    g_pipeline.format.interpolated = 0;
    CameraView_SetDigitalZoom(0);
}

TEST_F(AppShellTest, CrosslineButtonTogglesAndACalibrationSwitchesItOn) {
    main_ = MainWindow_Create(Instance());
    ASSERT_NE(main_, nullptr);
    HWND view = GetDlgItem(main_, kIdCameraView);
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(CameraView_Crossline());  // off in a new view, and so is its button
    EXPECT_FALSE(LooksChecked(kCmdCrossline));
    SendMessageW(main_, WM_COMMAND, kCmdCrossline, 0);
    EXPECT_TRUE(CameraView_Crossline());
    EXPECT_TRUE(LooksChecked(kCmdCrossline));
    SendMessageW(main_, WM_COMMAND, kCmdCrossline, 0);
    EXPECT_FALSE(CameraView_Crossline());
    EXPECT_FALSE(LooksChecked(kCmdCrossline));

    // Without a calibration the automatic crossline stays off; with one it comes on once.
    SendMessageW(main_, WM_COMMAND, kCmdAutoCrossline, 0);
    EXPECT_FALSE(CameraView_Crossline());
    CalibrationCommand calibration = {200.0f, kUnitMillimetres};
    SendMessageW(view, WM_COMMAND, kViewCmdApplyCalibration, reinterpret_cast<LPARAM>(&calibration));
    SendMessageW(main_, WM_COMMAND, kCmdAutoCrossline, 0);
    EXPECT_TRUE(CameraView_Crossline());
    EXPECT_TRUE(LooksChecked(kCmdCrossline));
    SendMessageW(main_, WM_COMMAND, kCmdAutoCrossline, 0);
    EXPECT_TRUE(CameraView_Crossline());
    EXPECT_TRUE(LooksChecked(kCmdCrossline));
    CameraView_SetCrossline(false);
}

struct MenuItemSeen {
    UINT id;
    std::wstring text;
    UINT state;
};

std::vector<MenuItemSeen> ItemsOf(HMENU menu) {
    std::vector<MenuItemSeen> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[100] = {};
        GetMenuStringW(menu, i, text, 100, MF_BYPOSITION);
        items.push_back({GetMenuItemID(menu, i), text, GetMenuState(menu, i, MF_BYPOSITION)});
    }
    return items;
}

std::vector<MenuItemSeen> g_shownMenu;

// Reads the open popup menu, then closes it, from inside its modal loop.
void CALLBACK ReadAndCloseMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND popup = FindWindowW(L"#32768", nullptr);
    if (popup == nullptr) return;
    KillTimer(nullptr, timer);
    g_shownMenu = ItemsOf(reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0)));
    EndMenu();
}

DWORD StoredMoreNumber(const wchar_t* name) {
    DWORD value = 99, size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, (std::wstring(kTestSettingsKey) + L"\\More").c_str(),
                 name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

DWORD StoredScaleBar() { return StoredMoreNumber(L"ScaleBar"); }

TEST_F(AppShellTest, TheViewsRightButtonOpensTheExtrasMenuAndTheScaleBarIsRemembered) {
    ASSERT_NE(CreateMain(0, 0, 1300, 850), nullptr);
    HWND view = GetDlgItem(main_, kIdCameraView);
    g_shownMenu.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &ReadAndCloseMenu);
    SendMessageW(view, WM_RBUTTONUP, 0, MAKELPARAM(100, 100));
    KillTimer(nullptr, timer);
    ASSERT_EQ(g_shownMenu.size(), 6u);
    EXPECT_EQ(g_shownMenu[0].id, 3101u);
    EXPECT_EQ(g_shownMenu[0].text, L"Save for analysis");
    EXPECT_EQ(g_shownMenu[1].id, 3102u);
    EXPECT_EQ(g_shownMenu[2].id, 3103u);
    EXPECT_EQ(g_shownMenu[2].text, L"Scale bar");
    // No camera: nothing to save; no shapes: nothing to copy; the scale bar starts off.
    EXPECT_TRUE(g_shownMenu[0].state & MF_GRAYED);
    EXPECT_TRUE(g_shownMenu[1].state & MF_GRAYED);
    EXPECT_FALSE(g_shownMenu[2].state & (MF_GRAYED | MF_CHECKED));
    EXPECT_EQ(g_shownMenu[3].id, 3104u);
    EXPECT_EQ(g_shownMenu[3].text, L"Compressed video (MJPG)");
    EXPECT_FALSE(g_shownMenu[3].state & (MF_GRAYED | MF_CHECKED));  // uncompressed by default
    // No camera: no settings to change.
    EXPECT_EQ(g_shownMenu[4].id, 3105u);
    EXPECT_EQ(g_shownMenu[4].text, L"Camera settings\u2026");
    EXPECT_TRUE(g_shownMenu[4].state & MF_GRAYED);
    // The time-lapse dialog opens without a camera; its Start waits for one.
    EXPECT_EQ(g_shownMenu[5].id, 3106u);
    EXPECT_EQ(g_shownMenu[5].text, L"Time-lapse\u2026");
    EXPECT_FALSE(g_shownMenu[5].state & MF_GRAYED);

    SendMessageW(main_, WM_COMMAND, kCmdScaleBar, 0);
    EXPECT_TRUE(CameraView_ScaleBar());
    EXPECT_EQ(StoredScaleBar(), 1u);
    DestroyWindow(main_);
    ASSERT_NE(CreateMain(0, 0, 1300, 850), nullptr);
    EXPECT_TRUE(CameraView_ScaleBar());  // back on after a restart
    SelectLanguageTexts(kLanguageJapanese);
    HMENU menu = ViewMenu_Build();
    const std::vector<MenuItemSeen> japanese = ItemsOf(menu);
    DestroyMenu(menu);
    SelectLanguageTexts(kLanguageEnglish);
    ASSERT_EQ(japanese.size(), 6u);
    EXPECT_EQ(japanese[2].text, L"スケールバー");
    EXPECT_TRUE(japanese[2].state & MF_CHECKED);
    SendMessageW(main_, WM_COMMAND, kCmdScaleBar, 0);
    EXPECT_FALSE(CameraView_ScaleBar());
    EXPECT_EQ(StoredScaleBar(), 0u);

    // Compressed video: on, remembered across a restart, off again.
    SendMessageW(main_, WM_COMMAND, kCmdCompressedVideo, 0);
    EXPECT_TRUE(Recorder_CompressedVideo());
    EXPECT_EQ(StoredMoreNumber(L"CompressedVideo"), 1u);
    DestroyWindow(main_);
    Recorder_SetCompressedVideo(false);
    ASSERT_NE(CreateMain(0, 0, 1300, 850), nullptr);
    EXPECT_TRUE(Recorder_CompressedVideo());
    menu = ViewMenu_Build();
    const std::vector<MenuItemSeen> withMjpg = ItemsOf(menu);
    DestroyMenu(menu);
    ASSERT_EQ(withMjpg.size(), 6u);
    EXPECT_TRUE(withMjpg[3].state & MF_CHECKED);
    SendMessageW(main_, WM_COMMAND, kCmdCompressedVideo, 0);
    EXPECT_FALSE(Recorder_CompressedVideo());
    EXPECT_EQ(StoredMoreNumber(L"CompressedVideo"), 0u);
}

// Draws a line with the mouse across the middle of the view.
void DrawLine(HWND view, int dy) {
    const SIZE c = ClientSize(view);
    const int y = c.cy / 2 + dy;
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.cx / 2 - 80, y));
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(c.cx / 2, y + 10));
    SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(c.cx / 2 + 80, y + 20));
    SendMessageW(view, WM_LBUTTONUP, 0, MAKELPARAM(c.cx / 2 + 80, y + 20));
}

// The main window on a 640 x 480 camera plugged as `name`, once frames are shown.
void AppShellTest::OpenWithCamera(const wchar_t* name) {
    ASSERT_EQ(RunSimcam(std::wstring(L"plug ") + name + L" --friendly " + name +
                        L" --formats MJPG:640x480").code, 0u);
    // The main window asks for the format the settings remember.
    g_settings.mjpg = 1;
    g_settings.width = 640;
    g_settings.height = 480;
    g_settings.interpolated = 0;
    ASSERT_NE(CreateMain(0, 0, 1300, 850), nullptr);
    // The camera may open while the window is being shown: ask the capture side, not the notice.
    auto opened = [] { return Capture_FramesFlowing(); };
    ASSERT_TRUE(PumpUntil([&] { return opened() && CameraView_DisplayWidth() == 640; }, 10000))
        << "opened " << opened() << ", display width " << CameraView_DisplayWidth()
        << ", devices " << g_deviceList.size();
    PumpFor(300);
}

TEST_F(AppShellTest, ShapesAreDeletedOnlyWithADeviceAndNoCalibrationDialog) {
    ASSERT_NO_FATAL_FAILURE(OpenWithCamera(L"ShellCam"));
    SendMessageW(main_, WM_COMMAND, kCmdToolLine, 0);
    ASSERT_EQ(CurrentTool(), kToolLine);
    for (int dy : {-100, 0, 100}) DrawLine(g_app.cameraView, dy);
    ASSERT_EQ(CameraView_Measure().Shapes().size(), 3u);

    // Not while a calibration is made.
    HWND calibration = CreateWindowExW(0, L"STATIC", L"calibration", WS_POPUP, 0, 0, 10, 10,
                                       main_, nullptr, Instance(), nullptr);
    App_SetModelessDialog(kCalibrationDialog, calibration);
    SendMessageW(main_, WM_COMMAND, kCmdDeleteLastShape, 0);
    SendMessageW(main_, WM_COMMAND, kCmdDeleteAllShapes, 0);
    EXPECT_EQ(CameraView_Measure().Shapes().size(), 3u);
    // The text tool is refused then too.
    SendMessageW(main_, WM_COMMAND, kCmdToolText, 0);
    EXPECT_EQ(CurrentTool(), kToolNone);
    App_CloseModelessDialog(kCalibrationDialog);

    SendMessageW(main_, WM_COMMAND, kCmdDeleteLastShape, 0);
    EXPECT_EQ(CameraView_Measure().Shapes().size(), 2u);
    SendMessageW(main_, WM_COMMAND, kCmdDeleteAllShapes, 0);
    EXPECT_TRUE(CameraView_Measure().Shapes().empty());
    SendMessageW(main_, WM_COMMAND, kCmdDeleteLastShape, 0);  // nothing left: no harm
    EXPECT_TRUE(CameraView_Measure().Shapes().empty());

    // With a device and no calibration the text tool is taken.
    SendMessageW(main_, WM_COMMAND, kCmdToolText, 0);
    EXPECT_EQ(CurrentTool(), kToolText);
    SendMessageW(main_, WM_COMMAND, kCmdToolNone, 0);

    DestroyWindow(main_);
    EXPECT_EQ(RunSimcam(L"unplug ShellCam").code, 0u);
}

// The calibration ruler takes every press on the picture. Its press and release end the tool
// through the main window, so the toolbar and the text dialog follow the view; hiding it
// between press and release ends that press, so the release draws nothing.
TEST_F(AppShellTest, TheRulerEndsTheToolThroughTheMainWindowAndHidingItEndsAPress) {
    ASSERT_NO_FATAL_FAILURE(OpenWithCamera(L"RulerCam"));
    HWND view = g_app.cameraView;
    const SIZE c = ClientSize(view);
    const LPARAM centre = MAKELPARAM(c.cx / 2, c.cy / 2);  // on the picture, off the ruler's ends
    const MeasureModel& model = CameraView_Measure();
    SendMessageW(main_, WM_COMMAND, kCmdToolCircle, 0);
    DrawLine(view, 0);  // a circle, left behind as the shape in progress
    ASSERT_EQ(model.Shapes().size(), 1u);

    CameraView_StartCalibrationRuler();
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    CameraView_EndCalibrationRuler();  // the calibration dialog closed by keyboard
    EXPECT_NE(GetCapture(), view);
    SendMessageW(view, WM_LBUTTONUP, 0, centre);
    EXPECT_EQ(model.Shapes().size(), 1u);
    EXPECT_EQ(CurrentTool(), kToolCircle);

    CameraView_StartCalibrationRuler();
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    SendMessageW(view, WM_LBUTTONUP, 0, centre);
    EXPECT_EQ(CurrentTool(), kToolNone);
    EXPECT_EQ(CheckedToolButtons(), std::vector<int>{kCmdToolNone});
    CameraView_EndCalibrationRuler();

    SendMessageW(main_, WM_COMMAND, kCmdToolText, 0);
    ASSERT_NE(App_ModelessDialog(kInputTextDialog), nullptr);
    CameraView_StartCalibrationRuler();
    SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    SendMessageW(view, WM_LBUTTONUP, 0, centre);
    EXPECT_EQ(App_ModelessDialog(kInputTextDialog), nullptr);
    EXPECT_EQ(model.PendingStage(), 0);
    EXPECT_EQ(CheckedToolButtons(), std::vector<int>{kCmdToolNone});
    CameraView_EndCalibrationRuler();

    DestroyWindow(main_);
    EXPECT_EQ(RunSimcam(L"unplug RulerCam").code, 0u);
}

// A plain top-level window as the prompt's parent, 1000 pixels wide. Hidden: without a
// window manager, Wine waits two seconds for each shown top-level window it destroys.
class PromptParent {
public:
    PromptParent() {
        hwnd_ = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0,
                                1000, 600, nullptr, nullptr, Instance(), nullptr);
    }
    ~PromptParent() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }

private:
    HWND hwnd_;
};

TEST(PromptWindow, ReusesOneWindowPlacesItAndCutsLongTexts) {
    ASSERT_TRUE(App_RegisterWindowClasses(Instance()));
    WNDCLASSEXW promptClass = {};
    promptClass.cbSize = sizeof promptClass;
    ASSERT_TRUE(GetClassInfoExW(Instance(), L"PromptWndClass", &promptClass));
    // The record pointer must fit whole on 64-bit Windows.
    EXPECT_GE(promptClass.cbWndExtra, static_cast<int>(sizeof(void*)));

    PromptParent parent;
    HWND first = ShowPrompt(Instance(), parent.hwnd(), L"File saved: a.jpg", 58, 60);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetDlgCtrlID(first), kIdPrompt);
    // Created with its font: 12-point Segoe UI.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(first, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW logFont = {};
    ASSERT_EQ(GetObjectW(font, sizeof logFont, &logFont), static_cast<int>(sizeof logFont));
    EXPECT_STREQ(logFont.lfFaceName, L"Segoe UI");
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(logFont.lfHeight, -(12 * GetDeviceCaps(screen, LOGPIXELSY) / 72));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(WindowText(first), L"File saved: a.jpg");
    RECT r = RectInParent(first);
    EXPECT_EQ(r.left, 58);
    EXPECT_EQ(r.top, 60);
    const int shortWidth = r.right - r.left;
    EXPECT_GT(shortWidth, 32);

    HWND second =
        ShowPrompt(Instance(), parent.hwnd(), L"File saved: a much longer name.jpg", 0, 100);
    EXPECT_EQ(second, first);
    EXPECT_EQ(ChildrenWithId(parent.hwnd(), kIdPrompt), 1);
    EXPECT_EQ(WindowText(first), L"File saved: a much longer name.jpg");
    r = RectInParent(first);
    const int width = r.right - r.left;
    EXPECT_GT(width, shortWidth);
    EXPECT_EQ(r.left, (ClientSize(parent.hwnd()).cx - width) / 2);  // x = 0: centred
    EXPECT_EQ(r.top, 100);

    // A move alone keeps the text and the size.
    SendMessageW(first, WM_COMMAND, kPromptCmdMove, MAKELONG(120, 40));
    r = RectInParent(first);
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.right - r.left, width);

    const std::wstring longText(700, L'x');
    ShowPrompt(Instance(), parent.hwnd(), longText.c_str(), 10, 10);
    EXPECT_EQ(GetWindowTextLengthW(first), kPromptTextChars - 1);
    EXPECT_EQ(SendMessageW(first, WM_GETDLGCODE, 0, 0), DLGC_STATIC);

    // A new parent gets its own prompt.
    PromptParent other;
    HWND third = ShowPrompt(Instance(), other.hwnd(), L"hint", 5, 5);
    EXPECT_NE(third, first);
}

// Several prompts run side by side, each in its own parent, so their time-outs are measured
// in one wait.
TEST(PromptWindow, ClosesAboutFourSecondsAfterTheLastTextOrSoonWhenAsked) {
    ASSERT_TRUE(App_RegisterWindowClasses(Instance()));
    PromptParent plain, renewed, moved, closeSoon, stay;
    const DWORD start = GetTickCount();
    HWND plainPrompt = ShowPrompt(Instance(), plain.hwnd(), L"one", 10, 10);
    HWND renewedPrompt = ShowPrompt(Instance(), renewed.hwnd(), L"first text", 10, 10);
    HWND movedPrompt = ShowPrompt(Instance(), moved.hwnd(), L"moving", 10, 10);
    HWND soonPrompt = ShowPrompt(Instance(), closeSoon.hwnd(), L"hover hint", 10, 10);
    HWND stayPrompt = ShowPrompt(Instance(), stay.hwnd(), L"stays", 10, 10);
    SendMessageW(stayPrompt, WM_COMMAND, kPromptCmdLifeTime, 0);

    struct Watch {
        HWND prompt;
        DWORD closedAt;
    };
    std::vector<Watch> watches = {{plainPrompt, 0}, {renewedPrompt, 0}, {movedPrompt, 0},
                                  {soonPrompt, 0}, {stayPrompt, 0}};
    auto note = [&] {
        for (auto& w : watches)
            if (w.closedAt == 0 && !IsWindow(w.prompt)) w.closedAt = GetTickCount();
    };
    auto allButStayClosed = [&] {
        note();
        for (size_t i = 0; i + 1 < watches.size(); ++i)
            if (watches[i].closedAt == 0) return false;
        return true;
    };

    PumpUntil([&] { return note(), false; }, 300);
    SendMessageW(soonPrompt, WM_COMMAND, kPromptCmdCloseSoon, 0);
    const DWORD soonAsked = GetTickCount();
    PumpUntil([&] { return note(), false; }, 1700);
    ShowPrompt(Instance(), renewed.hwnd(), L"second text", 10, 10);
    const DWORD renewedAt = GetTickCount();
    SendMessageW(movedPrompt, WM_COMMAND, kPromptCmdMove, MAKELONG(30, 30));
    ASSERT_TRUE(PumpUntil(allButStayClosed, 12000));

    auto lived = [](DWORD from, DWORD to) { return static_cast<long>(to - from); };
    // 39 ticks of 100 ms; timers under Wine run late rather than early.
    EXPECT_GE(lived(start, watches[0].closedAt), 3600);
    EXPECT_LE(lived(start, watches[0].closedAt), 6500);
    EXPECT_GE(lived(renewedAt, watches[1].closedAt), 3600);
    EXPECT_LE(lived(renewedAt, watches[1].closedAt), 6500);
    EXPECT_LE(lived(start, watches[2].closedAt), 6500);  // a move does not restart the count
    EXPECT_LT(lived(start, watches[2].closedAt), lived(start, watches[1].closedAt));
    EXPECT_GE(lived(soonAsked, watches[3].closedAt), 100);
    EXPECT_LE(lived(soonAsked, watches[3].closedAt), 1000);

    // Life time 0 keeps the prompt; restarting the life time starts a fresh count.
    EXPECT_TRUE(IsWindow(stayPrompt));
    SendMessageW(stayPrompt, WM_COMMAND, kPromptCmdLifeTime, 38);
    const DWORD restarted = GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(stayPrompt); }, 8000));
    EXPECT_GE(lived(restarted, GetTickCount()), 3600);
}

// A dialog of two edit boxes from an in-memory template.
HWND CreateTwoEditDialog(HWND* first, HWND* second) {
    struct alignas(4) Template {
        DLGTEMPLATE dialog;
        WORD menu, windowClass, title;
        DLGITEMTEMPLATE edit1;
        WORD class1[2], title1, extra1, align2;  // items start on a DWORD
        DLGITEMTEMPLATE edit2;
        WORD class2[2], title2, extra2;
    } t = {};
    static_assert(offsetof(Template, edit1) % 4 == 0 && offsetof(Template, edit2) % 4 == 0,
                  "dialog items must be DWORD aligned");
    t.dialog.style = WS_POPUP | WS_VISIBLE | DS_MODALFRAME | WS_CAPTION;
    t.dialog.cdit = 2;
    t.dialog.cx = 120;
    t.dialog.cy = 60;
    t.edit1 = {WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 5, 5, 100, 12, 201};
    t.class1[0] = 0xFFFF;
    t.class1[1] = 0x0081;  // edit
    t.edit2 = {WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 5, 25, 100, 12, 202};
    t.class2[0] = 0xFFFF;
    t.class2[1] = 0x0081;
    DLGPROC noHandling = [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; };
    HWND dialog = CreateDialogIndirectParamW(Instance(), &t.dialog, nullptr, noHandling, 0);
    *first = GetDlgItem(dialog, 201);
    *second = GetDlgItem(dialog, 202);
    return dialog;
}

TEST(MessageLoop, OffersKeysToTheOpenModelessDialogsAndReturnsTheQuitCode) {
    HWND first = nullptr, second = nullptr;
    HWND dialog = CreateTwoEditDialog(&first, &second);
    ASSERT_NE(dialog, nullptr);
    ASSERT_NE(second, nullptr);
    SetForegroundWindow(dialog);
    SetActiveWindow(dialog);

    // Not registered: Tab goes to the edit box, which ignores it.
    SetFocus(first);
    ASSERT_EQ(GetFocus(), first);
    PostMessageW(first, WM_KEYDOWN, VK_TAB, 0);
    PostQuitMessage(3);
    EXPECT_EQ(App_RunMessageLoop(), 3);
    EXPECT_EQ(GetFocus(), first);

    // Registered: the dialog manager moves the focus to the next box.
    App_SetModelessDialog(kQuickAdjustDialog, dialog);
    PostMessageW(first, WM_KEYDOWN, VK_TAB, 0);
    PostQuitMessage(5);
    EXPECT_EQ(App_RunMessageLoop(), 5);
    EXPECT_EQ(GetFocus(), second);

    // A destroyed dialog is no longer open and is not offered anything.
    DestroyWindow(dialog);
    EXPECT_EQ(App_ModelessDialog(kQuickAdjustDialog), nullptr);
    PostQuitMessage(0);
    EXPECT_EQ(App_RunMessageLoop(), 0);
    App_SetModelessDialog(kQuickAdjustDialog, nullptr);
}

std::wstring ProgramPath() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.find_last_of(L'\\'));          // ...\tests
    path.resize(path.find_last_of(L'\\'));          // build tree
    return path + L"\\app\\tessaloom.exe";
}

// Runs the real program and waits for it to end while this thread keeps serving its
// windows (the program restores them with a synchronous message). -1 if it does not end.
long RunProgram(const std::wstring& exe, DWORD timeoutMs) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -2;
    }
    const bool ended = PumpUntil(
        [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
    DWORD code = 0;
    if (ended) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended ? static_cast<long>(code) : -1;
}

// This process plays the running copy: it takes the mutex first and owns a main window.
TEST_F(AppShellTest, SecondCopyActivatesTheFirstAndEndsWithZero) {
    const std::wstring exe = ProgramPath();
    ASSERT_NE(GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES) << "missing program";
    ASSERT_TRUE(TopLevelWindowsOfClass(kMainWindowClass).empty());

    EXPECT_FALSE(ActivateRunningInstance());  // first copy: takes the mutex
    EXPECT_TRUE(ActivateRunningInstance());   // mutex taken, no window yet: end quietly

    ASSERT_NE(CreateMain(60, 40, 1000, 700), nullptr);
    ShowWindow(main_, SW_MINIMIZE);
    PumpFor(50);
    ASSERT_TRUE(IsIconic(main_));
    EXPECT_TRUE(ActivateRunningInstance());
    EXPECT_FALSE(IsIconic(main_));
    EXPECT_TRUE(IsWindowVisible(main_));

    ShowWindow(main_, SW_MINIMIZE);
    PumpFor(50);
    ASSERT_TRUE(IsIconic(main_));
    EXPECT_EQ(RunProgram(exe, 60000), 0);
    EXPECT_FALSE(IsIconic(main_));
    EXPECT_EQ(TopLevelWindowsOfClass(kMainWindowClass), std::vector<HWND>{main_});
}

}  // namespace
