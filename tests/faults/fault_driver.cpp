// Drives and watches the running program for scripts/faults.sh and scripts/longrun.sh, through
// its own commands and windows as a user would, and reports what it saw on standard output
// (or, with --report FILE before the command, in FILE). It must run in the program's desktop.
//   fault_driver record-start           opens the record dialog and presses Start
//   fault_driver record-stop            presses Stop and waits for the dialog to close
//   fault_driver record-ended SECONDS   waits for the dialog to close by itself
//   fault_driver photo                  the camera toolbar's photo command
//   fault_driver time-lapse             opens the time-lapse dialog, presses Start, closes it
//   fault_driver prompt                 the prompt's text, if one is shown
//   fault_driver picture                what the camera view shows: spread, corner, checksum
//   fault_driver probe SECONDS          asks the main window every 50 ms, reports the slowest
//   fault_driver stats                  handles, threads and private bytes of the program
//   fault_driver streaming NAME SECONDS waits until camera NAME streams to the program
//   fault_driver cycle NAME COUNT EVERY DLL  unplugs and replugs NAME, waiting each time for
//                                       the program to close and reopen it; stats every EVERY
//   fault_driver close                  asks the main window to close
// Exit codes: 0 done (and what was asked held), 1 bad command, 2 the program is not there,
// 3 the recording did not start, 4 a wait ran out, 5 the main window was slow to answer.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "app/window_classes.h"
#include "resources/resource_ids.h"
#include "simcam/camera_store.h"
#include "simcam/registration.h"

namespace {

constexpr int kBadCommand = 1, kNoProgram = 2, kNotStarted = 3, kTimedOut = 4, kSlow = 5;
constexpr DWORD kAnswerLimitMs = 1000;

HWND MainWindow() { return FindWindowW(kMainWindowClass, nullptr); }

// Waits in small steps until `done` holds; false when `ms` passed first.
template <typename Done>
bool WaitFor(Done done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(20);
    }
    return true;
}

// The record dialog is the enabled dialog box the main window owns.
HWND RecordDialog(HWND main) {
    struct Search {
        HWND owner, found;
    } search = {main, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            wchar_t name[16];
            if (GetWindow(w, GW_OWNER) == s->owner && GetClassNameW(w, name, 16) > 0 &&
                std::wcscmp(name, L"#32770") == 0 && GetDlgItem(w, IDC_RECORD_TIME) != nullptr) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring TextOf(HWND w) {
    wchar_t text[600] = L"";
    if (w != nullptr) SendMessageTimeoutW(w, WM_GETTEXT, 600, reinterpret_cast<LPARAM>(text),
                                          SMTO_NORMAL, 2000, nullptr);
    return text;
}

void PrintUtf8(const char* label, const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? n : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], n, nullptr, nullptr);
    std::printf("%s%s\n", label, utf8.c_str());
    std::fflush(stdout);
}

int RecordStart(HWND main) {
    PostMessageW(main, WM_COMMAND, kCmdRecordVideo, 0);
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = RecordDialog(main)) != nullptr; }, 10000)) return kTimedOut;
    std::wstring ready;
    if (!WaitFor([&] { return !(ready = TextOf(GetDlgItem(dialog, IDOK))).empty(); }, 10000)) return kTimedOut;
    const std::wstring earlierPrompt = TextOf(GetDlgItem(main, kIdPrompt));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    // Start turns the button into Stop; a file that cannot be made leaves it reading Start
    // and says so in the prompt, which is read before it closes itself.
    bool started = false;
    std::wstring prompt;
    WaitFor([&] {
        // An empty text is an answer that did not come in time, not a new caption.
        const std::wstring caption = TextOf(GetDlgItem(dialog, IDOK));
        started = !caption.empty() && caption != ready;
        prompt = TextOf(GetDlgItem(main, kIdPrompt));
        return started || (!prompt.empty() && prompt != earlierPrompt);
    }, 5000);
    if (!started) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    PrintUtf8("prompt: ", prompt);
    return started ? 0 : kNotStarted;
}

