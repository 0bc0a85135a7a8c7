// Both toolbars on a shown window, driven by real mouse input: every button's command reaches
// the toolbar's parent, a press dragged out ends in nothing, hints show beside their button in
// the parent's prompt and close soon after the mouse leaves, in the current language; the
// faces show the strip's picture and the three highlight strengths.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/prompt_window.h"
#include "app/startup.h"
#include "app/tool_button_window.h"
#include "app/tool_buttons.h"
#include "app/window_classes.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"
#include "win/win_test_support.h"

namespace {

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// Stands in for the main window: the toolbars' parent, recording the commands they pass on.
class Host {
public:
    Host() {
        static ATOM atom = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = &Host::Proc;
            wc.hInstance = Instance();
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.lpszClassName = L"TessaloomToolbarTestHost";
            return RegisterClassW(&wc);
        }();
        (void)atom;
        hwnd_ = CreateWindowExW(0, L"TessaloomToolbarTestHost", L"host",
                                WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 900, 640, nullptr,
                                nullptr, Instance(), this);
        measure_ = CreateWindowExW(0, kMeasureToolbarClass, nullptr,
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 59, 0, 760, 52, hwnd_,
                                   reinterpret_cast<HMENU>(kIdMeasureToolbar), Instance(), nullptr);
        camera_ = CreateWindowExW(0, kCameraToolbarClass, nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 59, 640, hwnd_,
                                  reinterpret_cast<HMENU>(kIdCameraToolbar), Instance(), nullptr);
    }
    ~Host() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }
    HWND measure() const { return measure_; }
    HWND camera() const { return camera_; }
    const std::vector<RecordedMessage>& commands() const { return commands_; }
    void Clear() { commands_.clear(); }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr && msg == WM_COMMAND) {
            self->commands_.push_back({msg, wParam, lParam});
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    HWND hwnd_ = nullptr, measure_ = nullptr, camera_ = nullptr;
    std::vector<RecordedMessage> commands_;
};

// Real input: the cursor moves and the button goes down and up as a user's would.
void SendMouse(DWORD flags, POINT screen = {}) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    // Normalised coordinates that land inside the wanted pixel.
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (screen.x * 65536 + w / 2) / w;
    input.mi.dy = (screen.y * 65536 + h / 2) / h;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
    PumpFor(30);
}

// Two steps, as a moving mouse gives: a button that holds the capture sees the first and
// lets go, the window under the cursor sees the second.
void MoveTo(HWND window, int x, int y) {
    for (int dx : {-1, 0}) {
        POINT p = {x + dx, y};
        ClientToScreen(window, &p);
        SendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, p);
    }
}

void Press() { SendMouse(MOUSEEVENTF_LEFTDOWN); }
void Release() { SendMouse(MOUSEEVENTF_LEFTUP); }

void ClickAt(HWND window, int x, int y) {
    MoveTo(window, x, y);
    Press();
    Release();
}

HWND Prompt(HWND host) { return GetDlgItem(host, kIdPrompt); }

std::wstring Text(HWND hwnd) {
    wchar_t text[128] = {};
    GetWindowTextW(hwnd, text, 128);
    return text;
}

POINT TopLeftIn(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    POINT p = {r.left, r.top};
    ScreenToClient(parent, &p);
    return p;
}

// The background under the green highlight at a constant alpha.
COLORREF Lit(int alpha) {
    auto mix = [&](int highlight, int background) {
        return (highlight * alpha + background * (255 - alpha) + 127) / 255;
    };
    return RGB(mix(0, 21), mix(111, 21), mix(0, 25));
}

bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 2 && std::abs(GetGValue(a) - GetGValue(b)) <= 2 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 2;
}

// One shown host for the whole suite: under Wine without a window manager, destroying a shown
// top-level window costs seconds.
class ToolbarTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(App_RegisterWindowClasses(Instance()));
        SelectLanguageTexts(kLanguageEnglish);
        host_ = new Host;
    }
    static void TearDownTestSuite() {
        delete host_;
        host_ = nullptr;
    }
    void SetUp() override {
        // Start from a cursor away from every button, no prompt, English hints.
        MoveTo(host_->hwnd(), 400, 400);
        if (HWND prompt = Prompt(host_->hwnd())) DestroyWindow(prompt);
        SelectLanguageTexts(kLanguageEnglish);
        SendMessageW(host_->measure(), WM_COMMAND, kCmdReloadTexts, 0);
        SendMessageW(host_->camera(), WM_COMMAND, kCmdReloadTexts, 0);
        host_->Clear();
    }
    void TearDown() override { SelectLanguageTexts(kLanguageEnglish); }
    int CommandsWithId(int id) const {
        int n = 0;
        for (const auto& m : host_->commands()) n += LOWORD(m.wParam) == id && m.lParam == 0;
        return n;
    }

    static Host* host_;
};

Host* ToolbarTest::host_ = nullptr;

