// The settings dialog and its About box, opened by the main window's command: what the lists
// show for the settings, what OK stores and applies (a new language at once in the toolbars'
// hints), what Cancel leaves alone; pictures of both in each language.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/text_tables.h"
#include "win/dialog_driver.h"

namespace {

using Strings = std::vector<std::wstring>;

bool IsSettingsDialog(HWND dialog) { return GetDlgItem(dialog, IDC_SETTINGS_FOLDER) != nullptr; }
bool IsAboutDialog(HWND dialog) { return GetDlgItem(dialog, IDC_ABOUT_PRODUCT) != nullptr; }

DWORD StoredNumber(const wchar_t* name) {
    DWORD value = 0xDEADBEEF, size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tessaloom", name, RRF_RT_REG_DWORD, nullptr,
                 &value, &size);
    return value;
}

std::wstring StoredText(const wchar_t* name) {
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof text;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tessaloom", name, RRF_RT_REG_SZ, nullptr, text,
                 &size);
    return text;
}

// Counts the commands a window is sent or posted.
class CommandTap {
public:
    explicit CommandTap(HWND hwnd) : hwnd_(hwnd) {
        SetWindowSubclass(hwnd_, &CommandTap::Proc, 2, reinterpret_cast<DWORD_PTR>(this));
    }
    ~CommandTap() {
        if (IsWindow(hwnd_)) RemoveWindowSubclass(hwnd_, &CommandTap::Proc, 2);
    }
    CommandTap(const CommandTap&) = delete;
    CommandTap& operator=(const CommandTap&) = delete;
    int Count(int id) const {
        int n = 0;
        for (int seen : seen_) n += seen == id;
        return n;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR self) {
        if (msg == WM_COMMAND) reinterpret_cast<CommandTap*>(self)->seen_.push_back(LOWORD(wParam));
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    HWND hwnd_;
    std::vector<int> seen_;
};

COLORREF ScreenPixelAtCentre(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return c;
}

// The hint a measurement-toolbar button shows on hover, read from the main window's prompt.
std::wstring HintOf(HWND main, int id) {
    HWND button = GetDlgItem(g_app.measureToolbar, id);
    SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    HWND prompt = GetDlgItem(main, kIdPrompt);
    wchar_t text[128] = {};
    if (prompt != nullptr) GetWindowTextW(prompt, text, 128);
    SendMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(200, 200));
    return text;
}

// One hidden main window for the suite: the dialogs only need it as their owner and as the
// receiver of what OK sends.
class SettingsDialogTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RunSimcam(L"unplug --all");
        ASSERT_TRUE(App_RegisterWindowClasses(GetModuleHandleW(nullptr)));
        keys_ = new ProgramKeyGuard(L"Software\\TessaloomSettingsDialogTest",
                                    L"TessaloomSettingsDialogDocs");
        LoadSettings(keys_->TestKey(), keys_->Documents());
        main_ = MainWindow_Create(GetModuleHandleW(nullptr));
        ASSERT_NE(main_, nullptr);
        SetWindowPos(main_, nullptr, 100, 40, 1200, 800, SWP_NOZORDER);
    }
    static void TearDownTestSuite() {
        DestroyWindow(main_);
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        g_settings.language = kLanguageEnglish;
        SelectLanguageTexts(kLanguageEnglish);
        delete keys_;
    }
    void SetUp() override {
        g_settings.language = kLanguageEnglish;
        SelectLanguageTexts(kLanguageEnglish);
    }
    // Runs the dialog through the main window's command; `step` acts on it once it shows.
    void RunDialog(const DialogDriver::Step& step) {
        DialogDriver driver;
        driver.When(IsSettingsDialog, step);
        SendMessageW(main_, WM_COMMAND, kCmdSettings, 0);
        EXPECT_TRUE(driver.Done());
        EXPECT_EQ(driver.Missed(), 0);
    }

    static ProgramKeyGuard* keys_;
    static HWND main_;
};

ProgramKeyGuard* SettingsDialogTest::keys_ = nullptr;
HWND SettingsDialogTest::main_ = nullptr;