int RecordEnded(HWND main, DWORD seconds, bool pressStop) {
    HWND dialog = RecordDialog(main);
    if (dialog != nullptr && pressStop) PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    const bool closed = WaitFor([&] { return !IsWindow(dialog); }, seconds * 1000);
    PrintUtf8("prompt: ", TextOf(GetDlgItem(main, kIdPrompt)));
    return closed ? 0 : kTimedOut;
}

// The view as the screen shows it (another process cannot read the view's own surface).
// Spread of the view's grey levels (standard deviation × 1000 / 255, as ImageMagick gives it),
// the colour of its top-left pixel and a checksum of the whole picture.
int Picture(HWND main) {
    HWND view = GetDlgItem(main, kIdCameraView);
    RECT client = {};
    if (view == nullptr || !GetClientRect(view, &client) || client.right <= 0 || client.bottom <= 0)
        return kNoProgram;
    const int w = client.right, h = client.bottom;
    // The prompt lies over the top of the view until it closes itself.
    WaitFor([&] { return !IsWindowVisible(GetDlgItem(main, kIdPrompt)); }, 6000);
    POINT origin = {0, 0};
    ClientToScreen(view, &origin);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    const auto* px = static_cast<const uint8_t*>(bits);
    double sum = 0, squares = 0;
    uint32_t checksum = 2166136261u;
    for (int i = 0; i < w * h; ++i) {
        const uint8_t b = px[i * 4], g = px[i * 4 + 1], r = px[i * 4 + 2];
        const double grey = 0.299 * r + 0.587 * g + 0.114 * b;
        sum += grey;
        squares += grey * grey;
        checksum = (checksum ^ (b | g << 8 | r << 16)) * 16777619u;
    }
    const double mean = sum / (w * h);
    const double spread = std::sqrt(std::max(0.0, squares / (w * h) - mean * mean)) * 1000 / 255;
    std::printf("picture spread=%.0f corner=%d,%d,%d checksum=%08x size=%dx%d\n", spread, px[2],
                px[1], px[0], checksum, w, h);
    std::fflush(stdout);
    SelectObject(memory, old);
    DeleteObject(copy);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return 0;
}

// Every 50 ms a WM_NULL that must come back within a second; the slowest answer is reported.
int Probe(HWND main, DWORD seconds) {
    const DWORD start = GetTickCount();
    DWORD worst = 0, worstAt = 0, slow = 0, asked = 0;
    while (GetTickCount() - start < seconds * 1000) {
        const DWORD before = GetTickCount();
        DWORD_PTR answer = 0;
        const bool answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL,
                                                  kAnswerLimitMs, &answer) != 0;
        const DWORD took = answered ? GetTickCount() - before : kAnswerLimitMs;
        if (took > worst) {
            worst = took;
            worstAt = before - start;
        }
        slow += !answered || took >= kAnswerLimitMs;
        ++asked;
        Sleep(50);
    }
    std::printf("probe asked=%lu worst_ms=%lu worst_at_ms=%lu slow=%lu\n", asked, worst, worstAt, slow);
    std::fflush(stdout);
    return slow == 0 ? 0 : kSlow;
}

DWORD ThreadsOf(DWORD pid) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD n = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        n += entry.th32OwnerProcessID == pid;
    CloseHandle(snapshot);
    return n;
}