TEST_F(ToolbarTest, EveryButtonPostsItsCommandThroughItsToolbar) {
    struct Bar {
        HWND toolbar;
        const ToolbarButton* buttons;
        int count;
    } bars[] = {{host_->measure(), kMeasureToolbarButtons, kMeasureToolbarButtonCount},
                {host_->camera(), kCameraToolbarButtons, kCameraToolbarButtonCount}};
    for (const Bar& bar : bars) {
        for (int i = 0; i < bar.count; ++i) {
            const ToolbarButton& b = bar.buttons[i];
            HWND button = GetDlgItem(bar.toolbar, b.id);
            ASSERT_NE(button, nullptr) << b.id;
            const POINT at = TopLeftIn(button, host_->hwnd());
            EXPECT_EQ(at.x, TopLeftIn(bar.toolbar, host_->hwnd()).x + b.x) << b.id;
            EXPECT_EQ(at.y, b.y) << b.id;
            host_->Clear();
            ClickAt(host_->hwnd(), at.x + 26, at.y + 26);
            ASSERT_TRUE(PumpUntil([&] { return CommandsWithId(b.id) == 1; }, 2000)) << b.id;
            EXPECT_EQ(host_->commands().size(), 1u) << b.id;
        }
    }
    // Commands of no button of its own, or of the other toolbar's, go nowhere.
    host_->Clear();
    SendMessageW(host_->measure(), WM_COMMAND, kCmdPhoto, 0);
    SendMessageW(host_->camera(), WM_COMMAND, kCmdToolLine, 0);
    SendMessageW(host_->camera(), WM_COMMAND, kCmdSettings, 0);  // passed on: a panel command
    PumpFor(100);
    ASSERT_EQ(host_->commands().size(), 1u);
    EXPECT_EQ(LOWORD(host_->commands()[0].wParam), kCmdSettings);
}

