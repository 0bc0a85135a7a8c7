// The "Open microscope" dialog and the format change without it, on the real main window
// against the simulated microscope.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "capture/capture_graph.h"
#include "capture/device_list.h"
#include "capture/open_device_dialog.h"
#include "measure/camera_view.h"
#include "pipeline/video_format.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/text_tables.h"
#include "win/camera_main_window.h"
#include "win/dialog_driver.h"
#include "win/simcam_tool.h"

namespace {

using Strings = std::vector<std::wstring>;

bool IsOpenDeviceDialog(HWND dialog) { return GetDlgItem(dialog, IDC_OPEN_FORMAT_LIST) != nullptr; }

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

int ListSelection(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_OPEN_DEVICE_LIST, LB_GETCURSEL, 0, 0));
}

void ChooseDevice(HWND dialog, int index) {
    SendDlgItemMessageW(dialog, IDC_OPEN_DEVICE_LIST, LB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_OPEN_DEVICE_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(dialog, IDC_OPEN_DEVICE_LIST)));
}

int IndexOf(const Strings& items, const std::wstring& item) {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i] == item) return static_cast<int>(i);
    return -1;
}

DWORD StoredNumber(const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tessaloom", name, RRF_RT_REG_DWORD, nullptr,
                 &value, &size);
    return value;
}

class OpenDeviceDialogTest : public MainWindowTest {
protected:
    OpenDeviceDialogTest()
        : MainWindowTest(L"Software\\TessaloomOpenDeviceTest", L"TessaloomOpenDeviceDocs") {}
    void OpenDialog() { SendMessageW(main_, WM_COMMAND, kCmdOpenDevice, 0); }
};

TEST_F(OpenDeviceDialogTest, WithoutACameraOnlyCancelEndsIt) {
    CreateMain();
    PumpFor(300);  // the view's first look finds nothing
    ASSERT_TRUE(g_deviceList.empty());

    DialogDriver driver;
    Strings devices;
    bool enabled[3] = {true, true, true};
    bool stayedAfterOpen = false;
    RECT dialogRect = {}, mainRect = {};
    driver.When(IsOpenDeviceDialog, [&](HWND d) {
        devices = ListBoxItems(Item(d, IDC_OPEN_DEVICE_LIST));
        enabled[0] = IsWindowEnabled(Item(d, IDOK));
        enabled[1] = IsWindowEnabled(Item(d, IDC_OPEN_FORMAT_LIST));
        enabled[2] = IsWindowEnabled(Item(d, IDC_OPEN_RESOLUTION_LIST));
        GetWindowRect(d, &dialogRect);
        GetWindowRect(main_, &mainRect);
        SendMessageW(d, WM_COMMAND, IDOK, 0);  // as Enter would
        stayedAfterOpen = IsWindowVisible(d) != FALSE;
        SaveWindowShot(d, L"open-device-none-en");
        ClickButton(d, IDCANCEL);
    });
    OpenDialog();
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(devices, Strings{L"No microscope found."});
    EXPECT_FALSE(enabled[0]);
    EXPECT_FALSE(enabled[1]);
    EXPECT_FALSE(enabled[2]);
    EXPECT_TRUE(stayedAfterOpen);
    // Centred over the main window, 68 pixels below its top.
    EXPECT_EQ(dialogRect.top, mainRect.top + 68);
    const int centreOffset = (dialogRect.left + dialogRect.right) - (mainRect.left + mainRect.right);
    EXPECT_LE(std::abs(centreOffset), 1);
    EXPECT_FALSE(Capture_IsOpen());
}