TEST_F(SettingsDialogTest, ShowsTheSettingsAndOkWithoutChangesSavesThemBack) {
    g_settings.gridColor = 0x800080;  // purple, 6
    g_settings.lineColor = 0x0000FF;  // red, 1
    g_settings.textColor = 0x00FFFF;  // yellow, 11
    g_settings.lineWidth = 2;
    g_settings.textSize = 14;
    g_settings.jpgPng = 1;
    lstrcpyW(reinterpret_cast<wchar_t*>(g_settings.imgDir), keys_->Documents());
    CommandTap toolbar(g_app.measureToolbar);
    CommandTap self(main_);

    Strings sizes, widths, formats, languages, colours;
    std::wstring title, folder, size, width, format, language;
    int ruler = -1, line = -1, text = -1;
    COLORREF swatch = 0;
    RECT dialogRect = {}, mainRect = {};
    RunDialog([&](HWND d) {
        title = TitleOf(d);
        sizes = ComboItems(GetDlgItem(d, IDC_SETTINGS_TEXT_SIZE));
        widths = ComboItems(GetDlgItem(d, IDC_SETTINGS_LINE_WIDTH));
        formats = ComboItems(GetDlgItem(d, IDC_SETTINGS_PHOTO_FORMAT));
        languages = ComboItems(GetDlgItem(d, IDC_SETTINGS_LANGUAGE));
        colours = ComboItems(GetDlgItem(d, IDC_SETTINGS_TEXT_COLOUR));
        size = ComboSelection(GetDlgItem(d, IDC_SETTINGS_TEXT_SIZE));
        width = ComboSelection(GetDlgItem(d, IDC_SETTINGS_LINE_WIDTH));
        format = ComboSelection(GetDlgItem(d, IDC_SETTINGS_PHOTO_FORMAT));
        language = ComboSelection(GetDlgItem(d, IDC_SETTINGS_LANGUAGE));
        ruler = static_cast<int>(SendDlgItemMessageW(d, IDC_SETTINGS_RULER_COLOUR, CB_GETCURSEL, 0, 0));
        line = static_cast<int>(SendDlgItemMessageW(d, IDC_SETTINGS_LINE_COLOUR, CB_GETCURSEL, 0, 0));
        text = static_cast<int>(SendDlgItemMessageW(d, IDC_SETTINGS_TEXT_COLOUR, CB_GETCURSEL, 0, 0));
        folder = ItemText(d, IDC_SETTINGS_FOLDER);
        GetWindowRect(d, &dialogRect);
        GetWindowRect(main_, &mainRect);
        SaveWindowShot(d, L"settings-en");
        swatch = ScreenPixelAtCentre(GetDlgItem(d, IDC_SETTINGS_TEXT_COLOUR));
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(title, L"Options");
    ASSERT_EQ(sizes.size(), 17u);
    EXPECT_EQ(sizes.front(), L" 8");
    EXPECT_EQ(sizes.back(), L" 24");
    EXPECT_EQ(size, L" 14");
    EXPECT_EQ(widths, (Strings{L" 1", L" 2"}));
    EXPECT_EQ(width, L" 2");
    EXPECT_EQ(formats, (Strings{L" JPG", L" PNG"}));
    EXPECT_EQ(format, L" PNG");
    EXPECT_EQ(languages, (Strings{L" English", L" \u4E2D\u6587", L" \u65E5\u672C\u8A9E"}));
    EXPECT_EQ(language, L" English");
    ASSERT_EQ(colours.size(), 12u);
    EXPECT_EQ(colours.back(), L"11");
    EXPECT_EQ(ruler, 6);
    EXPECT_EQ(line, 1);
    EXPECT_EQ(text, 11);
    EXPECT_EQ(swatch, RGB(255, 255, 0));  // the selected colour is drawn as a swatch
    EXPECT_EQ(folder, keys_->Documents());
    // Centred over the main window, 68 pixels below its top.
    EXPECT_EQ(dialogRect.top, mainRect.top + 68);
    EXPECT_LE(std::abs((dialogRect.left + dialogRect.right) - (mainRect.left + mainRect.right)), 1);

    // The same values are stored, the view gets the style, the language stays.
    EXPECT_EQ(StoredNumber(L"GridColor"), 0x800080u);
    EXPECT_EQ(StoredNumber(L"LineColor"), 0x0000FFu);
    EXPECT_EQ(StoredNumber(L"TextColor"), 0x00FFFFu);
    EXPECT_EQ(StoredNumber(L"LineWidth"), 2u);
    EXPECT_EQ(StoredNumber(L"TextSize"), 14u);
    EXPECT_EQ(StoredNumber(L"jpgPng"), 1u);
    EXPECT_EQ(StoredNumber(L"Language"), 0u);
    EXPECT_EQ(StoredText(L"ImgDir"), keys_->Documents());
    ASSERT_TRUE(PumpUntil([&] { return self.Count(kCmdOverlayStyleChanged) == 1; }, 2000));
    PumpFor(100);
    EXPECT_EQ(toolbar.Count(kCmdReloadTexts), 0);
}

TEST_F(SettingsDialogTest, NewChoicesAreStoredAndAColourOutsideThePaletteBecomesGreen) {
    g_settings.gridColor = 0x123456;  // not in the palette
    g_settings.lineColor = 0x0000FF;
    g_settings.textSize = 12;
    int ruler = -1;
    RunDialog([&](HWND d) {
        ruler = static_cast<int>(SendDlgItemMessageW(d, IDC_SETTINGS_RULER_COLOUR, CB_GETCURSEL, 0, 0));
        ChooseComboEntry(d, IDC_SETTINGS_LINE_COLOUR, 8);  // teal
        ChooseComboEntry(d, IDC_SETTINGS_TEXT_SIZE, 16);   // 24
        ChooseComboEntry(d, IDC_SETTINGS_LINE_WIDTH, 0);
        ChooseComboEntry(d, IDC_SETTINGS_PHOTO_FORMAT, 0);
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(ruler, 3);
    EXPECT_EQ(g_settings.gridColor, 0x00FF00u);
    EXPECT_EQ(StoredNumber(L"GridColor"), 0x00FF00u);
    EXPECT_EQ(StoredNumber(L"LineColor"), 0x808000u);
    EXPECT_EQ(StoredNumber(L"TextSize"), 24u);
    EXPECT_EQ(StoredNumber(L"LineWidth"), 1u);
    EXPECT_EQ(StoredNumber(L"jpgPng"), 0u);
}

TEST_F(SettingsDialogTest, CancelKeepsTheOldFolderAndEverythingElse) {
    lstrcpyW(reinterpret_cast<wchar_t*>(g_settings.imgDir), keys_->Documents());
    SaveSettings();
    const AppSettings before = g_settings;
    RunDialog([&](HWND d) {
        // As the folder browser leaves it.
        SetDlgItemTextW(d, IDC_SETTINGS_FOLDER, L"C:\\Elsewhere");
        ChooseComboEntry(d, IDC_SETTINGS_TEXT_SIZE, 0);
        ChooseComboEntry(d, IDC_SETTINGS_LANGUAGE, kLanguageChinese);
        SendMessageW(d, WM_COMMAND, IDCANCEL, 0);  // as Esc would
    });
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(g_settings.imgDir)),
              keys_->Documents());
    EXPECT_EQ(StoredText(L"ImgDir"), keys_->Documents());
    EXPECT_EQ(g_settings.textSize, before.textSize);
    EXPECT_EQ(g_settings.language, kLanguageEnglish);
    EXPECT_EQ(GetText("tip line"), u"Line");
}

TEST_F(SettingsDialogTest, JapaneseAppliesAtOnceAndTheDialogsFollowWhenOpenedAgain) {
    CommandTap measure(g_app.measureToolbar);
    CommandTap camera(g_app.cameraToolbar);
    ASSERT_EQ(HintOf(main_, kCmdToolLine), L"Line");
    RunDialog([&](HWND d) {
        ChooseComboEntry(d, IDC_SETTINGS_LANGUAGE, kLanguageJapanese);
        ClickButton(d, IDOK);
    });
    EXPECT_EQ(g_settings.language, kLanguageJapanese);
    EXPECT_EQ(StoredNumber(L"Language"), 2u);
    ASSERT_TRUE(PumpUntil([&] {
        return measure.Count(kCmdReloadTexts) == 1 && camera.Count(kCmdReloadTexts) == 1;
    }, 2000));
    const std::wstring japaneseLine = GetWideText("tip line");
    EXPECT_NE(japaneseLine, L"Line");
    EXPECT_EQ(HintOf(main_, kCmdToolLine), japaneseLine);

    // Opened again, the dialog speaks Japanese; the About button keeps its template text.
    struct Shot {
        int language;
        const wchar_t* name;
    } shots[] = {{kLanguageJapanese, L"settings-ja"}, {kLanguageChinese, L"settings-zh"}};
    for (const Shot& shot : shots) {
        std::wstring title, measureGroup, ok, about, wantedTitle, wantedOk;
        RunDialog([&](HWND d) {
            wantedTitle = GetWideText("setting");
            wantedOk = GetWideText("ok");
            title = TitleOf(d);
            measureGroup = ItemText(d, IDC_SETTINGS_MEASURE_GROUP);
            ok = ItemText(d, IDOK);
            about = ItemText(d, IDC_SETTINGS_ABOUT);
            SaveWindowShot(d, shot.name);
            // Leave in the next language of the loop, English at the end.
            const int next = shot.language == kLanguageJapanese ? kLanguageChinese : kLanguageEnglish;
            ChooseComboEntry(d, IDC_SETTINGS_LANGUAGE, next);
            ClickButton(d, IDOK);
        });
        EXPECT_EQ(title, wantedTitle) << shot.name;
        EXPECT_EQ(ok, wantedOk) << shot.name;
        EXPECT_EQ(about, L"About") << shot.name;
        if (shot.language == kLanguageJapanese) {
            EXPECT_EQ(title, L"\u8A2D\u5B9A");
            EXPECT_EQ(measureGroup, L"\u6E2C\u5B9A\uFF1A");
        }
    }
    EXPECT_EQ(g_settings.language, kLanguageEnglish);
    ASSERT_TRUE(PumpUntil([&] { return measure.Count(kCmdReloadTexts) == 3; }, 2000));
    EXPECT_EQ(HintOf(main_, kCmdToolLine), L"Line");
}

TEST_F(SettingsDialogTest, AboutBoxOpensOverTheDialogInEveryLanguage) {
    for (int language : {kLanguageEnglish, kLanguageChinese, kLanguageJapanese}) {
        g_settings.language = language;
        SelectLanguageTexts(language);
        std::wstring product;
        RECT aboutRect = {}, settingsRect = {};
        DialogDriver driver;
        driver.When(IsSettingsDialog, [&](HWND d) {
            GetWindowRect(d, &settingsRect);
            PostMessageW(d, WM_COMMAND, IDC_SETTINGS_ABOUT, 0);
        });
        driver.When(IsAboutDialog, [&](HWND about) {
            product = ItemText(about, IDC_ABOUT_PRODUCT);
            GetWindowRect(about, &aboutRect);
            const wchar_t* names[] = {L"about-en", L"about-zh", L"about-ja"};
            SaveWindowShot(about, names[language]);
            SendMessageW(about, WM_COMMAND, IDCANCEL, 0);
        });
        // Back in the settings dialog once the About box has gone.
        driver.When(IsSettingsDialog, [](HWND d) { SendMessageW(d, WM_COMMAND, IDCANCEL, 0); });
        SendMessageW(main_, WM_COMMAND, kCmdSettings, 0);
        EXPECT_TRUE(driver.Done()) << language;
        EXPECT_EQ(driver.Missed(), 0) << language;
        EXPECT_EQ(product, L"Tessaloom v2.4(build:20230322)") << language;
        EXPECT_EQ(aboutRect.top, settingsRect.top + 68) << language;
    }
}

}  // namespace