// The kind of object a handle of another process refers to, by its type's name.
std::string TypeNameOf(HANDLE process, USHORT value) {
    using QueryObject = NTSTATUS(WINAPI*)(HANDLE, OBJECT_INFORMATION_CLASS, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    HANDLE copy = nullptr;
    if (query == nullptr || !DuplicateHandle(process, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(value)),
                                             GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return "other";
    alignas(8) uint8_t info[1024] = {};
    std::string name = "other";
    if (query(copy, ObjectTypeInformation, info, sizeof info, nullptr) == 0) {
        const auto* text = reinterpret_cast<const UNICODE_STRING*>(info);
        if (text->Length > 0) name = Narrow(std::wstring(text->Buffer, text->Length / 2));
    }
    CloseHandle(copy);
    return name;
}

// Handles the process holds by kind, from the system's handle table: Wine answers the
// process's own handle count with 0, but keeps the table.
std::map<std::string, long> HandlesOf(DWORD pid) {
    std::map<std::string, long> kinds;
    using Query = NTSTATUS(WINAPI*)(SYSTEM_INFORMATION_CLASS, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid);
    if (query == nullptr || process == nullptr) return kinds;
    constexpr NTSTATUS kTooSmall = static_cast<NTSTATUS>(0xC0000004);
    std::vector<uint8_t> table(1 << 20);
    NTSTATUS status;
    while ((status = query(SystemHandleInformation, table.data(), static_cast<ULONG>(table.size()),
                           nullptr)) == kTooSmall && table.size() < (64u << 20)) {
        table.resize(table.size() * 2);
    }
    const auto* info = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(table.data());
    std::map<int, std::string> typeNames;  // one look per kind of object
    for (ULONG i = 0; status == 0 && i < info->Count; ++i) {
        const SYSTEM_HANDLE_ENTRY& entry = info->Handle[i];
        if (entry.OwnerPid != pid) continue;
        auto known = typeNames.find(entry.ObjectType);
        if (known == typeNames.end())
            known = typeNames.emplace(entry.ObjectType, TypeNameOf(process, entry.HandleValue)).first;
        ++kinds[known->second];
    }
    CloseHandle(process);
    return kinds;
}

// The program's figures as Windows reports them (Wine fills no private bytes; the Linux
// process's figures stand beside these).
bool PrintStats(HWND main, const char* label) {
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) return false;
    const std::map<std::string, long> kinds = HandlesOf(pid);
    long handles = 0;
    std::string byKind;
    for (const auto& kind : kinds) {
        handles += kind.second;
        byKind += " handles_" + kind.first + "=" + std::to_string(kind.second);
    }
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    CloseHandle(process);
    std::printf("%s win_handles=%ld win_threads=%lu win_private_kb=%llu win_workingset_kb=%llu%s\n",
                label, handles, ThreadsOf(pid),
                static_cast<unsigned long long>(memory.PrivateUsage / 1024),
                static_cast<unsigned long long>(memory.WorkingSetSize / 1024), byKind.c_str());
    std::fflush(stdout);
    return true;
}

// The camera's still stream runs exactly while the program has its graph running, and its
// trigger exists only then.
bool Streaming(const std::string& camera) {
    HANDLE trigger = OpenSemaphoreW(SYNCHRONIZE, FALSE, StillTriggerName(camera).c_str());
    if (trigger == nullptr) return false;
    CloseHandle(trigger);
    return true;
}

int Cycle(HWND main, const std::string& camera, int count, int every, const std::wstring& dll) {
    CameraConfig config;
    if (!LoadCameraConfig(camera, &config)) return kBadCommand;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return kBadCommand;
    if (!WaitFor([&] { return Streaming(camera); }, 15000)) return kTimedOut;
    std::string error;
    for (int cycle = 1; cycle <= count; ++cycle) {
        if (!UnplugCamera(camera, &error)) break;
        if (!WaitFor([&] { return !Streaming(camera); }, 10000)) {
            std::printf("cycle %d: the program kept the unplugged camera open\n", cycle);
            return kTimedOut;
        }
        if (!PlugCamera(camera, config, dll, &error)) break;
        if (!WaitFor([&] { return Streaming(camera); }, 15000)) {
            std::printf("cycle %d: the program did not reopen the camera\n", cycle);
            return kTimedOut;
        }
        if (cycle % every == 0) {
            const std::string label = "sample cycle=" + std::to_string(cycle);
            if (!PrintStats(main, label.c_str())) return kNoProgram;
        }
    }
    if (!error.empty()) std::printf("simulated camera: %s\n", error.c_str());
    return error.empty() ? 0 : kBadCommand;
}

// The program's open time-lapse dialog, known by its controls.
HWND TimeLapseDialog(HWND main) {
    HWND found = nullptr;
    EnumThreadWindows(
        GetWindowThreadProcessId(main, nullptr),
        [](HWND w, LPARAM out) {
            if (GetDlgItem(w, IDC_TL_START) == nullptr || GetDlgItem(w, IDC_TL_VIDEO) == nullptr ||
                GetDlgItem(w, IDC_TL_RATE) == nullptr) {
                return TRUE;
            }
            *reinterpret_cast<HWND*>(out) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

int TimeLapseStart(HWND main) {
    SendMessageW(main, WM_COMMAND, kCmdTimeLapse, 0);
    HWND dialog = nullptr;
    if (!WaitFor([&] { return (dialog = TimeLapseDialog(main)) != nullptr; }, 5000)) return kTimedOut;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TL_START, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_TL_START)));
    PrintUtf8("prompt: ", TextOf(GetDlgItem(main, kIdPrompt)));
    PrintUtf8("button: ", TextOf(GetDlgItem(dialog, IDC_TL_START)));
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return 0;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2) return kBadCommand;
    const std::wstring command = argv[1];
    // A program just started may not have its window yet.
    HWND main = nullptr;
    if (!WaitFor([&] { return (main = MainWindow()) != nullptr; }, 30000)) return kNoProgram;
    auto number = [&](int i) { return i < argc ? std::wcstol(argv[i], nullptr, 10) : -1; };
    auto name = [&](int i) { return i < argc ? Narrow(argv[i]) : std::string(); };
    if (command == L"record-start") return RecordStart(main);
    if (command == L"record-stop") return RecordEnded(main, 30, true);
    if (command == L"record-ended" && number(2) > 0) return RecordEnded(main, number(2), false);
    if (command == L"photo") {
        SendMessageW(main, WM_COMMAND, kCmdPhoto, 0);
        PrintUtf8("prompt: ", TextOf(GetDlgItem(main, kIdPrompt)));
        return 0;
    }
    if (command == L"time-lapse") return TimeLapseStart(main);
    if (command == L"prompt") {
        PrintUtf8("prompt: ", TextOf(GetDlgItem(main, kIdPrompt)));
        return 0;
    }
    if (command == L"picture") return Picture(main);
    if (command == L"probe" && number(2) > 0) return Probe(main, number(2));
    if (command == L"stats") return PrintStats(main, "stats") ? 0 : kNoProgram;
    if (command == L"streaming" && number(3) > 0) {
        const std::string camera = name(2);
        return WaitFor([&] { return Streaming(camera); }, number(3) * 1000) ? 0 : kTimedOut;
    }
    if (command == L"cycle" && argc == 6 && number(3) > 0 && number(4) > 0)
        return Cycle(main, name(2), number(3), number(4), argv[5]);
    if (command == L"close") {
        PostMessageW(main, WM_CLOSE, 0, 0);
        return 0;
    }
    return kBadCommand;
}

}  // namespace

// In a Wine desktop the driver's output and exit code do not come back to the caller, so
// with --report FILE both go to FILE, which appears whole when the driver ends.
int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || std::wcscmp(argv[1], L"--report") != 0) return Run(argc, argv);
    const std::wstring report = argv[2];
    const std::wstring partial = report + L".part";
    if (_wfreopen(partial.c_str(), L"w", stdout) == nullptr) return kBadCommand;
    argv[2] = argv[0];
    const int result = Run(argc - 2, argv + 2);
    std::printf("exit=%d\n", result);
    std::fclose(stdout);
    MoveFileExW(partial.c_str(), report.c_str(), MOVEFILE_REPLACE_EXISTING);
    return result;
}