TEST_F(OpenDeviceDialogTest, PreselectsTheRunningCameraAndOpensAnInterpolatedSize) {
    Plug(L"OpenCamHd", L"MJPG:1920x1080,MJPG:1280x720,MJPG:640x480,YUY2:1280x720,YUY2:800x600,"
                       L"YUY2:640x480");
    g_settings.mjpg = 1;
    g_settings.width = 1280;
    g_settings.height = 720;
    CreateMain();
    ASSERT_TRUE(Streaming(L"OpenCamHd", 1280));
    Plug(L"OpenCamVga", L"MJPG:640x480,YUY2:640x480");
    ASSERT_TRUE(PumpUntil([] { return g_deviceList.size() == 2; }, 5000));
    ASSERT_EQ(g_capture.deviceName, L"OpenCamHd");  // a running camera is never replaced

    DialogDriver driver;
    Strings devices, formats, resolutions, yuy2Resolutions, vgaFormats, vgaResolutions;
    int selectedDevice = -1;
    std::wstring selectedFormat, selectedResolution, yuy2Selected, vgaFormat, vgaSelected;
    driver.When(IsOpenDeviceDialog, [&](HWND d) {
        devices = ListBoxItems(Item(d, IDC_OPEN_DEVICE_LIST));
        selectedDevice = ListSelection(d);
        formats = ComboItems(Item(d, IDC_OPEN_FORMAT_LIST));
        selectedFormat = ComboSelection(Item(d, IDC_OPEN_FORMAT_LIST));
        resolutions = ComboItems(Item(d, IDC_OPEN_RESOLUTION_LIST));
        selectedResolution = ComboSelection(Item(d, IDC_OPEN_RESOLUTION_LIST));
        SaveWindowShot(d, L"open-device-en");

        ChooseComboEntry(d, IDC_OPEN_FORMAT_LIST, 1);
        yuy2Resolutions = ComboItems(Item(d, IDC_OPEN_RESOLUTION_LIST));
        yuy2Selected = ComboSelection(Item(d, IDC_OPEN_RESOLUTION_LIST));

        ChooseDevice(d, IndexOf(devices, L"OpenCamVga"));
        vgaFormats = ComboItems(Item(d, IDC_OPEN_FORMAT_LIST));
        vgaFormat = ComboSelection(Item(d, IDC_OPEN_FORMAT_LIST));
        ChooseComboEntry(d, IDC_OPEN_FORMAT_LIST, 1);
        vgaResolutions = ComboItems(Item(d, IDC_OPEN_RESOLUTION_LIST));
        vgaSelected = ComboSelection(Item(d, IDC_OPEN_RESOLUTION_LIST));
        SendDlgItemMessageW(d, IDC_OPEN_RESOLUTION_LIST, CB_SETCURSEL, 2, 0);
        ClickButton(d, IDOK);
    });
    OpenDialog();
    ASSERT_TRUE(driver.Done());
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[static_cast<size_t>(selectedDevice)], L"OpenCamHd");
    EXPECT_EQ(formats, (Strings{L"MJPG", L"YUY2"}));
    EXPECT_EQ(selectedFormat, L"MJPG");
    EXPECT_EQ(resolutions, (Strings{L"640x480", L"1280x720", L"1920x1080"}));
    EXPECT_EQ(selectedResolution, L"1280x720");
    // YUY2 lists its own sizes and keeps the running one.
    EXPECT_EQ(yuy2Resolutions, (Strings{L"640x480", L"800x600", L"1280x720"}));
    EXPECT_EQ(yuy2Selected, L"1280x720");
    // Another camera starts again at the first format. In YUY2 its 640 x 480 grows the two
    // interpolated sizes; 1280 x 720 is not among them, so the middle entry is preselected.
    EXPECT_EQ(vgaFormats, (Strings{L"MJPG", L"YUY2"}));
    EXPECT_EQ(vgaFormat, L"MJPG");
    EXPECT_EQ(vgaResolutions, (Strings{L"640x480", L"1280x960", L"1920x1080"}));
    EXPECT_EQ(vgaSelected, L"1280x960");

    // Interpolated 1920 x 1080 streams at 640 x 480 and is remembered as chosen.
    ASSERT_TRUE(Streaming(L"OpenCamVga", 640));
    EXPECT_TRUE(SameSubtype(g_pipeline.format.subtype, kSubtypeYuy2));
    EXPECT_EQ(g_pipeline.format.height, 480);
    EXPECT_EQ(g_pipeline.format.interpolated, 1);
    EXPECT_EQ(CameraView_PictureWidth(), 1920);
    EXPECT_EQ(CameraView_PictureHeight(), 1080);
    EXPECT_EQ(g_settings.mjpg, 0);
    EXPECT_EQ(g_settings.width, 1920);
    EXPECT_EQ(g_settings.height, 1080);
    EXPECT_EQ(g_settings.interpolated, 1);
    EXPECT_EQ(StoredNumber(L"width"), 1920u);
    EXPECT_EQ(StoredNumber(L"height"), 1080u);
    EXPECT_EQ(StoredNumber(L"interpolated"), 1u);

    // Opening again starts at MJPG although YUY2 runs, at the chosen size; Cancel changes
    // nothing.
    std::wstring again, againFormat;
    driver.When(IsOpenDeviceDialog, [&](HWND d) {
        againFormat = ComboSelection(Item(d, IDC_OPEN_FORMAT_LIST));
        again = ComboSelection(Item(d, IDC_OPEN_RESOLUTION_LIST));
        ClickButton(d, IDCANCEL);
    });
    OpenDialog();
    EXPECT_EQ(againFormat, L"MJPG");
    EXPECT_EQ(again, L"1920x1080");
    PumpFor(300);
    EXPECT_EQ(g_capture.deviceName, L"OpenCamVga");
    EXPECT_EQ(g_settings.width, 1920);

    // Without the dialog: the open camera takes another format.
    OpenDeviceOrFormat({kSubtypeMjpg, 640, 480, 0}, false);
    ASSERT_TRUE(Streaming(L"OpenCamVga", 640));
    EXPECT_TRUE(SameSubtype(g_pipeline.format.subtype, kSubtypeMjpg));
    EXPECT_EQ(g_pipeline.format.interpolated, 0);
    EXPECT_EQ(CameraView_PictureWidth(), 640);
}

