// The control panel on real windows: the container's scroll range and layout, the headers,
// the Files section with its preview, the image viewer's drawing, and the Device, Preview
// and Color sections against the simulated microscope inside the real main window.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "capture/capture_graph.h"
#include "measure/camera_view.h"
#include "panel/control_panel.h"
#include "panel/image_viewer.h"
#include "pipeline/video_format.h"
#include "resources/resource_ids.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/settings_text.h"
#include "settings/text_tables.h"
#include "panel/section_rules.h"
#include "win/dialog_driver.h"

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

constexpr COLORREF kViewerBackground = 0x3C2521;
constexpr COLORREF kPlayMark = 0xBF1F1F;
constexpr int kPanelWidth = 252;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

RECT RectInParent(HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int HeightOf(HWND hwnd) {
    const RECT r = RectInParent(hwnd);
    return r.bottom - r.top;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

std::wstring TempFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteBytes(const std::wstring& path, const void* data, DWORD size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (size > 0) WriteFile(file, data, size, &written, nullptr);
    CloseHandle(file);
}

std::vector<char> ReadBytes(const std::wstring& path) {
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD read = 0;
    if (size > 0) ReadFile(file, bytes.data(), size, &read, nullptr);
    CloseHandle(file);
    return bytes;
}

// Encoders of the GDI+ that the program reads with: BMP, JPEG, PNG.
const CLSID kBmpEncoder = {0x557CF400, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
const CLSID kJpegEncoder = {0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
const CLSID kPngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

// An image whose pixel (x, y) is colour(x, y), as COLORREF.
void SaveImage(const std::wstring& path, int width, int height, const CLSID& encoder,
               const std::function<COLORREF(int, int)>& colour) {
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> bits(static_cast<size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const COLORREF c = colour(x, y);
            uint8_t* p = &bits[static_cast<size_t>(y) * stride + x * 3];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    }
    GpBitmap* bitmap = nullptr;
    ASSERT_EQ(GdipCreateBitmapFromScan0(width, height, stride, PixelFormat24bppRGB, bits.data(),
                                        &bitmap),
              Ok);
    EXPECT_EQ(GdipSaveImageToFile(bitmap, path.c_str(), &encoder, nullptr), Ok);
    GdipDisposeImage(bitmap);
}

// Pixel (x, y) says where it is: red and green the low bytes, blue the high bits.
COLORREF Position(int x, int y) { return RGB(x & 255, y & 255, ((x >> 8) << 4) | (y >> 8)); }
POINT PositionOf(COLORREF c) {
    return {GetRValue(c) + ((GetBValue(c) >> 4) << 8), GetGValue(c) + ((GetBValue(c) & 15) << 8)};
}

COLORREF PixelAt(HWND hwnd, int x, int y) {
    HDC dc = GetDC(hwnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

class GdiplusSession {
public:
    GdiplusSession() {
        GdiplusStartupInput input;
        GdiplusStartup(&token_, &input, nullptr);
    }
    ~GdiplusSession() { GdiplusShutdown(token_); }

private:
    ULONG_PTR token_ = 0;
};

// A shown top-level window with a client area of the size asked for.
class Host {
public:
    Host(int clientWidth, int clientHeight) {
        static ATOM atom = [] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = &Host::Proc;
            wc.hInstance = Instance();
            wc.lpszClassName = L"TessaloomPanelTestHost";
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
            return RegisterClassW(&wc);
        }();
        (void)atom;
        RECT r = {0, 0, clientWidth, clientHeight};
        AdjustWindowRect(&r, WS_POPUP, FALSE);
        hwnd_ = CreateWindowExW(0, L"TessaloomPanelTestHost", L"host", WS_POPUP, 0, 0,
                                r.right - r.left, r.bottom - r.top, nullptr, nullptr, Instance(),
                                this);
        ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
    }
    ~Host() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }
    // What the host's children posted or sent it, besides the usual traffic.
    std::vector<MSG> seen;
    int Count(UINT msg, WPARAM wParam) const {
        int n = 0;
        for (const MSG& m : seen) n += m.message == msg && m.wParam == wParam;
        return n;
    }
    int Commands(int id) const {
        int n = 0;
        for (const MSG& m : seen) n += m.message == WM_COMMAND && LOWORD(m.wParam) == id;
        return n;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_NCCREATE) {
            auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr && (msg == WM_COMMAND || (msg >= WM_APP && msg <= 0xBFFF))) {
            self->seen.push_back({hwnd, msg, wParam, lParam, 0, {}});
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND hwnd_ = nullptr;
};

// Counts one command sent or posted to a window.
struct MessageTapCount {
    MessageTapCount(HWND hwnd, int id) : hwnd(hwnd), id(id) {
        SetWindowSubclass(hwnd, &MessageTapCount::Proc, reinterpret_cast<UINT_PTR>(this),
                          reinterpret_cast<DWORD_PTR>(this));
    }
    ~MessageTapCount() { RemoveWindowSubclass(hwnd, &MessageTapCount::Proc, reinterpret_cast<UINT_PTR>(this)); }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR self) {
        auto* tap = reinterpret_cast<MessageTapCount*>(self);
        if (msg == WM_COMMAND && LOWORD(wParam) == tap->id) {
            ++tap->count;
            return 0;
        }
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    HWND hwnd;
    int id;
    int count = 0;
};

// ----------------------------------------------------------------------------------------
// Image viewer

class ImageViewerTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        gdiplus_ = new GdiplusSession();
        Panel_RegisterClasses(Instance());
        folder_ = TempFolder(L"TessaloomViewerTest");
    }
    static void TearDownTestSuite() {
        delete gdiplus_;
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TessaloomViewerTestNothing");
    }
    void SetUp() override {
        host_ = new Host(300, 200);
        viewer_ = CreateWindowExW(0, L"ImageWndClass", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200,
                                  host_->hwnd(), reinterpret_cast<HMENU>(102), Instance(), nullptr);
        ASSERT_NE(viewer_, nullptr);
    }
    void TearDown() override { delete host_; }

    LRESULT Load(const std::wstring& path) {
        return SendMessageW(viewer_, WM_COMMAND, kViewerCmdLoad,
                            reinterpret_cast<LPARAM>(path.c_str()));
    }
    void Zoom(int percent) { SendMessageW(viewer_, WM_COMMAND, kViewerCmdZoom, percent); }
    COLORREF Pixel(int x, int y) {
        UpdateWindow(viewer_);
        return PixelAt(viewer_, x, y);
    }
    void Drag(int fromX, int toX) {
        SendMessageW(viewer_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, 100));
        SendMessageW(viewer_, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(toX, 100));
        SendMessageW(viewer_, WM_LBUTTONUP, 0, MAKELPARAM(toX, 100));
    }

    static GdiplusSession* gdiplus_;
    static std::wstring folder_;
    Host* host_ = nullptr;
    HWND viewer_ = nullptr;
};
GdiplusSession* ImageViewerTest::gdiplus_ = nullptr;
std::wstring ImageViewerTest::folder_;

TEST_F(ImageViewerTest, AQuarterSizedImageIsCentredInTheBackground) {
    const std::wstring path = folder_ + L"\\quarter.bmp";
    SaveImage(path, 640, 480, kBmpEncoder, [](int, int) { return RGB(200, 30, 40); });
    Zoom(25);
    ASSERT_EQ(Load(path), 1);
    // 160 x 120 in a 300 x 200 client: from (70, 40) to (230, 160).
    EXPECT_EQ(Pixel(70, 40), RGB(200, 30, 40));
    EXPECT_EQ(Pixel(229, 159), RGB(200, 30, 40));
    EXPECT_EQ(Pixel(69, 100), kViewerBackground);
    EXPECT_EQ(Pixel(230, 100), kViewerBackground);
    EXPECT_EQ(Pixel(150, 39), kViewerBackground);
    EXPECT_EQ(Pixel(150, 160), kViewerBackground);

    // Zoom 60 is not a step of the viewer: the image shows unscaled, so it is cut at the
    // client's edges with no margin.
    Zoom(60);
    EXPECT_NE(Pixel(0, 0), kViewerBackground);
    EXPECT_NE(Pixel(299, 199), kViewerBackground);
}

TEST_F(ImageViewerTest, ALargerImageOpensOnItsMiddleAndPansUpToItsEdges) {
    const std::wstring path = folder_ + L"\\large.bmp";
    SaveImage(path, 640, 480, kBmpEncoder, Position);
    ASSERT_EQ(Load(path), 1);
    POINT origin = PositionOf(Pixel(0, 0));
    EXPECT_EQ(origin.x, (640 - 300) / 2);
    EXPECT_EQ(origin.y, (480 - 200) / 2);
    // The picture is upright: rows top down, as the file has them.
    EXPECT_EQ(PositionOf(Pixel(10, 20)).y, origin.y + 20);

    Drag(100, 110);  // 10 pixels more of the left part
    EXPECT_EQ(PositionOf(Pixel(0, 0)).x, 160);
    Drag(100, 290);
    EXPECT_EQ(PositionOf(Pixel(0, 0)).x, 0);
    Drag(290, 0);
    Drag(290, 0);
    EXPECT_EQ(PositionOf(Pixel(0, 0)).x, 340);
    EXPECT_EQ(PositionOf(Pixel(299, 0)).x, 639);

    // A press posts a single-click notice; a double click adds the double-click notice.
    PumpFor(50);
    host_->seen.clear();
    SendMessageW(viewer_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(viewer_, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    SendMessageW(viewer_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    PumpFor(50);
    ASSERT_EQ(host_->seen.size(), 2u);
    EXPECT_EQ(host_->seen[0].message, WM_APP_IMAGE_CLICK);
    EXPECT_EQ(host_->seen[0].wParam, 0u);
    EXPECT_EQ(host_->seen[0].lParam, 102);
    EXPECT_EQ(host_->seen[1].wParam, 1u);
}

TEST_F(ImageViewerTest, AVideoShowsItsPhotoWithThePlayMark) {
    SaveImage(folder_ + L"\\clip.jpg", 640, 480, kJpegEncoder, [](int, int) { return RGB(0, 160, 0); });
    Zoom(25);
    ASSERT_EQ(Load(folder_ + L"\\clip.AVI"), 1);
    EXPECT_EQ(Pixel(150 - 2, 100), kPlayMark);   // the mark's middle
    EXPECT_EQ(Pixel(150 - 7, 100), RGB(255, 255, 255));  // its outlined left edge
    const COLORREF photo = Pixel(80, 50);
    EXPECT_LT(GetRValue(photo), 20);
    EXPECT_GT(GetGValue(photo), 140);
    // A photo of its own has no mark.
    ASSERT_EQ(Load(folder_ + L"\\clip.jpg"), 1);
    EXPECT_NE(Pixel(148, 100), kPlayMark);
}

TEST_F(ImageViewerTest, UnreadableFilesLeaveOnlyTheBackground) {
    SaveImage(folder_ + L"\\good.png", 64, 48, kPngEncoder, [](int, int) { return RGB(9, 9, 9); });
    const std::vector<char> png = ReadBytes(folder_ + L"\\good.png");
    ASSERT_GT(png.size(), 60u);
    WriteBytes(folder_ + L"\\truncated.png", png.data(), static_cast<DWORD>(png.size() / 2));
    WriteBytes(folder_ + L"\\empty.jpg", nullptr, 0);
    const char text[] = "these are notes, not a photo\r\n";
    WriteBytes(folder_ + L"\\notes.jpg", text, sizeof text - 1);
    // A PNG whose header claims 100000 x 100000 pixels and holds nothing else.
    std::vector<char> huge(png.begin(), png.begin() + 33);
    const unsigned char side[4] = {0x00, 0x01, 0x86, 0xA0};
    std::memcpy(&huge[16], side, 4);
    std::memcpy(&huge[20], side, 4);
    uint32_t crc = 0xFFFFFFFFu;  // the header chunk's CRC over its type and data
    for (int i = 12; i < 29; ++i) {
        crc ^= static_cast<unsigned char>(huge[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    WriteBytes(folder_ + L"\\huge.png", huge.data(), static_cast<DWORD>(huge.size()));

    for (const wchar_t* name : {L"truncated.png", L"empty.jpg", L"notes.jpg", L"huge.png",
                                L"missing.jpg", L"missing.avi"}) {
        ASSERT_EQ(Load(folder_ + L"\\good.png"), 1);
        EXPECT_EQ(Load(folder_ + L"\\" + name), 0) << name;
        EXPECT_EQ(Pixel(150, 100), kViewerBackground) << name;
    }
    EXPECT_EQ(Load(L""), 0);
    EXPECT_EQ(Load(L"C:\\"), 0);
    EXPECT_EQ(Pixel(0, 0), kViewerBackground);
}

// ----------------------------------------------------------------------------------------
// The panel on its own: container, headers and Files

class PanelTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        gdiplus_ = new GdiplusSession();
        Panel_RegisterClasses(Instance());
        CameraView_RegisterClass(Instance());
        FillEnglishTexts();
    }
    static void TearDownTestSuite() { delete gdiplus_; }
    void TearDown() override {
        delete host_;
        ReplaceLatestFiles({});
    }

    void CreatePanel(int height) {
        host_ = new Host(kPanelWidth, height);
        panel_ = CreateWindowExW(0, L"CtrlPanelWndClass", nullptr,
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_VSCROLL,
                                 0, 0, 0, 0, host_->hwnd(), reinterpret_cast<HMENU>(109), Instance(),
                                 reinterpret_cast<LPVOID>(static_cast<INT_PTR>(kPanelWidth)));
        ASSERT_NE(panel_, nullptr);
        ShowScrollBar(panel_, SB_VERT, FALSE);
        MoveWindow(panel_, 0, 0, kPanelWidth, height, TRUE);
        SendMessageW(panel_, WM_COMMAND, kCmdReloadTexts, 0);
        ASSERT_TRUE(PumpUntil([&] { return Expanded(kIdFilesSection) && Expanded(kIdDeviceSection); }, 3000));
        PumpFor(50);
    }
    HWND Section(int id) const { return GetDlgItem(panel_, id); }
    HWND Header(int id) const { return GetDlgItem(Section(id), 100); }
    bool Expanded(int id) const { return IsWindowVisible(GetDlgItem(Section(id), 101)) != FALSE; }
    bool BarShown() const { return (GetWindowLongW(panel_, GWL_STYLE) & WS_VSCROLL) != 0; }
    int Position() const { return GetScrollPos(panel_, SB_VERT); }
    int Margin() const { return MulDiv(4, HIWORD(GetDialogBaseUnits()), 8); }
    int ClientHeight() const {
        RECT r;
        GetClientRect(panel_, &r);
        return r.bottom;
    }
    std::vector<RECT> Layout() const {
        std::vector<RECT> rects;
        for (int id = kIdDeviceSection; id <= kIdFilesSection; ++id) rects.push_back(RectInParent(Section(id)));
        return rects;
    }
    static bool Same(const std::vector<RECT>& a, const std::vector<RECT>& b) {
        for (size_t i = 0; i < a.size(); ++i)
            if (!EqualRect(&a[i], &b[i])) return false;
        return a.size() == b.size();
    }
    void Toggle(int id) {
        SendMessageW(Header(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 5));
        PumpFor(60);
    }
    void Scroll(int code, int thumb = 0) {
        SendMessageW(panel_, WM_VSCROLL, MAKEWPARAM(code, thumb), 0);
        PumpFor(30);
    }

    static GdiplusSession* gdiplus_;
    Host* host_ = nullptr;
    HWND panel_ = nullptr;
};
GdiplusSession* PanelTest::gdiplus_ = nullptr;

TEST_F(PanelTest, EverythingFitsWithoutABarAndColorNeverTakesRoom) {
    CreatePanel(2000);
    EXPECT_FALSE(BarShown());
    EXPECT_EQ(RectInParent(Section(kIdDeviceSection)).top, Margin());
    EXPECT_EQ(HeightOf(Section(kIdColorSection)), 0);
    EXPECT_EQ(RectInParent(Section(kIdFilesSection)).top, RectInParent(Section(kIdPreviewSection)).bottom);
    // Color is created, localized and refreshed like the others, and still takes no room,
    // even after a refresh and after its header was toggled.
    EXPECT_EQ(TextOf(Header(kIdColorSection)), L"Color");
    EXPECT_EQ(TextOf(GetDlgItem(Section(kIdColorSection), kIdFrequencyCaption)), L"Frequency:");
    SendMessageW(panel_, WM_APP_PANEL_REFRESH, kRefreshDeviceState, 0);
    PostMessageW(Header(kIdColorSection), WM_APP_SECTION_TOGGLE, 0, 0);
    PumpFor(100);
    EXPECT_TRUE(Expanded(kIdColorSection));
    EXPECT_EQ(HeightOf(Section(kIdColorSection)), 0);
    // Without a camera: no frequency control ("N/A", disabled), rows show their names alone.
    HWND color = Section(kIdColorSection);
    EXPECT_EQ(ComboItems(GetDlgItem(color, kIdFrequencyList)), std::vector<std::wstring>{L"N/A"});
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(color, kIdFrequencyList)));
    EXPECT_EQ(TextOf(GetDlgItem(color, kIdFirstPropertyLabel + 3)), L"Brightness:");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(color, kIdFirstPropertySlider + 3)));
}

TEST_F(PanelTest, ScrollRangeClampsAfterACollapseAndTwoClicksRestoreTheLayout) {
    CreatePanel(400);
    ASSERT_TRUE(BarShown());
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(panel_, SB_VERT, &si);
    EXPECT_EQ(si.nPage, 20u);
    const int content = RectInParent(Section(kIdFilesSection)).bottom + Margin();
    EXPECT_EQ(si.nMax, content - ClientHeight() + 19);

    // Two clicks on a header give back the layout they started from.
    Scroll(SB_THUMBPOSITION, 40);
    const std::vector<RECT> before = Layout();
    Toggle(kIdPreviewSection);
    EXPECT_FALSE(Expanded(kIdPreviewSection));
    EXPECT_FALSE(Same(Layout(), before));
    Toggle(kIdPreviewSection);
    EXPECT_TRUE(Expanded(kIdPreviewSection));
    EXPECT_TRUE(Same(Layout(), before));

    Scroll(SB_BOTTOM);
    EXPECT_EQ(RectInParent(Section(kIdFilesSection)).bottom, ClientHeight() - Margin());
    const std::vector<RECT> bottom = Layout();
    Scroll(SB_ENDSCROLL);
    Scroll(SB_THUMBTRACK, Position());
    EXPECT_TRUE(Same(Layout(), bottom));
    // Collapsing near the bottom pulls the last section down to the bottom edge.
    Toggle(kIdPreviewSection);
    EXPECT_EQ(RectInParent(Section(kIdFilesSection)).bottom, ClientHeight() - Margin());
    Toggle(kIdPreviewSection);

    // A wheel turned by nothing scrolls down one line, a turn away from the user up.
    Scroll(SB_TOP);
    EXPECT_EQ(Position(), 0);
    SendMessageW(panel_, WM_MOUSEWHEEL, MAKEWPARAM(0, 0), 0);
    PumpFor(30);
    const int line = Position();
    EXPECT_GT(line, 5);
    EXPECT_EQ(RectInParent(Section(kIdDeviceSection)).top, Margin() - line);
    SendMessageW(panel_, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    PumpFor(30);
    EXPECT_EQ(Position(), 0);

    // Collapsing everything leaves no bar and the first section at the margin.
    Scroll(SB_BOTTOM);
    Toggle(kIdDeviceSection);
    Toggle(kIdPreviewSection);
    Toggle(kIdFilesSection);
    EXPECT_FALSE(BarShown());
    EXPECT_EQ(RectInParent(Section(kIdDeviceSection)).top, Margin());
}

TEST_F(PanelTest, HeadersHoldTheMouseWhileHoveredAndTurnBlue) {
    CreatePanel(900);
    HWND header = Header(kIdPreviewSection);
    RECT client;
    GetClientRect(header, &client);
    SendMessageW(header, WM_MOUSEMOVE, 0, MAKELPARAM(30, 5));
    EXPECT_EQ(GetCapture(), header);
    // The text is drawn at once, in blue: some pixel of it is pure blue.
    auto hasBlue = [&] {
        for (int x = 5; x < 60; ++x)
            for (int y = 2; y < client.bottom - 2; ++y)
                if (PixelAt(header, x, y) == RGB(0, 0, 255)) return true;
        return false;
    };
    EXPECT_TRUE(hasBlue());
    SendMessageW(header, WM_MOUSEMOVE, 0, MAKELPARAM(30, client.bottom + 5));
    EXPECT_NE(GetCapture(), header);
    EXPECT_FALSE(hasBlue());
    EXPECT_TRUE(Expanded(kIdPreviewSection));  // moving toggles nothing
}

class FilesTest : public PanelTest {
protected:
    void SetUp() override {
        folder_ = TempFolder(L"TessaloomFilesTest \u663e\u5fae\u955c");  // spaces and CJK
        a_ = folder_ + L"\\20240101-090000-001.bmp";
        b_ = folder_ + L"\\\u6807\u672c 2.bmp";
        SaveImage(a_, 320, 240, kBmpEncoder, [](int, int) { return RGB(250, 0, 0); });
        SaveImage(b_, 320, 240, kBmpEncoder, [](int, int) { return RGB(0, 0, 250); });
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_CLASSES_ROOT, L".tlpaneltest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"TlPanelTest"), 24);
        RegCloseKey(key);
        // Opening such a file writes a marker beside it.
        const wchar_t command[] = L"cmd.exe /c echo opened>\"%1.opened\"";
        RegCreateKeyExW(HKEY_CLASSES_ROOT, L"TlPanelTest\\shell\\open\\command", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), sizeof command);
        RegCloseKey(key);
        document_ = folder_ + L"\\\u8bb0\u5f55 notes.tlpaneltest";
        WriteBytes(document_, "x", 1);
        DeleteFileW((document_ + L".opened").c_str());
    }
    void TearDown() override {
        PanelTest::TearDown();
        RegDeleteTreeW(HKEY_CLASSES_ROOT, L"TlPanelTest");
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L"TlPanelTest");
        RegDeleteKeyW(HKEY_CLASSES_ROOT, L".tlpaneltest");
    }
    HWND List() const { return GetDlgItem(Section(kIdFilesSection), kIdFileList); }
    HWND Preview() const { return GetDlgItem(Section(kIdFilesSection), kIdFilePreview); }
    int Count() const { return static_cast<int>(SendMessageW(List(), LB_GETCOUNT, 0, 0)); }
    void Select(int index, int code) {
        SendMessageW(List(), LB_SETCURSEL, index, 0);
        SendMessageW(Section(kIdFilesSection), WM_COMMAND, MAKEWPARAM(kIdFileList, code),
                     reinterpret_cast<LPARAM>(List()));
    }
    COLORREF PreviewMiddle() {
        UpdateWindow(Preview());
        RECT r;
        GetClientRect(Preview(), &r);
        return PixelAt(Preview(), r.right / 2, r.bottom / 2);
    }
    bool Opened() const { return GetFileAttributesW((document_ + L".opened").c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::wstring folder_, a_, b_, document_;
};

TEST_F(FilesTest, ListsTheExistingFilesSortedAndPreviewsTheSelectedOne) {
    // As the settings keep them: newest first, each ended by ";"; the text after the last
    // ";" is not a path.
    const std::wstring text = b_ + L";" + folder_ + L"\\gone.jpg;" + a_ + L";" + folder_ + L"\\tail.jpg";
    ReplaceLatestFiles(LatestFilesFromText(AsUtf16(text.c_str())));
    WriteBytes(folder_ + L"\\tail.jpg", "x", 1);
    CreatePanel(880);
    ASSERT_EQ(Count(), 2);
    ASSERT_EQ(LatestFiles().size(), 2u);  // one list, filtered, not a second copy
    EXPECT_EQ(LatestFiles()[0], AsUtf16(a_.c_str()));  // "2024..." sorts before the CJK name
    EXPECT_EQ(LatestFiles()[1], AsUtf16(b_.c_str()));
    EXPECT_EQ(SendMessageW(List(), LB_GETITEMHEIGHT, 0, 0),
              [] {
                  HDC dc = GetDC(nullptr);
                  HFONT f = CreateFontW(-MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, 300,
                                        0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Segoe UI");
                  HGDIOBJ old = SelectObject(dc, f);
                  SIZE s;
                  GetTextExtentPoint32W(dc, L"ZH", 2, &s);
                  SelectObject(dc, old);
                  DeleteObject(f);
                  ReleaseDC(nullptr, dc);
                  return static_cast<LRESULT>(s.cy + 6);
              }());

    EXPECT_EQ(PreviewMiddle(), kViewerBackground);  // nothing selected yet
    Select(1, LBN_SELCHANGE);
    EXPECT_EQ(PreviewMiddle(), RGB(0, 0, 250));  // the CJK path with a space
    Select(0, LBN_SELCHANGE);
    EXPECT_EQ(PreviewMiddle(), RGB(250, 0, 0));

    // A photo saved now goes to the bottom, although its name sorts first; what the user was
    // looking at stays selected and previewed.
    const std::wstring saved = folder_ + L"\\0000 first.bmp";
    SaveImage(saved, 320, 240, kBmpEncoder, [](int, int) { return RGB(0, 250, 0); });
    const size_t index = AppendLatestFile(AsUtf16(saved.c_str()));
    PostMessageW(panel_, WM_APP_FILE_ADDED, index, 0);
    ASSERT_TRUE(PumpUntil([&] { return Count() == 3; }, 2000));
    EXPECT_EQ(SendMessageW(List(), LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(PreviewMiddle(), RGB(250, 0, 0));
    Select(2, LBN_SELCHANGE);
    EXPECT_EQ(PreviewMiddle(), RGB(0, 250, 0));
}

TEST_F(FilesTest, DoubleClicksOpenTheSelectedFileWithItsProgramOnly) {
    ReplaceLatestFiles({AsUtf16(document_.c_str())});
    CreatePanel(880);
    ASSERT_EQ(Count(), 1);
    // No selection: a double click on the preview opens nothing.
    SendMessageW(Preview(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    PumpFor(1500);
    EXPECT_FALSE(Opened());
    // A file that is not an image leaves the preview blank, without a message.
    Select(0, LBN_SELCHANGE);
    EXPECT_EQ(PreviewMiddle(), kViewerBackground);
    EXPECT_FALSE(Opened());
    SendMessageW(Preview(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    EXPECT_TRUE(PumpUntil([&] { return Opened(); }, 15000));
    DeleteFileW((document_ + L".opened").c_str());
    Select(0, LBN_DBLCLK);
    EXPECT_TRUE(PumpUntil([&] { return Opened(); }, 15000));
}

// ----------------------------------------------------------------------------------------
// Device, Preview and Color in the real main window, against the simulated microscope

constexpr wchar_t kTestSettingsKey[] = L"Software\\TessaloomPanelTest";

class PanelWithCameraTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RunSimcam(L"unplug --all");
        gdiplus_ = new GdiplusSession();
        keys_ = new ProgramKeyGuard(kTestSettingsKey, L"TessaloomPanelTestDocs");
        LoadSettings(keys_->TestKey(), keys_->Documents());
        ASSERT_TRUE(App_RegisterWindowClasses(Instance()));
    }
    static void TearDownTestSuite() {
        delete keys_;
        delete gdiplus_;
    }
    void SetUp() override {
        ReplaceLatestFiles({});
        SelectLanguageTexts(kLanguageEnglish);
    }
    void TearDown() override {
        if (main_ != nullptr && IsWindow(main_)) DestroyWindow(main_);
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        for (const auto& name : plugged_) RunSimcam(L"unplug " + name);
        PumpFor(50);
    }
    void Plug(const std::wstring& name, const std::wstring& options) {
        const SimcamResult r = RunSimcam(L"plug " + name + L" --friendly " + name + L" " + options);
        ASSERT_EQ(r.code, 0u) << r.output;
        plugged_.push_back(name);
    }
    void CreateMain() {
        main_ = MainWindow_Create(Instance());
        ASSERT_NE(main_, nullptr);
        SetWindowPos(main_, nullptr, 0, 0, 1400, 880, SWP_NOZORDER);
        ShowWindow(main_, SW_SHOWNORMAL);
        SetWindowSubclass(main_, &PanelWithCameraTest::CountOpens, 1, 0);
        opens_ = 0;
    }
    bool WaitOpened(int count) {
        return PumpUntil([&] { return opens_ >= count && Capture_FramesFlowing(); }, 8000) &&
               (PumpFor(200), true);
    }
    static LRESULT CALLBACK CountOpens(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR) {
        if (msg == WM_APP_DEVICE_OPENED) ++opens_;
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    HWND Section(int id) const { return GetDlgItem(g_app.controlPanel, id); }
    HWND Control(int section, int id) const { return GetDlgItem(Section(section), id); }
    void Choose(int section, int id, int index) {
        SendMessageW(Control(section, id), CB_SETCURSEL, index, 0);
        SendMessageW(Section(section), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Control(section, id)));
    }
    void Click(int section, int id) {
        SendMessageW(Section(section), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(Control(section, id)));
    }
    void Slide(int section, int id, int position) {
        SendMessageW(Control(section, id), TBM_SETPOS, TRUE, position);
        SendMessageW(Section(section), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                     reinterpret_cast<LPARAM>(Control(section, id)));
    }
    int SliderAt(int section, int id) const {
        return static_cast<int>(SendMessageW(Control(section, id), TBM_GETPOS, 0, 0));
    }
    bool Checked(int section, int id) const {
        return IsDlgButtonChecked(Section(section), id) == BST_CHECKED;
    }

    static GdiplusSession* gdiplus_;
    static ProgramKeyGuard* keys_;
    static int opens_;
    HWND main_ = nullptr;
    std::vector<std::wstring> plugged_;
};
GdiplusSession* PanelWithCameraTest::gdiplus_ = nullptr;
ProgramKeyGuard* PanelWithCameraTest::keys_ = nullptr;
int PanelWithCameraTest::opens_ = 0;

TEST_F(PanelWithCameraTest, WithoutACameraTheDeviceListAsksForAClickAndPreviewIsDisabled) {
    CreateMain();
    PumpFor(300);
    HWND devices = Control(kIdDeviceSection, kIdDeviceList);
    EXPECT_EQ(ComboItems(devices), std::vector<std::wstring>{L"Click to open..."});
    EXPECT_EQ(ComboSelection(devices), L"Click to open...");
    EXPECT_EQ(SendMessageW(Control(kIdDeviceSection, kIdFormatList), CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(TextOf(Control(kIdPreviewSection, kIdRatioLabel)), L"100%");
    EXPECT_FALSE(IsWindowEnabled(Control(kIdPreviewSection, kIdRatioSlider)));
    // A zoom notice updates the ratio but enables nothing.
    SendMessageW(g_app.controlPanel, WM_APP_PANEL_REFRESH, kRefreshZoom, 0);
    EXPECT_FALSE(IsWindowEnabled(Control(kIdPreviewSection, kIdFirstPreviewSwitch)));
    EXPECT_TRUE(Checked(kIdPreviewSection, kIdRatioActualSize));

    // Closing the drop-down opens the "Open microscope" dialog, which finds no camera.
    DialogDriver driver;
    std::wstring found;
    driver.When([](HWND) { return true; }, [&](HWND dialog) {
        found = ListBoxItems(GetDlgItem(dialog, IDC_OPEN_DEVICE_LIST)).at(0);
        ClickButton(dialog, IDCANCEL);
    });
    SendMessageW(Section(kIdDeviceSection), WM_COMMAND, MAKEWPARAM(kIdDeviceList, CBN_CLOSEUP),
                 reinterpret_cast<LPARAM>(devices));
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(found, L"No microscope found.");
}

TEST_F(PanelWithCameraTest, DeviceSectionShowsAndChangesTheOpenFormat) {
    Plug(L"PanelCamA", L"--formats MJPG:1280x720,MJPG:640x480,YUY2:640x480");
    CreateMain();
    ASSERT_TRUE(WaitOpened(1));
    HWND devices = Control(kIdDeviceSection, kIdDeviceList);
    HWND resolutions = Control(kIdDeviceSection, kIdResolutionList);
    HWND formats = Control(kIdDeviceSection, kIdFormatList);
    EXPECT_EQ(ComboSelection(devices), L"PanelCamA");
    EXPECT_EQ(ComboItems(formats), (std::vector<std::wstring>{L"MJPG", L"YUY2"}));
    EXPECT_EQ(ComboSelection(formats), L"MJPG");
    EXPECT_EQ(ComboItems(resolutions), (std::vector<std::wstring>{L"640x480", L"1280x720"}));
    EXPECT_EQ(ComboSelection(resolutions), L"1280x720");

    // The size already shown does not reopen the camera; another one does, really.
    Choose(kIdDeviceSection, kIdResolutionList, 1);
    PumpFor(500);
    EXPECT_EQ(opens_, 1);
    Choose(kIdDeviceSection, kIdResolutionList, 0);
    ASSERT_TRUE(WaitOpened(2));
    EXPECT_EQ(g_pipeline.format.width, 640);
    EXPECT_EQ(ComboSelection(resolutions), L"640x480");
    Choose(kIdDeviceSection, kIdResolutionList, 1);
    ASSERT_TRUE(WaitOpened(3));
    EXPECT_EQ(g_pipeline.format.width, 1280);
    EXPECT_EQ(g_pipeline.format.height, 720);

    // Another camera arriving changes the names only; the selection stays where it was.
    Plug(L"PanelCamB", L"--formats YUY2:640x480");
    ASSERT_TRUE(PumpUntil([&] { return SendMessageW(devices, CB_GETCOUNT, 0, 0) == 2; }, 5000));
    EXPECT_EQ(SendMessageW(devices, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(ComboSelection(resolutions), L"1280x720");

    // The image-folder and settings buttons go to the main window.
    MessageTapCount folder(main_, kCmdOpenImageFolder), settings(main_, kCmdSettings);
    Click(kIdDeviceSection, kIdImageFolderButton);
    Click(kIdDeviceSection, kIdSettingsButton);
    PumpFor(50);
    EXPECT_EQ(folder.count, 1);
    EXPECT_EQ(settings.count, 1);
}

TEST_F(PanelWithCameraTest, AYuy2OnlyCameraListsYuy2Alone) {
    Plug(L"PanelCamY", L"--formats YUY2:800x600,YUY2:640x480");
    CreateMain();
    ASSERT_TRUE(WaitOpened(1));
    HWND formats = Control(kIdDeviceSection, kIdFormatList);
    EXPECT_EQ(ComboItems(formats), std::vector<std::wstring>{L"YUY2"});
    EXPECT_EQ(SendMessageW(formats, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(ComboSelection(Control(kIdDeviceSection, kIdResolutionList)), L"640x480");
    // Choosing the one format reopens with it, at the same size.
    Choose(kIdDeviceSection, kIdFormatList, 0);
    ASSERT_TRUE(WaitOpened(2));
    EXPECT_TRUE(SameSubtype(g_pipeline.format.subtype, kSubtypeYuy2));
    EXPECT_EQ(g_pipeline.format.width, 640);
}

TEST_F(PanelWithCameraTest, PreviewRatioSwitchesAndTheVerticalFlip) {
    Plug(L"PanelCamP", L"--formats YUY2:640x480");
    CreateMain();
    ASSERT_TRUE(WaitOpened(1));
    EXPECT_TRUE(IsWindowEnabled(Control(kIdPreviewSection, kIdRatioSlider)));
    EXPECT_EQ(TextOf(Control(kIdPreviewSection, kIdRatioLabel)), L"100%");

    // With a measuring tool chosen, the slider drops the tool and the new ratio stays.
    SendMessageW(main_, WM_COMMAND, kCmdToolLine, 0);
    ASSERT_EQ(CameraView_Measure().CurrentTool(), 1);
    Slide(kIdPreviewSection, kIdRatioSlider, 150);
    EXPECT_EQ(CameraView_Measure().CurrentTool(), 0);
    EXPECT_EQ(CameraView_ZoomPercent(), 150);
    EXPECT_EQ(TextOf(Control(kIdPreviewSection, kIdRatioLabel)), L"150%");
    EXPECT_FALSE(Checked(kIdPreviewSection, kIdRatioActualSize));
    PumpFor(100);  // the zoom notices that followed leave the slider where it is
    EXPECT_EQ(SliderAt(kIdPreviewSection, kIdRatioSlider), 150);

    // "100%" while at 150 sets the view to 100 % and the slider with it.
    SendMessageW(Control(kIdPreviewSection, kIdRatioActualSize), BM_CLICK, 0, 0);
    EXPECT_EQ(CameraView_ZoomPercent(), 100);
    EXPECT_EQ(SliderAt(kIdPreviewSection, kIdRatioSlider), 100);
    Slide(kIdPreviewSection, kIdRatioSlider, 120);
    EXPECT_FALSE(Checked(kIdPreviewSection, kIdRatioActualSize));
    Slide(kIdPreviewSection, kIdRatioSlider, 100);
    EXPECT_TRUE(Checked(kIdPreviewSection, kIdRatioActualSize));

    // Filters exclude each other.
    Click(kIdPreviewSection, kIdFirstPreviewSwitch + kSwitchEmboss);
    EXPECT_EQ(g_pipeline.preview.emboss, 1);
    Click(kIdPreviewSection, kIdFirstPreviewSwitch + kSwitchGray);
    EXPECT_EQ(g_pipeline.preview.gray, 1);
    EXPECT_EQ(g_pipeline.preview.emboss, 0);
    Click(kIdPreviewSection, kIdFirstPreviewSwitch + kSwitchGray);
    EXPECT_EQ(g_pipeline.preview.gray, 0);

    // Flip vertical turns the shown picture upside down; twice gives it back.
    g_capture.control->Stop();
    PumpFor(300);
    const uint8_t* frame = Pipeline_CurrentFrame();
    ASSERT_NE(frame, nullptr);
    auto surfaceRows = [&] {
        CameraView_ComposeNow();
        BITMAPINFOHEADER bi = {};
        bi.biSize = sizeof bi;
        bi.biWidth = 640;
        bi.biHeight = -480;
        bi.biPlanes = 1;
        bi.biBitCount = 24;
        std::vector<uint8_t> surface(640 * 480 * 3);
        HDC dc = GetDC(g_app.cameraView);
        GetDIBits(dc, CameraView_SurfaceBitmap(), 0, 480, surface.data(),
                  reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
        ReleaseDC(g_app.cameraView, dc);
        return surface;
    };
    auto row = [](const uint8_t* pixels, int y) {
        return std::vector<uint8_t>(pixels + y * 640 * 3, pixels + (y + 1) * 640 * 3);
    };
    const std::vector<uint8_t> upright = surfaceRows();
    ASSERT_EQ(row(upright.data(), 10), row(frame, 10));
    Click(kIdPreviewSection, kIdFirstPreviewSwitch + kSwitchFlipVertical);
    EXPECT_EQ(g_pipeline.preview.flipVertical, 1);
    const std::vector<uint8_t> flipped = surfaceRows();
    EXPECT_EQ(row(flipped.data(), 10), row(frame, 469));
    EXPECT_EQ(row(flipped.data(), 479), row(frame, 0));
    Click(kIdPreviewSection, kIdFirstPreviewSwitch + kSwitchFlipVertical);
    EXPECT_EQ(surfaceRows(), upright);
}

TEST_F(PanelWithCameraTest, ColorRowsFollowTheCameraAndWriteToIt) {
    Plug(L"PanelCamC", L"--formats MJPG:640x480 gain.caps=auto+manual gain.mode=auto "
                       L"powerline.min=1 powerline.max=3 powerline.step=1 powerline=2 "
                       L"brightness.min=-64 brightness.max=64 brightness=0");
    CreateMain();
    ASSERT_TRUE(WaitOpened(1));
    HWND color = Section(kIdColorSection);
    // Gain is in automatic mode: its name alone, label and slider disabled.
    const int gainRow = 2, brightnessRow = 3;
    EXPECT_EQ(TextOf(GetDlgItem(color, kIdFirstPropertyLabel + gainRow)), L"Gain:");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(color, kIdFirstPropertySlider + gainRow)));
    EXPECT_EQ(TextOf(GetDlgItem(color, kIdFirstPropertyLabel + brightnessRow)), L"Brightness:  0");
    EXPECT_EQ(SliderAt(kIdColorSection, kIdFirstPropertySlider + brightnessRow), 64);
    // Values 1 to 3: the 50 and 60 Hz entries only, the camera's 60 Hz chosen.
    HWND frequency = GetDlgItem(color, kIdFrequencyList);
    EXPECT_EQ(ComboItems(frequency), (std::vector<std::wstring>{L"50 Hz", L"60 Hz"}));
    EXPECT_EQ(ComboSelection(frequency), L"60 Hz");
    EXPECT_TRUE(IsWindowEnabled(frequency));

    Slide(kIdColorSection, kIdFirstPropertySlider + brightnessRow, 84);
    EXPECT_EQ(TextOf(GetDlgItem(color, kIdFirstPropertyLabel + brightnessRow)), L"Brightness:  20");
    const std::string shown = RunSimcam(L"show PanelCamC").output;
    EXPECT_NE(shown.find("brightness=20 "), std::string::npos) << shown;
    Choose(kIdColorSection, kIdFrequencyList, 0);
    EXPECT_NE(RunSimcam(L"show PanelCamC").output.find("powerline=1 "), std::string::npos);
}

TEST_F(PanelWithCameraTest, TextsFollowTheLanguage) {
    Plug(L"PanelCamL", L"--formats MJPG:1280x720");
    CreateMain();
    ASSERT_TRUE(WaitOpened(1));
    const struct {
        int language;
        const wchar_t* name;
        const wchar_t* files;
    } languages[] = {{kLanguageChinese, L"zh", L"\u6587\u4ef6"},
                     {kLanguageJapanese, L"ja", L"\u30d5\u30a1\u30a4\u30eb"},
                     {kLanguageEnglish, L"en", L"Files"}};
    for (const auto& l : languages) {
        SelectLanguageTexts(l.language);
        PostMessageW(g_app.controlPanel, WM_COMMAND, kCmdReloadTexts, 0);
        PumpFor(200);
        EXPECT_EQ(TextOf(GetDlgItem(Section(kIdFilesSection), 100)), l.files);
        EXPECT_EQ(TextOf(Control(kIdDeviceSection, kIdImageFolderButton)), l.files);
        SaveWindowShot(g_app.controlPanel, std::wstring(L"panel-") + l.name);
    }
}

}  // namespace
