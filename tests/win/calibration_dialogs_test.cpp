// The calibration manager, the calibration dialog and the help, on the real main window with
// the simulated microscope: the cycle manager -> calibrate -> manager, Apply, Delete, names,
// typed lengths, the registry round trip and the three languages.
#include <windows.h>
#include <commctrl.h>
#include <strsafe.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "measure/calibration.h"
#include "measure/calibration_manager.h"
#include "measure/calibration_texts.h"
#include "measure/camera_view.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"
#include "win/camera_main_window.h"
#include "win/dialog_driver.h"

namespace {

bool IsManager(HWND d) { return GetDlgItem(d, IDC_CALIB_HELP) != nullptr; }
bool IsCalibrationDialog(HWND d) { return GetDlgItem(d, IDC_CALIB_LENGTH) != nullptr; }
bool IsHelp(HWND d) {
    return GetDlgItem(d, IDC_HELP_PICTURE) != nullptr && GetDlgItem(d, IDCANCEL) == nullptr;
}
bool IsQuestion(HWND d) { return GetDlgItem(d, IDNO) != nullptr; }

HWND List(HWND manager) { return GetDlgItem(manager, IDC_CALIB_LIST); }

void SelectRow(HWND manager, int row) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(List(manager), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

int SelectedRow(HWND manager) {
    return static_cast<int>(SendMessageW(List(manager), LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         LVNI_SELECTED));
}

std::wstring Cell(HWND manager, int row, int column) {
    wchar_t text[128] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(List(manager), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

std::vector<std::wstring> Row(HWND manager, int row) {
    std::vector<std::wstring> cells;
    for (int column = 0; column < 5; ++column) cells.push_back(Cell(manager, row, column));
    return cells;
}

std::wstring Header(HWND manager, int column) {
    wchar_t text[64] = {};
    LVCOLUMNW info = {};
    info.mask = LVCF_TEXT;
    info.pszText = text;
    info.cchTextMax = 64;
    SendMessageW(List(manager), LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
    return text;
}

std::wstring Wide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

// Types into the calibration dialog's length field and presses OK.
void EnterLength(HWND dialog, const wchar_t* text) {
    SetDlgItemTextW(dialog, IDC_CALIB_LENGTH, text);
    SendMessageW(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

std::wstring Today() {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    wchar_t date[16];
    StringCchPrintfW(date, 16, L"%02d/%02d/%04d", now.wMonth, now.wDay, now.wYear);
    return date;
}

CalibrationRecord Calibrated(float scale, int32_t unit, const char16_t* name) {
    CalibrationRecord record = kFreeCalibration;
    MakeCalibration(record, unit, 400, 400.0f / scale, 1280, 720, 20240315);
    CopyToField(name, record.name);
    return record;
}

class CalibrationDialogsTest : public MainWindowTest {
protected:
    CalibrationDialogsTest()
        : MainWindowTest(L"Software\\TessaloomCalibrationTest", L"TessaloomCalibrationDocs") {}

    void StartWithCamera() {
        Plug(L"CalibCam", L"MJPG:1280x720");
        CreateMain();
        ASSERT_TRUE(Streaming(L"CalibCam", 1280));
        CameraView_SetCrossline(false);
    }
    // The calibration command as the toolbar sends it; returns once every queued step ran
    // and neither the manager nor the calibration dialog shows.
    bool RunCycle(DialogDriver& driver) {
        PostMessageW(main_, WM_COMMAND, kCmdCalibration, 0);
        const bool done = PumpUntil([&] {

            return driver.Done() && ActiveDialogs().empty() && IsWindowEnabled(main_);
        }, 30000);
        PumpFor(100);  // what the last dialog posted
        return done && driver.Missed() == 0;
    }
    float ViewScale() const { return CameraView_Calibration().scale; }
};

TEST_F(CalibrationDialogsTest, CalibratingAnEmptySlotThenApplyingItCalibratesTheView) {
    StartWithCamera();
    DialogDriver driver;
    driver.When(IsManager, [&](HWND m) {
        SetWindowPos(m, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // the user moves it
        SelectRow(m, 2);
        ClickButton(m, IDC_CALIB_CALIBRATE);
    });
    std::wstring title, unitLabel, micronLabel;
    std::vector<std::wstring> units;
    int32_t ruler = 0;
    bool rulerShown = false;
    std::vector<bool> refusedStayed;
    driver.When(IsCalibrationDialog, [&](HWND c) {
        title = TitleOf(c);
        units = ComboItems(GetDlgItem(c, IDC_CALIB_UNIT_LIST));
        unitLabel = ItemText(c, IDC_CALIB_UNIT_LABEL);
        rulerShown = CameraView_Measure().Ruler().Active();
        for (const wchar_t* bad : {L"", L"ruler", L"0", L"-2.5", L"inf", L"nan", L"1e39", L"2,5"}) {
            EnterLength(c, bad);
            refusedStayed.push_back(IsWindowVisible(c) && g_calibrations.slots[2].scale < 0.0f);
        }
        ChooseComboEntry(c, IDC_CALIB_UNIT_LIST, 1);
        micronLabel = ItemText(c, IDC_CALIB_UNIT_LABEL);
        ruler = CameraView_RulerLength();
        EnterLength(c, L"2.5 mm");  // read as atof reads it
    });
    std::vector<std::wstring> cells;
    int selectedAgain = -1;
    bool rulerHiddenAgain = false;
    RECT back = {};
    driver.When(IsManager, [&](HWND m) {
        GetWindowRect(m, &back);
        cells = Row(m, 2);
        selectedAgain = SelectedRow(m);
        rulerHiddenAgain = !CameraView_Measure().Ruler().Active();
        ClickButton(m, IDC_CALIB_APPLY);
    });
    ASSERT_TRUE(RunCycle(driver));

    EXPECT_EQ(title, L"Calibrate - ID:3 Name:");
    EXPECT_EQ(units, (std::vector<std::wstring>{L"millimeters(mm)", L"microns(\u03BCm)"}));
    EXPECT_EQ(unitLabel, L"mm");
    EXPECT_EQ(micronLabel, L"\u03BCm");
    EXPECT_TRUE(rulerShown);
    EXPECT_EQ(refusedStayed, std::vector<bool>(8, true));
    // A third of the picture's width, lengthened to 300 at least.
    EXPECT_EQ(ruler, 1280 / 3);

    const CalibrationRecord& slot = g_calibrations.slots[2];
    const float scale = static_cast<float>(ruler) / 2.5f;
    EXPECT_EQ(slot.scale, scale);
    EXPECT_EQ(slot.unit, kUnitMicrons);
    EXPECT_EQ(slot.frameSize, (720 << 16) | 1280);
    wchar_t value[32];
    StringCchPrintfW(value, 32, L"%.2f", static_cast<double>(scale));
    EXPECT_EQ(cells, (std::vector<std::wstring>{L"", value, L"\u03BCm", Today(), L"1280x720"}));
    EXPECT_EQ(selectedAgain, 2);
    EXPECT_TRUE(rulerHiddenAgain);
    EXPECT_EQ(back.left, 30);  // where the user left it
    EXPECT_EQ(back.top, 40);

    // Apply: the view measures with it and the crossline shows its scale.
    EXPECT_EQ(g_calibrations.activeIndex, 2);
    EXPECT_EQ(ViewScale(), scale);
    EXPECT_EQ(CameraView_Calibration().unit, kUnitMicrons);
    EXPECT_TRUE(CameraView_Crossline());

    // The table as stored comes back the same after a restart.
    const CalibrationRecord saved = slot;
    LoadSettings(L"Software\\Tessaloom", keys_.Documents());
    const CalibrationRecord& loaded = g_calibrations.slots[2];
    EXPECT_EQ(loaded.linePixels, saved.linePixels);
    EXPECT_EQ(FloatBits(loaded.realLength), FloatBits(saved.realLength));
    EXPECT_EQ(loaded.scale, saved.scale);
    EXPECT_EQ(loaded.unit, saved.unit);
    EXPECT_EQ(loaded.frameSize, saved.frameSize);
    EXPECT_EQ(loaded.date, saved.date);
    EXPECT_LT(g_calibrations.slots[1].scale, 0.0f);
}

TEST_F(CalibrationDialogsTest, OnlyTheActiveSlotReachesTheViewAtOnceAndDeletingItUncalibrates) {
    g_calibrations.slots[0] = Calibrated(100.0f, kUnitMillimetres, u"objective 4x");
    g_calibrations.slots[1] = Calibrated(50.0f, kUnitMillimetres, u"objective 2x");
    StartWithCamera();
    DialogDriver driver;
    driver.When(IsManager, [&](HWND m) {
        SelectRow(m, 0);
        ClickButton(m, IDC_CALIB_APPLY);
    });
    ASSERT_TRUE(RunCycle(driver));
    EXPECT_EQ(ViewScale(), 100.0f);
    EXPECT_TRUE(CameraView_Crossline());

    // Another slot: the view keeps the applied calibration.
    float scaleMeanwhile = 0.0f;
    int32_t ruler = 0;
    driver.When(IsManager, [&](HWND m) {
        SelectRow(m, 1);
        ClickButton(m, IDC_CALIB_CALIBRATE);
    });
    driver.When(IsCalibrationDialog, [&](HWND c) {
        ruler = CameraView_RulerLength();
        EnterLength(c, L"4");
    });
    driver.When(IsManager, [&](HWND m) {
        scaleMeanwhile = ViewScale();
        CloseDialog(m);
    });
    ASSERT_TRUE(RunCycle(driver));
    EXPECT_EQ(scaleMeanwhile, 100.0f);
    EXPECT_EQ(ViewScale(), 100.0f);
    EXPECT_EQ(g_calibrations.slots[1].scale, static_cast<float>(ruler) / 4.0f);
    EXPECT_EQ(g_calibrations.listSelection, 0);  // closing selects the active slot again

    // The active slot: the view follows at once. Then it is deleted, after a No.
    int openedOn = -1;
    std::wstring question, caption;
    bool keptAfterNo = false;
    float afterRecalibration = 0.0f, afterDelete = 0.0f;
    std::vector<std::wstring> deletedRow;
    driver.When(IsManager, [&](HWND m) {
        openedOn = SelectedRow(m);
        ClickButton(m, IDC_CALIB_CALIBRATE);
    });
    driver.When(IsCalibrationDialog, [&](HWND c) { EnterLength(c, L"8"); });
    driver.When(IsManager, [&](HWND m) {
        afterRecalibration = ViewScale();
        ClickButton(m, IDC_CALIB_DELETE);
        keptAfterNo = g_calibrations.slots[0].scale > 0.0f;
        ClickButton(m, IDC_CALIB_DELETE);
        afterDelete = ViewScale();
        deletedRow = Row(m, 0);
        CloseDialog(m);
    });
    driver.When(IsQuestion, [&](HWND q) {
        question = ItemText(q, 0xFFFF);
        caption = TitleOf(q);
        ClickButton(q, IDNO);
    });
    driver.When(IsQuestion, [&](HWND q) { ClickButton(q, IDYES); });
    ASSERT_TRUE(RunCycle(driver));
    EXPECT_EQ(openedOn, 0);
    EXPECT_EQ(afterRecalibration, static_cast<float>(ruler) / 8.0f);
    EXPECT_EQ(question, L"Delete selected data ?");
    EXPECT_EQ(caption, L"Calibrate");
    EXPECT_TRUE(keptAfterNo);
    EXPECT_LT(afterDelete, 0.0f);
    EXPECT_EQ(deletedRow, std::vector<std::wstring>(5));
    EXPECT_EQ(g_calibrations.activeIndex, 0);
    EXPECT_LT(ViewScale(), 0.0f);
}

// The camera leaves while the manager shows: its Calibrate opens no calibration dialog, which
// would store a calibration of no picture.
TEST_F(CalibrationDialogsTest, CalibrateAfterTheCameraLeftOpensNothing) {
    StartWithCamera();
    DialogDriver driver;
    bool closed = false;
    driver.When(IsManager, [&](HWND m) {
        SelectRow(m, 1);
        RunSimcam(L"unplug CalibCam");
        closed = PumpUntil([] { return !Capture_IsOpen(); }, 10000);
        ClickButton(m, IDC_CALIB_CALIBRATE);
    });
    ASSERT_TRUE(RunCycle(driver));
    EXPECT_TRUE(closed);
    EXPECT_EQ(App_ModelessDialog(kCalibrationDialog), nullptr);
    EXPECT_FALSE(CameraView_Measure().Ruler().Active());
    EXPECT_LT(g_calibrations.slots[1].scale, 0.0f);
}

// Without an active slot (closing the manager selects that one) no row is selected, and no
// row state is ever set for the list's "every row" index.
TEST_F(CalibrationDialogsTest, WithoutAnActiveSlotTheManagerSelectsNoRow) {
    CreateMain();
    static int everyRowSent;
    everyRowSent = 0;
    HHOOK hook = SetWindowsHookExW(
        WH_CALLWNDPROC,
        [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
            if (code == HC_ACTION && sent->message == LVM_SETITEMSTATE &&
                static_cast<int>(sent->wParam) == -1) {
                ++everyRowSent;
            }
            return CallNextHookEx(nullptr, code, wParam, lParam);
        },
        nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    g_calibrations.activeIndex = kNoActiveCalibration;
    g_calibrations.listSelection = kNoActiveCalibration;
    LRESULT selected = -1;
    DialogDriver driver;
    driver.When(IsManager, [&](HWND m) {
        selected = SendMessageW(List(m), LVM_GETSELECTEDCOUNT, 0, 0);
        CloseDialog(m);
    });
    CalibrationManager_Run(main_);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(selected, 0);
    EXPECT_EQ(everyRowSent, 0);
}

TEST_F(CalibrationDialogsTest, NamesAreEditedWithinTheirLimitsAndHelpShowsTheSteps) {
    CreateMain();  // no camera: nothing to calibrate or apply
    PumpFor(200);
    DialogDriver driver;
    bool applyEnabled = true, calibrateEnabled = true;
    LRESULT limit = 0;
    std::wstring typed, shownName, afterDoubleClick;
    bool editedByDoubleClick = false;
    driver.When(IsManager, [&](HWND m) {
        applyEnabled = IsWindowEnabled(GetDlgItem(m, IDC_CALIB_APPLY));
        calibrateEnabled = IsWindowEnabled(GetDlgItem(m, IDC_CALIB_CALIBRATE));
        HWND list = List(m);
        SelectRow(m, 4);
        ClickButton(m, IDC_CALIB_RENAME);
        PumpUntil([&] { return SendMessageW(list, LVM_GETEDITCONTROL, 0, 0) != 0; }, 2000);
        HWND edit = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETEDITCONTROL, 0, 0));
        limit = SendMessageW(edit, EM_GETLIMITTEXT, 0, 0);
        SetWindowTextW(edit, L"");
        for (wchar_t c : std::wstring(L"A,b;")) SendMessageW(edit, WM_CHAR, c, 0);
        wchar_t text[64] = {};
        GetWindowTextW(edit, text, 64);
        typed = text;
        // Pasted past the limit, separators included: kept as the table can store it.
        SetWindowTextW(edit, L"Too,long;name over the limit");
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        shownName = Cell(m, 4, 0);

        // A double click edits the row; Escape keeps the old name.
        RECT r = {};
        r.left = LVIR_LABEL;
        SendMessageW(list, LVM_GETITEMRECT, 6, reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        // Posted: the list follows a press in a loop of its own until the release is queued.
        PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(list, WM_LBUTTONUP, 0, at);
        PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        PostMessageW(list, WM_LBUTTONUP, 0, at);
        editedByDoubleClick =
            PumpUntil([&] { return SendMessageW(list, LVM_GETEDITCONTROL, 0, 0) != 0; }, 2000);
        SendMessageW(list, LVM_CANCELEDITLABEL, 0, 0);
        afterDoubleClick = Cell(m, 6, 0);
        ClickButton(m, IDC_CALIB_HELP);
        CloseDialog(m);
    });
    std::vector<std::wstring> steps;
    bool centred = false;
    BITMAP picture = {};
    RECT frame = {};
    driver.When(IsHelp, [&](HWND h) {
        for (int id : {IDC_HELP_STEP1, IDC_HELP_STEP2, IDC_HELP_STEP3}) steps.push_back(ItemText(h, id));
        auto shown = reinterpret_cast<HBITMAP>(
            SendDlgItemMessageW(h, IDC_HELP_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
        if (shown != nullptr) GetObjectW(shown, sizeof picture, &picture);
        GetClientRect(GetDlgItem(h, IDC_HELP_PICTURE), &frame);
        RECT help = {}, mainRect = {};
        GetWindowRect(h, &help);
        GetWindowRect(main_, &mainRect);
        centred = help.top == mainRect.top + 68 &&
                  std::abs((help.left + help.right) - (mainRect.left + mainRect.right)) <= 1;
        ClickButton(h, IDOK);
    });
    g_calibrations.slots[6] = Calibrated(10.0f, kUnitMillimetres, u"keep me");
    EXPECT_EQ(CalibrationManager_Run(main_), IDCANCEL);
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(driver.Missed(), 0);
    EXPECT_FALSE(applyEnabled);
    EXPECT_FALSE(calibrateEnabled);
    EXPECT_EQ(limit, kCalibrationNameMaxChars);
    EXPECT_EQ(typed, L"Ab");
    EXPECT_EQ(shownName, L"Toolongname over th");
    EXPECT_EQ(std::u16string(g_calibrations.slots[4].name), u"Toolongname over th");
    EXPECT_TRUE(editedByDoubleClick);
    EXPECT_EQ(afterDoubleClick, L"keep me");
    EXPECT_EQ(steps, (std::vector<std::wstring>{
                         L"1. Connect and open the USB microscope.",
                         L"2. Put a ruller under the microscope, adjust microscope to image clearer.",
                         L"3. Input the length of the line in the image, press \"OK\"."}));
    EXPECT_TRUE(centred);
    // The how-to picture fills its frame.
    EXPECT_GT(picture.bmWidth, 0);
    EXPECT_EQ(picture.bmWidth, frame.right);
    EXPECT_EQ(picture.bmHeight, frame.bottom);
    // The new name was saved.
    wchar_t stored[1024] = {};
    DWORD size = sizeof stored;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tessaloom", L"Calibrations", RRF_RT_REG_SZ,
                 nullptr, stored, &size);
    EXPECT_NE(std::wstring(stored).find(L"Toolongname over th,"), std::wstring::npos);
}

// Pictures of the three dialogs in each language, for a person to check that CJK texts show
// real glyphs and nothing is cut off; the texts are checked against the table.
TEST_F(CalibrationDialogsTest, EveryDialogTakesTheChosenLanguage) {
    StartWithCamera();
    for (const ShotLanguage& l : kShotLanguages) {
        UseLanguage(l.language);
        const std::wstring suffix = l.suffix;
        DialogDriver driver;
        std::wstring managerTitle, nameHeader, apply, calibTip, calibTitle, helpStep;
        driver.When(IsManager, [&](HWND m) {
            managerTitle = TitleOf(m);
            nameHeader = Header(m, 0);
            apply = ItemText(m, IDC_CALIB_APPLY);
            SaveWindowShot(m, L"calibration-manager-" + suffix);
            ClickButton(m, IDC_CALIB_HELP);
            SelectRow(m, 0);
            ClickButton(m, IDC_CALIB_CALIBRATE);
        });
        driver.When(IsHelp, [&](HWND h) {
            helpStep = ItemText(h, IDC_HELP_STEP1);
            SaveWindowShot(h, L"calibration-help-" + suffix);
            ClickButton(h, IDOK);
        });
        driver.When(IsCalibrationDialog, [&](HWND c) {
            calibTitle = TitleOf(c);
            calibTip = ItemText(c, IDC_CALIB_TIP1);
            SaveWindowShot(c, L"calibration-" + suffix);
            ClickButton(c, IDCANCEL);
        });
        driver.When(IsManager, [&](HWND m) { CloseDialog(m); });
        ASSERT_TRUE(RunCycle(driver)) << l.language;
        EXPECT_EQ(nameHeader, Wide(GetText("name col")));  // in every language
        EXPECT_EQ(calibTitle, L"Calibrate - ID:1 Name:");
        if (l.language == kLanguageEnglish) {
            EXPECT_EQ(managerTitle, L"Config calibrations");
            EXPECT_EQ(apply, L"&Apply");
            EXPECT_EQ(calibTip, L"Please adjust the microscope to image clearer.");
            EXPECT_EQ(helpStep, L"1. Connect and open the USB microscope.");
        } else {
            EXPECT_EQ(managerTitle, Wide(GetText("calib man")));
            EXPECT_EQ(apply, Wide(GetText("apply")));
            EXPECT_EQ(calibTip, Wide(GetText("calib tip1")));
            EXPECT_EQ(helpStep, Wide(GetText("howto 1")));
        }
    }
}

}  // namespace