TEST_F(ToolbarTest, PressDraggedOutOrCancelledPostsNothing) {
    HWND line = GetDlgItem(host_->measure(), kCmdToolLine);
    const POINT at = TopLeftIn(line, host_->hwnd());
    MoveTo(host_->hwnd(), at.x + 20, at.y + 20);
    Press();
    EXPECT_TRUE(Near(WindowPicture(line).At(1, 1), Lit(180)));
    MoveTo(host_->hwnd(), at.x + 20, at.y + 200);  // out, still pressed
    EXPECT_EQ(GetCapture(), line);
    Release();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(WindowPicture(line).At(1, 1), kToolButtonBackground);

    // Pressed, dragged out and the mode cancelled: the capture goes, and the release is no
    // click.
    MoveTo(host_->hwnd(), at.x + 20, at.y + 20);
    Press();
    MoveTo(host_->hwnd(), at.x + 20, at.y + 200);
    SendMessageW(line, WM_CANCELMODE, 0, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(WindowPicture(line).At(1, 1), kToolButtonBackground);
    Release();
    PumpFor(100);
    EXPECT_EQ(CommandsWithId(kCmdToolLine), 0);

    // Losing the capture to another window ends the hover too: the face does not stay lit.
    MoveTo(host_->hwnd(), at.x + 24, at.y + 24);
    ASSERT_EQ(GetCapture(), line);
    SetCapture(host_->hwnd());
    ReleaseCapture();
    EXPECT_EQ(WindowPicture(line).At(1, 1), kToolButtonBackground);
}

TEST_F(ToolbarTest, FacesShowTheirPictureAndTheHighlightStrengths) {
    // The strip as the program carries it: 27 pictures of 40 x 40.
    auto* strip = static_cast<HBITMAP>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDB_TOOLBAR_STRIP),
                                                  IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(strip, nullptr);
    DIBSECTION info = {};
    ASSERT_EQ(GetObjectW(strip, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.dsBmih.biWidth, kToolStripImages * kToolImageSize);
    EXPECT_EQ(info.dsBmih.biHeight, kToolImageSize);
    EXPECT_EQ(info.dsBmih.biBitCount, 24);
    HDC stripDC = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(stripDC, strip);

    // Each face is its picture, centred, on the toolbar colour; pictures differ from
    // each other and from the empty background.
    HWND top = GetDlgItem(host_->camera(), kCmdCameraToolbarTop);
    HWND gain = GetDlgItem(host_->camera(), kCmdQuickGain);
    for (HWND button : {top, gain}) {
        const int imageX = button == top ? 0 : 920;
        WindowPicture face(button);
        int differ = 0, marked = 0;
        for (int y = 0; y < kToolImageSize; ++y) {
            for (int x = 0; x < kToolImageSize; ++x) {
                const COLORREF want = GetPixel(stripDC, imageX + x, y);
                differ += face.At(6 + x, 6 + y) != want;
                marked += want != kToolButtonBackground;
            }
        }
        EXPECT_EQ(differ, 0) << imageX;
        EXPECT_GT(marked, 100) << imageX;
        EXPECT_EQ(face.At(0, 0), kToolButtonBackground);
        EXPECT_EQ(face.At(51, 51), kToolButtonBackground);
    }
    for (int unused : {560, 960, 1000, 1040}) {
        int marked = 0;
        for (int y = 0; y < kToolImageSize; ++y)
            for (int x = 0; x < kToolImageSize; ++x)
                marked += GetPixel(stripDC, unused + x, y) != kToolButtonBackground;
        EXPECT_EQ(marked, 0) << unused;
    }
    SelectObject(stripDC, old);
    DeleteDC(stripDC);
    DeleteObject(strip);

    // Checked 96, hovered 144 (checked or not), pressed 180.
    HWND circle = GetDlgItem(host_->measure(), kCmdToolCircle);
    SendMessageW(circle, WM_COMMAND, kButtonCmdSetChecked, 1);
    EXPECT_TRUE(Near(WindowPicture(circle).At(1, 1), Lit(96)));
    const POINT at = TopLeftIn(circle, host_->hwnd());
    MoveTo(host_->hwnd(), at.x + 26, at.y + 26);
    EXPECT_TRUE(Near(WindowPicture(circle).At(1, 1), Lit(144)));
    Press();
    EXPECT_TRUE(Near(WindowPicture(circle).At(1, 1), Lit(180)));
    Release();
    MoveTo(host_->hwnd(), 400, 400);
    EXPECT_TRUE(Near(WindowPicture(circle).At(1, 1), Lit(96)));
    SendMessageW(circle, WM_COMMAND, kButtonCmdSetChecked, 0);
    EXPECT_EQ(WindowPicture(circle).At(1, 1), kToolButtonBackground);
}

TEST_F(ToolbarTest, HintsShowBesideTheButtonCloseSoonAfterAndFollowTheLanguage) {
    HWND line = GetDlgItem(host_->measure(), kCmdToolLine);
    const POINT lineAt = TopLeftIn(line, host_->hwnd());
    MoveTo(host_->hwnd(), lineAt.x + 26, lineAt.y + 26);
    HWND prompt = Prompt(host_->hwnd());
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(Text(prompt), L"Line");
    EXPECT_EQ(TopLeftIn(prompt, host_->hwnd()).x, lineAt.x);
    EXPECT_EQ(TopLeftIn(prompt, host_->hwnd()).y, kToolButtonSize + 2);

    // Straight to a button of the other toolbar: the same prompt, right of that button.
    HWND photo = GetDlgItem(host_->camera(), kCmdPhoto);
    const POINT photoAt = TopLeftIn(photo, host_->hwnd());
    MoveTo(host_->hwnd(), photoAt.x + 26, photoAt.y + 26);
    ASSERT_TRUE(PumpUntil([&] { return Text(Prompt(host_->hwnd())) == L"Take photo"; }, 1000));
    prompt = Prompt(host_->hwnd());
    EXPECT_EQ(TopLeftIn(prompt, host_->hwnd()).x, photoAt.x + kToolButtonSize + 2);
    EXPECT_EQ(TopLeftIn(prompt, host_->hwnd()).y, photoAt.y);

    // Leaving closes it within about two ticks of the prompt's timer.
    MoveTo(host_->hwnd(), 400, 400);
    const DWORD left = GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return Prompt(host_->hwnd()) == nullptr; }, 3000));
    EXPECT_LE(GetTickCount() - left, 800u);

    // The top button has no hint.
    HWND top = GetDlgItem(host_->camera(), kCmdCameraToolbarTop);
    MoveTo(host_->hwnd(), TopLeftIn(top, host_->hwnd()).x + 26, 26);
    EXPECT_EQ(Prompt(host_->hwnd()), nullptr);

    // A new language reaches the hints once the toolbar reloads its texts.
    SelectLanguageTexts(kLanguageJapanese);
    const std::wstring japanese = GetWideText("tip line");
    ASSERT_FALSE(japanese.empty());
    ASSERT_NE(japanese, L"Line");
    SendMessageW(host_->measure(), WM_COMMAND, kCmdReloadTexts, 0);
    MoveTo(host_->hwnd(), lineAt.x + 26, lineAt.y + 26);
    ASSERT_NE(Prompt(host_->hwnd()), nullptr);
    EXPECT_EQ(Text(Prompt(host_->hwnd())), japanese);
}

TEST_F(ToolbarTest, LongHintIsCutWithoutSplittingACharacter) {
    HWND line = GetDlgItem(host_->measure(), kCmdToolLine);
    // 62 letters and a character outside the basic plane, which would end at the 64th unit.
    std::wstring hint(62, L'a');
    hint += L"\xD83D\xDD2C";
    SendMessageW(line, WM_COMMAND, kButtonCmdSetHint, reinterpret_cast<LPARAM>(hint.c_str()));
    const POINT at = TopLeftIn(line, host_->hwnd());
    MoveTo(host_->hwnd(), at.x + 26, at.y + 26);
    ASSERT_NE(Prompt(host_->hwnd()), nullptr);
    EXPECT_EQ(Text(Prompt(host_->hwnd())), std::wstring(62, L'a'));
}

}  // namespace