// Cameras plugged and unplugged under the dialog show in its list, and Open opens the camera
// the list shows chosen, not the one now at its old position.
TEST_F(OpenDeviceDialogTest, FollowsCamerasPluggedAndUnpluggedWhileItShows) {
    Plug(L"OpenCamFirst", L"MJPG:640x480");
    CreateMain();
    ASSERT_TRUE(Streaming(L"OpenCamFirst", 640));
    Plug(L"OpenCamSecond", L"MJPG:800x600,MJPG:640x480");
    ASSERT_TRUE(PumpUntil([] { return g_deviceList.size() == 2; }, 5000));

    DialogDriver driver;
    Strings afterUnplug, afterPlug;
    std::wstring chosen;
    driver.When(IsOpenDeviceDialog, [&](HWND d) {
        HWND list = Item(d, IDC_OPEN_DEVICE_LIST);
        ChooseDevice(d, IndexOf(ListBoxItems(list), L"OpenCamSecond"));
        RunSimcam(L"unplug OpenCamFirst");
        PumpUntil([&] { return g_deviceList.size() == 1 && ListBoxItems(list).size() == 1; },
                  5000);
        afterUnplug = ListBoxItems(list);
        Plug(L"OpenCamThird", L"MJPG:640x480");
        PumpUntil([&] { return g_deviceList.size() == 2 && ListBoxItems(list).size() == 2; },
                  5000);
        afterPlug = ListBoxItems(list);
        const int selected = ListSelection(d);
        if (selected >= 0) chosen = afterPlug[static_cast<size_t>(selected)];
        ClickButton(d, IDOK);
    });
    OpenDialog();
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(afterUnplug, Strings{L"OpenCamSecond"});
    EXPECT_EQ(afterPlug, (Strings{L"OpenCamSecond", L"OpenCamThird"}));
    EXPECT_EQ(chosen, L"OpenCamSecond");
    EXPECT_TRUE(Streaming(L"OpenCamSecond", 640));
}

// Chinese and Japanese replace the template's texts; the pictures are for a person to check
// that the glyphs render and nothing is cut off.
TEST_F(OpenDeviceDialogTest, TakesTheChosenLanguage) {
    Plug(L"OpenCamLang", L"MJPG:1280x720,MJPG:640x480");
    CreateMain();
    ASSERT_TRUE(Streaming(L"OpenCamLang", 1280));
    const struct {
        int language;
        const wchar_t* shot;
    } languages[] = {{kLanguageChinese, L"open-device-zh"}, {kLanguageJapanese, L"open-device-ja"}};
    for (const auto& l : languages) {
        UseLanguage(l.language);
        DialogDriver driver;
        std::wstring title, label, open;
        driver.When(IsOpenDeviceDialog, [&](HWND d) {
            title = TitleOf(d);
            label = ItemText(d, IDC_OPEN_DEVICE_LABEL);
            open = ItemText(d, IDOK);
            SaveWindowShot(d, l.shot);
            ClickButton(d, IDCANCEL);
        });
        OpenDialog();
        EXPECT_EQ(title, GetWideText("open dev"));
        EXPECT_EQ(label, GetWideText("select dev"));
        EXPECT_EQ(open, GetWideText("ok"));
        EXPECT_NE(title, L"Open microscope");
    }
}

}  // namespace
