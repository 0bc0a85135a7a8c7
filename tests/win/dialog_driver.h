// For tests of the program's dialogs: a driver for modal dialogs, whose steps run on the
// test's own thread from a timer that the dialog's modal loop dispatches, each once the dialog
// it waits for is showing; control helpers; the program's settings key kept for the test;
// pictures of the dialogs.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "win/simcam_tool.h"
#include "win/win_test_support.h"

// Visible, enabled dialogs of this thread (a dialog under a modal one is disabled).
inline std::vector<HWND> ActiveDialogs() {
    std::vector<HWND> found;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(hwnd, name, 16);
            if (lstrcmpW(name, L"#32770") == 0 && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

class DialogDriver {
public:
    using Match = std::function<bool(HWND)>;
    using Step = std::function<void(HWND)>;

    DialogDriver() {
        instance_ = this;
        timer_ = SetTimer(nullptr, 0, kTickMs, &DialogDriver::Tick);
    }
    ~DialogDriver() {
        KillTimer(nullptr, timer_);
        instance_ = nullptr;
    }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // `step` runs once a dialog that `match` accepts shows; steps run in the order given.
    void When(Match match, Step step) {
        if (steps_.empty()) waitingSince_ = GetTickCount();
        steps_.push_back({std::move(match), std::move(step)});
    }
    bool Done() const { return steps_.empty(); }
    // Steps that never found their dialog within the deadline, and dialogs left open after
    // the last step; the dialogs showing then were cancelled.
    int Missed() const { return missed_; }

private:
    struct Pending {
        Match match;
        Step step;
    };

    // Steps may open further dialogs (a message box) or pump messages themselves: the ticks
    // inside them run the next steps, but never on a dialog whose step is still running.
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        DialogDriver* self = instance_;
        if (self == nullptr) return;
        std::vector<HWND> active;
        for (HWND dialog : ActiveDialogs())
            if (!self->IsBusy(dialog)) active.push_back(dialog);
        if (self->steps_.empty()) {
            // A dialog that no step closed would keep the test in its loop for ever.
            if (active.empty()) self->waitingSince_ = GetTickCount();
            if (GetTickCount() - self->waitingSince_ < self->deadlineMs_) return;
            ++self->missed_;
            self->waitingSince_ = GetTickCount();
            for (HWND dialog : active) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        for (HWND dialog : active) {
            if (!self->steps_.front().match(dialog)) continue;
            Pending next = std::move(self->steps_.front());
            self->steps_.pop_front();
            self->busy_.push_back(dialog);
            // A timer whose procedure is running gets no ticks in the loops nested inside it:
            // a fresh timer drives the steps meant for dialogs that this step opens.
            const UINT_PTR nested = SetTimer(nullptr, 0, kTickMs, &DialogDriver::Tick);
            next.step(dialog);
            KillTimer(nullptr, nested);
            self->busy_.pop_back();
            self->waitingSince_ = GetTickCount();
            return;
        }
        if (GetTickCount() - self->waitingSince_ < self->deadlineMs_) return;
        // A dialog that never came, or a wrong one: cancel what shows so the test goes on.
        ++self->missed_;
        self->steps_.pop_front();
        self->waitingSince_ = GetTickCount();
        for (HWND dialog : active) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }

    bool IsBusy(HWND dialog) const {
        for (HWND busy : busy_)
            if (busy == dialog) return true;
        return false;
    }

    static constexpr UINT kTickMs = 30;
    static DialogDriver* instance_;
    UINT_PTR timer_ = 0;
    std::deque<Pending> steps_;
    std::vector<HWND> busy_;
    DWORD waitingSince_ = 0;
    static constexpr DWORD deadlineMs_ = 10000;
    int missed_ = 0;
};

inline DialogDriver* DialogDriver::instance_ = nullptr;

// Helpers for reading and driving dialog controls.
inline std::wstring ItemText(HWND dialog, int id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

inline std::wstring TitleOf(HWND dialog) {
    wchar_t text[512] = {};
    GetWindowTextW(dialog, text, 512);
    return text;
}

inline std::vector<std::wstring> ComboItems(HWND combo) {
    std::vector<std::wstring> items;
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

inline std::vector<std::wstring> ListBoxItems(HWND list) {
    std::vector<std::wstring> items;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

inline std::wstring ComboSelection(HWND combo) {
    const int selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    if (selected < 0) return L"";
    wchar_t text[256] = {};
    SendMessageW(combo, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text));
    return text;
}

// Selects an entry as a user would, with the notification the dialog listens for.
inline void ChooseComboEntry(HWND dialog, int id, int index) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline void ClickButton(HWND dialog, int id) {
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Escape, or the close button of the title bar.
inline void CloseDialog(HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }

// The settings a test's dialogs save go to the program's own key: this keeps a copy of that
// key for the test's life and puts it back afterwards. Settings are loaded from a key of the
// test's own, with a documents folder of its own.
class ProgramKeyGuard {
public:
    ProgramKeyGuard(const wchar_t* testKey, const wchar_t* documentsName) : testKey_(testKey) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        documents_ = std::wstring(temp) + documentsName;
        CreateDirectoryW(documents_.c_str(), nullptr);
        HKEY program = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kProgramKey, 0, KEY_READ, &program) == ERROR_SUCCESS) {
            HKEY backup = nullptr;
            RegCreateKeyExW(HKEY_CURRENT_USER, BackupKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &backup, nullptr);
            hadProgramKey_ = backup != nullptr && RegCopyTreeW(program, nullptr, backup) == 0;
            if (backup != nullptr) RegCloseKey(backup);
            RegCloseKey(program);
        }
    }
    ~ProgramKeyGuard() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kProgramKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kProgramKey);
        if (hadProgramKey_) {
            HKEY backup = nullptr, program = nullptr;
            RegOpenKeyExW(HKEY_CURRENT_USER, BackupKey().c_str(), 0, KEY_READ, &backup);
            RegCreateKeyExW(HKEY_CURRENT_USER, kProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &program, nullptr);
            if (backup != nullptr && program != nullptr) RegCopyTreeW(backup, nullptr, program);
            if (backup != nullptr) RegCloseKey(backup);
            if (program != nullptr) RegCloseKey(program);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, BackupKey().c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, BackupKey().c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, testKey_.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, testKey_.c_str());
        // Loading made the image folder, saving its thumbnails folder.
        const std::wstring images = documents_ + L"\\Tessaloom Files";
        RemoveDirectoryW((images + L"\\Thumbnails").c_str());
        RemoveDirectoryW(images.c_str());
        RemoveDirectoryW(documents_.c_str());
    }
    ProgramKeyGuard(const ProgramKeyGuard&) = delete;
    ProgramKeyGuard& operator=(const ProgramKeyGuard&) = delete;

    const wchar_t* TestKey() const { return testKey_.c_str(); }
    const wchar_t* Documents() const { return documents_.c_str(); }

private:
    static constexpr wchar_t kProgramKey[] = L"Software\\Tessaloom";
    std::wstring BackupKey() const { return testKey_ + L"Backup"; }

    std::wstring testKey_;
    std::wstring documents_;
    bool hadProgramKey_ = false;
};

// Saves what the screen shows of a window as a 24-bit BMP in the screenshot folder, for a
// person to look at.
inline void SaveWindowShot(HWND hwnd, const std::wstring& name) {
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    PumpFor(150);
    RECT r = {};
    GetWindowRect(hwnd, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;  // bottom-up, as BMP files keep it
    header.biPlanes = 1;
    header.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + imageBytes;
    const std::wstring dir = WindowsPathOf(DIALOG_SHOT_DIR);
    CreateDirectoryW(dir.c_str(), nullptr);
    HANDLE out = CreateFileW((dir + L"\\" + name + L".bmp").c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(out, &file, sizeof file, &written, nullptr);
        WriteFile(out, &header, sizeof header, &written, nullptr);
        WriteFile(out, bits, imageBytes, &written, nullptr);
        CloseHandle(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}
