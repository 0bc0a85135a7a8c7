#include "recording/record_dialog.h"

#include <string>

#include "app/photo_capture.h"
#include "app/photo_names.h"
#include "pipeline/video_format.h"
#include "recording/avi_writer.h"
#include "recording/record_timing.h"
#include "resources/resource_ids.h"
#include "settings/dialog_setup.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"

namespace {

constexpr UINT_PTR kClockTimer = 88;
constexpr UINT kClockMilliseconds = 100;
constexpr int kCmdSplit = 4;
constexpr INT_PTR kRecorded = 1;
constexpr INT_PTR kClosed = 2;
constexpr wchar_t kClockFace[] = L"Courier New";

enum class Stage {
    Ready,      // button 1 reads Start
    Recording,  // button 1 reads Stop, the clock runs
    Splitting,  // one file is being closed and the next started; messages are dispatched
    Ending,     // the last file is being closed; nothing changes any more
};

struct RecordDialogState {
    HFONT clockFont = nullptr;
    int64_t carriedTime = 0;  // recorded time of the files closed by splits since Start
    Stage stage = Stage::Ready;
    bool fileOpen = false;         // a file is being written and has not been announced
    std::wstring path;             // that file; closing the camera clears the pipeline's copy
    bool stopAfterSplit = false;   // Stop was asked for while a split was under way
};

RecordDialogState* StateOf(HWND dialog) {
    return reinterpret_cast<RecordDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// The largest "Courier New" that fits the clock, from 10 points less than its height down.
HFONT MakeClockFont(HWND clock) {
    LOGFONTW face = {};
    auto current = reinterpret_cast<HFONT>(SendMessageW(clock, WM_GETFONT, 0, 0));
    if (current == nullptr || GetObjectW(current, sizeof face, &face) == 0) return nullptr;
    lstrcpynW(face.lfFaceName, kClockFace, LF_FACESIZE);
    RECT box = {};
    GetClientRect(clock, &box);
    HDC dc = GetDC(clock);
    HFONT font = nullptr;
    for (int points = box.bottom - 10; points > 0 && font == nullptr; --points) {
        face.lfHeight = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
        face.lfWidth = 0;
        font = CreateFontIndirectW(&face);
        if (font == nullptr) break;
        HGDIOBJ old = SelectObject(dc, font);
        SIZE text = {};
        GetTextExtentPoint32W(dc, L"ZH", 2, &text);
        SelectObject(dc, old);
        if (text.cy > box.bottom) {
            DeleteObject(font);
            font = nullptr;
        }
    }
    ReleaseDC(clock, dc);
    if (font != nullptr) SendMessageW(clock, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return font;
}

void FillTimeLimits(HWND dialog) {
    for (const char* key : kTimeLimitKeys) {
        SendDlgItemMessageW(dialog, IDC_RECORD_LIMIT, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(GetWideText(key)));
    }
    SendDlgItemMessageW(dialog, IDC_RECORD_LIMIT, CB_SETCURSEL,
                        TimeLimitPosition(g_settings.maxRecordTime), 0);
}

int32_t SelectedTimeLimit(HWND dialog) {
    const auto position = SendDlgItemMessageW(dialog, IDC_RECORD_LIMIT, CB_GETCURSEL, 0, 0);
    return position >= 0 && position < kListedTimeLimits ? kTimeLimitSeconds[position] : 0;
}

void ShowRecordedTime(HWND dialog, int64_t totalMs) {
    const std::string text = FormatRecordedTime(totalMs);
    SetDlgItemTextW(dialog, IDC_RECORD_TIME, std::wstring(text.begin(), text.end()).c_str());
}

void SetButtonText(HWND dialog, int id, const char* key) {
    SetDlgItemTextW(dialog, id, GetWideText(key));
}

// Back to the state before Start: the button reads Start, nothing counts.
void ShowReadyToStart(HWND dialog, RecordDialogState& state) {
    KillTimer(dialog, kClockTimer);
    state.stage = Stage::Ready;
    SetButtonText(dialog, IDOK, "start rec");
    SetButtonText(dialog, IDC_RECORD_PAUSE, "pause rec");
    EnableWindow(GetDlgItem(dialog, IDC_RECORD_PAUSE), FALSE);
}

// A new file named by the time: false, with the failure in the prompt, when none could be
// started.
bool StartFile(RecordDialogState& state) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    const FileStamp stamp = {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                             t.wMilliseconds};
    const std::u16string path =
        FreeStampedFileName(FieldText(g_settings.imgDir), stamp, u"avi", [](const std::u16string& p) {
            return GetFileAttributesW(AsWide(p.c_str())) != INVALID_FILE_ATTRIBUTES;
        });
    state.path = AsWide(path.c_str());
    lstrcpynW(g_pipeline.format.recordPath, state.path.c_str(), 260);
    state.fileOpen = !path.empty() && StartRecording();
    if (!state.fileOpen) {
        AnnounceSaveFailed(path.empty() ? nullptr : state.path.c_str());
    }
    return state.fileOpen;
}

// Closes the file being written and tells the user, with what went wrong on the way.
void FinishFile(RecordDialogState& state) {
    if (!state.fileOpen) return;
    state.fileOpen = false;
    StopRecording();
    std::wstring note;
    if (Recorder_WriteStopped()) note = GetWideText("rec stopped");
    const LONG dropped = Pipeline_RecordFramesDropped();
    if (dropped > 0) {
        std::wstring count = GetWideText("frames dropped");
        const size_t at = count.find(L"%d");
        if (at != std::wstring::npos) count.replace(at, 2, std::to_wstring(dropped));
        note += (note.empty() ? L"" : L", ") + count;
    }
    AnnounceSavedFile(state.path.c_str(), note);
}

void EndRecording(HWND dialog, RecordDialogState& state) {
    if (state.stage == Stage::Splitting) {
        state.stopAfterSplit = true;
        return;
    }
    state.stage = Stage::Ending;
    KillTimer(dialog, kClockTimer);
    FinishFile(state);
    EndDialog(dialog, kRecorded);
}

void OnStart(HWND dialog, RecordDialogState& state) {
    g_settings.maxRecordTime = SelectedTimeLimit(dialog);
    SaveSettings();
    state.carriedTime = 0;
    if (!StartFile(state)) return;  // the dialog stays ready to start again
    state.stage = Stage::Recording;
    SetTimer(dialog, kClockTimer, kClockMilliseconds, nullptr);
    SendMessageW(dialog, WM_NEXTDLGCTL, 0, FALSE);
    SetButtonText(dialog, IDOK, "stop rec");
    EnableWindow(GetDlgItem(dialog, IDC_RECORD_PAUSE), TRUE);
}

void OnSplit(HWND dialog, RecordDialogState& state) {
    if (state.stage != Stage::Recording) return;
    state.stage = Stage::Splitting;
    state.carriedTime += Recorder_RecordedTime();
    const LONG paused = g_pipeline.format.paused;
    FinishFile(state);
    state.stage = Stage::Recording;
    if (state.stopAfterSplit) {
        EndRecording(dialog, state);
    } else if (StartFile(state)) {
        g_pipeline.format.paused = paused;
    } else {
        ShowReadyToStart(dialog, state);
    }
}

void OnPause(HWND dialog, const RecordDialogState& state) {
    if (state.stage != Stage::Recording) return;
    VideoFormat& f = g_pipeline.format;
    f.paused = f.paused ? 0 : 1;
    SetButtonText(dialog, IDC_RECORD_PAUSE, f.paused ? "resume rec" : "pause rec");
}

void OnClockTick(HWND dialog, RecordDialogState& state) {
    if (state.stage != Stage::Recording) return;
    // The camera went away (its close has finished the file), or the disk is full.
    if (!g_pipeline.format.recording || Recorder_WriteStopped()) {
        EndRecording(dialog, state);
        return;
    }
    const int64_t recorded = Recorder_RecordedTime();
    if (recorded <= 0) return;
    const int64_t totalMs = TotalMilliseconds(recorded, state.carriedTime);
    switch (CheckRecording(totalMs, g_settings.maxRecordTime, Recorder_BytesWritten(),
                           Recorder_SplitBytes(), Recorder_RoomRunningOut())) {
        case RecordCheck::Stop:
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            break;
        case RecordCheck::Split:
            PostMessageW(dialog, WM_COMMAND, kCmdSplit, 0);
            break;
        case RecordCheck::Continue:
            break;
    }
    ShowRecordedTime(dialog, totalMs);
}

void OnInitDialog(HWND dialog, RecordDialogState* state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    LocalizeDialog(dialog, "rec video",
                   {{IDC_RECORD_LIMIT_LABEL, "time lim"},
                    {IDOK, "start rec"},
                    {IDC_RECORD_PAUSE, "pause rec"}});
    PlaceDialogBelowOwnerTop(dialog, GetParent(dialog));
    g_settings.splitTime = 0;
    state->clockFont = MakeClockFont(GetDlgItem(dialog, IDC_RECORD_TIME));
    FillTimeLimits(dialog);
}

void OnCommand(HWND dialog, int id, int code) {
    RecordDialogState* state = StateOf(dialog);
    if (state == nullptr || state->stage == Stage::Ending) return;
    switch (id) {
        case IDOK:
            if (state->stage == Stage::Ready) {
                OnStart(dialog, *state);
            } else {
                EndRecording(dialog, *state);
            }
            break;
        case IDCANCEL:
            if (state->stage == Stage::Ready) {
                state->stage = Stage::Ending;
                EndDialog(dialog, kClosed);
            } else {
                EndRecording(dialog, *state);
            }
            break;
        case kCmdSplit:
            OnSplit(dialog, *state);
            break;
        case IDC_RECORD_PAUSE:
            OnPause(dialog, *state);
            break;
        case IDC_RECORD_LIMIT:
            if (code == CBN_SELCHANGE) g_settings.maxRecordTime = SelectedTimeLimit(dialog);
            break;
    }
}

// The owner went away with the dialog: the file is closed, though no one is told any more.
void OnDestroy(HWND dialog) {
    RecordDialogState* state = StateOf(dialog);
    if (state == nullptr) return;
    KillTimer(dialog, kClockTimer);
    if (state->fileOpen) StopRecording();
    if (state->clockFont != nullptr) DeleteObject(state->clockFont);
    SetWindowLongPtrW(dialog, DWLP_USER, 0);
    delete state;
}

INT_PTR CALLBACK RecordDlgProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITDIALOG:
            OnInitDialog(dialog, reinterpret_cast<RecordDialogState*>(lParam));
            return TRUE;
        case WM_COMMAND:
            OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (wParam == kClockTimer && StateOf(dialog) != nullptr) {
                OnClockTick(dialog, *StateOf(dialog));
            }
            return TRUE;
        case WM_DESTROY:
            OnDestroy(dialog);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR RecordVideoDialog(HWND owner) {
    auto* state = new RecordDialogState;
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr),
                                           MAKEINTRESOURCEW(IDD_RECORD_VIDEO), owner,
                                           RecordDlgProc, reinterpret_cast<LPARAM>(state));
    if (result == -1) delete state;  // the dialog never started
    return result;
}
