// The real main window on the simulated microscope, for tests of the dialogs it opens.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "capture/capture_graph.h"
#include "measure/camera_view.h"
#include "pipeline/video_format.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/text_tables.h"
#include "win/dialog_driver.h"
#include "win/simcam_tool.h"
#include "win/win_test_support.h"

// The real main window, its settings loaded from a key of the test's own, and cameras plugged
// for the test and unplugged after it. The language goes back to English after each test.
class MainWindowTest : public testing::Test {
protected:
    MainWindowTest(const wchar_t* testKey, const wchar_t* documentsName)
        : keys_(testKey, documentsName) {}
    static void SetUpTestSuite() {
        RunSimcam(L"unplug --all");  // the view would open any camera it finds
        ASSERT_TRUE(App_RegisterWindowClasses(GetModuleHandleW(nullptr)));
    }
    void SetUp() override { LoadSettings(keys_.TestKey(), keys_.Documents()); }
    void TearDown() override {
        if (main_ != nullptr && IsWindow(main_)) DestroyWindow(main_);
        // Destroying the main window ends "the" message loop; drop that quit request.
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        for (const auto& name : plugged_) RunSimcam(L"unplug " + name);
        PumpFor(50);
        UseLanguage(kLanguageEnglish);
    }

    void Plug(const std::wstring& name, const std::wstring& formats) {
        const SimcamResult r =
            RunSimcam(L"plug " + name + L" --friendly " + name + L" --formats " + formats);
        ASSERT_EQ(r.code, 0u) << r.output;
        plugged_.push_back(name);
    }
    void CreateMain() {
        main_ = MainWindow_Create(GetModuleHandleW(nullptr));
        ASSERT_NE(main_, nullptr);
        SetWindowPos(main_, nullptr, 0, 0, 1200, 800, SWP_NOZORDER);
        ShowWindow(main_, SW_SHOWNORMAL);
    }
    // The camera runs at this width and the view has set itself up for it.
    bool Streaming(const std::wstring& device, int width) {
        return PumpUntil([&] {
            return Capture_FramesFlowing() && g_capture.deviceName == device &&
                   g_pipeline.format.width == width && CameraView_PictureWidth() != 0;
        }, 10000);
    }
    static void UseLanguage(int language) {
        g_settings.language = language;
        SelectLanguageTexts(language);
    }

    ProgramKeyGuard keys_;
    HWND main_ = nullptr;
    std::vector<std::wstring> plugged_;
};

// The three languages with the suffix of their pictures.
struct ShotLanguage {
    int language;
    const wchar_t* suffix;
};
constexpr ShotLanguage kShotLanguages[] = {
    {kLanguageEnglish, L"en"}, {kLanguageChinese, L"zh"}, {kLanguageJapanese, L"ja"}};
