// The input-text dialog on the real main window with the simulated microscope: where a new
// text starts, live text while typing, dragging it with the mouse, OK, Cancel, the length
// limit, and the text dropped when another tool is chosen or the camera goes away.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/app_state.h"
#include "measure/camera_view.h"
#include "measure/shapes.h"
#include "resources/resource_ids.h"
#include "settings/text_tables.h"
#include "win/camera_main_window.h"
#include "win/dialog_driver.h"

namespace {

HWND TextDialog() { return App_ModelessDialog(kInputTextDialog); }
HWND Edit() { return GetDlgItem(TextDialog(), IDC_INPUT_TEXT_EDIT); }
const MeasureShape& Placed() { return CameraView_Measure().InProgress(); }
size_t ShapeCount() { return CameraView_Measure().Shapes().size(); }
int32_t Tool() { return CameraView_Measure().CurrentTool(); }

// Real mouse input at a point of the view's client area.
void MouseAt(HWND view, POINT client, DWORD flags) {
    ClientToScreen(view, &client);
    SetCursorPos(client.x, client.y);
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags != 0) SendInput(1, &input, sizeof input);
}

class InputTextDialogTest : public MainWindowTest {
protected:
    InputTextDialogTest()
        : MainWindowTest(L"Software\\TessaloomInputTextTest", L"TessaloomInputTextDocs") {}

    void SetUp() override {
        MainWindowTest::SetUp();
        Plug(L"TextCam", L"MJPG:1280x960");
        CreateMain();
        ASSERT_TRUE(Streaming(L"TextCam", 1280));
        view_ = GetDlgItem(main_, kIdCameraView);
    }
    // The toolbar's Text button; true when the dialog came up.
    bool ChooseText() {
        SendMessageW(main_, WM_COMMAND, kCmdToolText, 0);
        return TextDialog() != nullptr && Tool() == kToolText;
    }
    // OK or Cancel as the user presses them; the dialog goes and the tool is none again.
    bool Press(int button) {
        HWND dialog = TextDialog();
        ClickButton(dialog, button);
        return PumpUntil([&] { return !IsWindow(dialog) && Tool() == kToolNone; }, 3000);
    }

    HWND view_ = nullptr;
};

TEST_F(InputTextDialogTest, StartsNearTheTopOfTheVisiblePictureFollowsTypingAndDraggingAndCommitsOnOk) {
    SendMessageW(view_, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 200), 0);
    ASSERT_EQ(GetScrollPos(view_, SB_VERT), 200);
    const size_t before = ShapeCount();
    ASSERT_TRUE(ChooseText());
    EXPECT_EQ(CameraView_Measure().PendingStage(), kToolText);
    EXPECT_EQ(Placed().kind, kToolText);
    EXPECT_EQ(Placed().p1x, 540);  // 1280 / 2 - 100
    EXPECT_EQ(Placed().p1y, 338);  // 200 + 138
    EXPECT_TRUE(Placed().text.empty());
    // Choosing Text again keeps the one dialog.
    HWND dialog = TextDialog();
    SendMessageW(main_, WM_COMMAND, kCmdToolText, 0);
    EXPECT_EQ(TextDialog(), dialog);

    // Each keystroke reaches the picture at once.
    SetFocus(Edit());
    for (wchar_t c : std::wstring(L"Cell")) {
        SendMessageW(Edit(), WM_CHAR, c, 0);
        EXPECT_EQ(Placed().text.back(), static_cast<char16_t>(c));
    }
    EXPECT_EQ(Placed().text, u"Cell");

    // Dragged by its box with the mouse.
    const int hScroll = GetScrollPos(view_, SB_HORZ);
    const POINT grab = {Placed().p1x - hScroll + 6, Placed().p1y - 200 + 6};
    MouseAt(view_, grab, MOUSEEVENTF_MOVE);
    MouseAt(view_, grab, MOUSEEVENTF_LEFTDOWN);
    MouseAt(view_, {grab.x + 15, grab.y + 10}, MOUSEEVENTF_MOVE);
    MouseAt(view_, {grab.x + 30, grab.y + 20}, MOUSEEVENTF_MOVE);
    MouseAt(view_, {grab.x + 30, grab.y + 20}, MOUSEEVENTF_LEFTUP);
    EXPECT_TRUE(PumpUntil([] { return Placed().p1x == 570 && Placed().p1y == 358; }, 3000))
        << Placed().p1x << "," << Placed().p1y;
    EXPECT_TRUE(PumpUntil([] { return !CameraView_Measure().Dragging(); }, 1000));

    ASSERT_TRUE(Press(IDOK));
    ASSERT_EQ(ShapeCount(), before + 1);
    const MeasureShape& text = CameraView_Measure().Shapes().back();
    EXPECT_EQ(text.kind, kToolText);
    EXPECT_EQ(text.text, u"Cell");
    EXPECT_EQ(text.p1x, 570);
    EXPECT_EQ(text.p1y, 358);
    EXPECT_EQ(TextDialog(), nullptr);
    EXPECT_EQ(CameraView_Measure().PendingStage(), 0);
}

