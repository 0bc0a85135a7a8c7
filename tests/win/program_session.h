// The program as its user meets it, for tests of what it saves: the libraries started as the
// program starts them, the main window with its real camera view on a simulated microscope,
// settings under a key of the test's own and the image folder in the build tree.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "capture/capture_graph.h"
#include "pipeline/video_format.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "resources/resource_ids.h"
#include "win/main_window_support.h"
#include "win/simcam_tool.h"
#include "win/win_test_support.h"

class ProgramSession {
public:
    // `name` names the test's settings key and folder, and the simulated camera.
    void Start(const std::wstring& name, const std::wstring& plugOptions) {
        name_ = name;
        RunSimcam(L"unplug --all");
        const SimcamResult plugged =
            RunSimcam(L"plug " + name + L" --friendly " + name + L" " + plugOptions);
        ASSERT_EQ(plugged.code, 0u) << plugged.output;
        // Saving writes the program's own key; leave it as it was found.
        HKEY key = nullptr;
        programKeyExisted_ =
            RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) == ERROR_SUCCESS;
        if (key != nullptr) RegCloseKey(key);

        documents_ = WindowsPathOf(TEST_FILES_DIR) + L"\\" + name;
        EnsureFolderPath(documents_.c_str());
        App_StartLibraries(GetModuleHandleW(nullptr));
        LoadSettings(SettingsKey().c_str(), documents_.c_str());
        folder_ = AsWide(g_settings.imgDir);
        EmptyFolder(folder_);
        ASSERT_TRUE(App_RegisterWindowClasses(GetModuleHandleW(nullptr)));
        RegisterStandInChildren();
        main_ = MainWindow_Create(GetModuleHandleW(nullptr));
        ASSERT_NE(main_, nullptr);
        SetWindowPos(main_, nullptr, 0, 0, 1400, 860, SWP_NOZORDER);
        ShowWindow(main_, SW_SHOWNORMAL);
        ASSERT_TRUE(WaitForFrames(15000)) << "the simulated camera sent no frames";
    }

    void Stop() {
        if (main_ != nullptr && IsWindow(main_)) DestroyWindow(main_);
        main_ = nullptr;
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        RunSimcam(L"unplug " + name_);
        RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey().c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, SettingsKey().c_str());
        if (!programKeyExisted_) {
            RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKeyPath);
            RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKeyPath);
        }
        App_StopLibraries();
    }

    // A few new frames have been published (the view paints meanwhile).
    bool WaitForFrames(DWORD timeoutMs) {
        return PumpUntil([] { return Capture_FramesFlowing(); }, timeoutMs) &&
               NewFramesArrive(3, timeoutMs);
    }

    HWND main() const { return main_; }
    const std::wstring& folder() const { return folder_; }
    std::wstring SettingsKey() const { return L"Software\\TessaloomTest" + name_; }

    // The text of the main window's prompt, empty when none is shown.
    std::wstring PromptText() const {
        HWND prompt = GetDlgItem(main_, kIdPrompt);
        if (prompt == nullptr) return std::wstring();
        wchar_t text[600] = {};
        GetWindowTextW(prompt, text, 600);
        return text;
    }

    static void EmptyFolder(const std::wstring& folder) {
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }

private:
    std::wstring name_;
    std::wstring documents_;
    std::wstring folder_;
    HWND main_ = nullptr;
    bool programKeyExisted_ = false;
};

// The camera sends nothing while one lives: frames reach the recorder only from the test,
// so their number is exact.
class GraphPaused {
public:
    GraphPaused() {
        g_capture.control->Pause();
        PumpFor(100);
    }
    ~GraphPaused() { g_capture.control->Run(); }
    GraphPaused(const GraphPaused&) = delete;
    GraphPaused& operator=(const GraphPaused&) = delete;
};

inline std::vector<uint8_t> CopyOfCurrentFrame() {
    const size_t size = static_cast<size_t>(g_pipeline.format.width) * g_pipeline.format.height * 3;
    const uint8_t* frame = Pipeline_CurrentFrame();
    return frame == nullptr ? std::vector<uint8_t>() : std::vector<uint8_t>(frame, frame + size);
}

// A disk that keeps the writer waiting for its next frame for `ms` milliseconds from the
// moment it is made, or from the moment the recording is ended when `untilStopped`: the
// writer cannot take a frame from the queue meanwhile.
class SlowDisk {
public:
    explicit SlowDisk(DWORD ms, bool untilStopped = false) : ms_(ms), untilStopped_(untilStopped) {
        holding_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &SlowDisk::Hold, this, 0, nullptr);
        WaitForSingleObject(holding_, 5000);
    }
    ~SlowDisk() {
        WaitForSingleObject(thread_, ms_ + 5000);
        CloseHandle(thread_);
        CloseHandle(holding_);
    }
    SlowDisk(const SlowDisk&) = delete;
    SlowDisk& operator=(const SlowDisk&) = delete;

private:
    static DWORD WINAPI Hold(void* param) {
        auto* self = static_cast<SlowDisk*>(param);
        EnterCriticalSection(&g_pipeline.queue.queueLock);
        SetEvent(self->holding_);
        while (self->untilStopped_ && g_pipeline.format.recording) Sleep(10);
        WaitForSingleObject(GetCurrentThread(), self->ms_);
        LeaveCriticalSection(&g_pipeline.queue.queueLock);
        return 0;
    }
    DWORD ms_;
    bool untilStopped_;
    HANDLE holding_ = nullptr;
    HANDLE thread_ = nullptr;
};