TEST_F(InputTextDialogTest, EmptyOkCancelAnotherToolAndTheCameraLeavingCommitNothing) {
    const size_t before = ShapeCount();
    ASSERT_TRUE(ChooseText());
    ASSERT_TRUE(Press(IDOK));
    EXPECT_EQ(ShapeCount(), before);
    EXPECT_FALSE(CameraView_Measure().InProgressShown());  // no placeholder left behind

    ASSERT_TRUE(ChooseText());
    SetWindowTextW(Edit(), L"cancelled");
    ASSERT_TRUE(Press(IDCANCEL));
    EXPECT_EQ(ShapeCount(), before);

    ASSERT_TRUE(ChooseText());
    HWND dialog = TextDialog();
    SetWindowTextW(Edit(), L"dropped");
    EXPECT_EQ(Placed().text, u"dropped");
    SendMessageW(main_, WM_COMMAND, kCmdToolLine, 0);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(TextDialog(), nullptr);
    EXPECT_EQ(Tool(), kToolLine);
    EXPECT_TRUE(Placed().text.empty());
    PumpFor(100);
    EXPECT_EQ(ShapeCount(), before);

    ASSERT_TRUE(ChooseText());
    dialog = TextDialog();
    SetWindowTextW(Edit(), L"unplugged");
    ASSERT_EQ(RunSimcam(L"unplug TextCam").code, 0u);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(dialog) && Tool() == kToolNone; }, 5000));
    EXPECT_EQ(ShapeCount(), 0u);  // the view was reset with the camera
}

TEST_F(InputTextDialogTest, LongTextsAreCutWithoutSplittingACharacter) {
    ASSERT_TRUE(ChooseText());
    // Pasted: the field stops at 256 units, the text keeps at most 255.
    const std::wstring longText(300, L'x');
    SendMessageW(Edit(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(longText.c_str()));
    EXPECT_EQ(GetWindowTextLengthW(Edit()), 256);
    EXPECT_EQ(Placed().text, std::u16string(255, u'x'));

    // A character outside the basic plane across the limit is left out whole.
    std::wstring edged(254, L'\u9855');
    edged += L"\U0001F52C";
    SetWindowTextW(Edit(), edged.c_str());
    EXPECT_EQ(Placed().text, std::u16string(254, u'\u9855'));
    ASSERT_TRUE(Press(IDOK));
    EXPECT_EQ(CameraView_Measure().Shapes().back().text.size(), 254u);
}

TEST_F(InputTextDialogTest, TakesTheChosenLanguage) {
    for (const ShotLanguage& l : kShotLanguages) {
        UseLanguage(l.language);
        ASSERT_TRUE(ChooseText());
        RECT dialogRect = {}, mainRect = {};
        GetWindowRect(TextDialog(), &dialogRect);
        GetWindowRect(main_, &mainRect);
        EXPECT_EQ(dialogRect.top, mainRect.top + 68);
        const std::wstring title = TitleOf(TextDialog());
        if (l.language == kLanguageEnglish) {
            EXPECT_EQ(title, L"Input text");
        } else {
            EXPECT_EQ(title, GetWideText("input text"));
            EXPECT_EQ(ItemText(TextDialog(), IDCANCEL), GetWideText("cancel"));
        }
        SetWindowTextW(Edit(), l.language == kLanguageEnglish ? L"Nucleus" : L"\u7ec6\u80de\u6838");
        SaveWindowShot(TextDialog(), std::wstring(L"input-text-") + l.suffix);
        ASSERT_TRUE(Press(IDCANCEL));
    }
}

}  // namespace
