// The overlay drawn onto a real memory DC over a DIB section of known pixels; also writes
// screenshots of every tool to build/screenshots for people to look at.
#include <windows.h>

#include <gdiplus.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "measure/overlay.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr COLORREF kBackground = RGB(0, 0, 0);
constexpr COLORREF kLine = RGB(255, 0, 0);
constexpr COLORREF kText = RGB(0, 255, 0);
constexpr COLORREF kGrid = RGB(0, 0, 255);

// A 640 x 480 top-down 32-bit surface selected into a memory DC, with the overlay's resources.
class Surface {
public:
    explicit Surface(const OverlayStyle& style) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                                   nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
        Fill(kBackground);
        created_ = CreateOverlayResources(resources, dc_, style);
    }
    ~Surface() {
        ReleaseOverlayResources(resources);
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    bool Created() const { return created_ && bits_ != nullptr; }
    HDC dc() const { return dc_; }

    void Fill(COLORREF colour) {
        HBRUSH brush = CreateSolidBrush(colour);
        const RECT all = {0, 0, kWidth, kHeight};
        FillRect(dc_, &all, brush);
        DeleteObject(brush);
        GdiFlush();
    }
    // As a COLORREF, so it compares with the style's colours.
    COLORREF At(int x, int y) const {
        GdiFlush();
        const uint32_t px = bits_[y * kWidth + x];
        return RGB((px >> 16) & 0xFF, (px >> 8) & 0xFF, px & 0xFF);
    }
    int CountIn(const OverlayRect& r, COLORREF colour) const {
        int n = 0;
        for (int y = std::max(0, r.top); y < std::min(kHeight, r.bottom); ++y) {
            for (int x = std::max(0, r.left); x < std::min(kWidth, r.right); ++x) {
                n += At(x, y) == colour;
            }
        }
        return n;
    }
    void SaveBmp(const std::wstring& path) const;

    OverlayResources resources;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
    bool created_ = false;
};

void Surface::SaveBmp(const std::wstring& path) const {
    GdiFlush();
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = kWidth;
    info.biHeight = kHeight;  // bottom-up rows, 24 bits: what every viewer reads
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = kWidth * 3 * kHeight;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* f = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(&file, sizeof file, 1, f);
    std::fwrite(&info, sizeof info, 1, f);
    std::vector<uint8_t> row(kWidth * 3);
    for (int y = kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t px = bits_[y * kWidth + x];
            row[x * 3] = px & 0xFF;
            row[x * 3 + 1] = (px >> 8) & 0xFF;
            row[x * 3 + 2] = (px >> 16) & 0xFF;
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
}

bool RunningUnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// build/screenshots, found from this program's place in build/win/tests.
std::wstring ShotPath(const wchar_t* name) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir = exe;
    for (int up = 0; up < 3; ++up) dir.erase(dir.find_last_of(L'\\'));
    dir += L"\\screenshots";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

// The camera view as the shape model sees it: a 640 x 480 picture at 100 % in a client of the
// same size, text measured in the surface's label font.
class TestView final : public MeasureHost {
public:
    explicit TestView(const OverlayResources& resources) : resources_(resources) {
        geometry.pictureWidth = geometry.displayWidth = geometry.clientWidth = kWidth;
        geometry.pictureHeight = geometry.displayHeight = geometry.clientHeight = kHeight;
    }
    ViewGeometry Geometry() const override { return geometry; }
    TextSize MeasureLabelText(std::u16string_view text) override {
        return ::MeasureLabelText(resources_, text);
    }
    std::u16string_view TextPlaceholder() const override { return kPlaceholder; }
    void CaptureMouse() override {}
    void ReleaseMouse() override {}
    void Invalidate() override {}
    void ComposeNow() override {}
    void PanView(int32_t, int32_t) override {}
    void RequestNoTool() override {}

    static constexpr char16_t kPlaceholder[] = u" Input text, drag to move. ";
    ViewGeometry geometry;

private:
    const OverlayResources& resources_;
};

// Mouse scripts in picture pixels (the client is the picture, so they are the mouse words too).
void Drag(MeasureModel& model, int x1, int y1, int x2, int y2) {
    model.OnPress(static_cast<uint16_t>(x1), static_cast<uint16_t>(y1));
    model.OnMove(kMouseLeftButton, static_cast<uint16_t>(x2), static_cast<uint16_t>(y2));
    model.OnRelease();
}
void ThirdPoint(MeasureModel& model, int x, int y) {
    model.OnMove(0, static_cast<uint16_t>(x), static_cast<uint16_t>(y));
    model.OnPress(static_cast<uint16_t>(x), static_cast<uint16_t>(y));
}

OverlayStyle TestStyle(int32_t lineWidth = 1) {
    OverlayStyle style;
    style.gridColor = kGrid;
    style.lineColor = kLine;
    style.lineWidth = lineWidth;
    style.textColor = kText;
    style.textSize = 12;
    return style;
}

class GdiplusSession : public ::testing::Environment {
public:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token_, &input, nullptr);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(token_); }

private:
    ULONG_PTR token_ = 0;
};
const auto* const g_gdiplus = ::testing::AddGlobalTestEnvironment(new GdiplusSession);

class OverlayDrawing : public ::testing::Test {
protected:
    Surface surface{TestStyle()};
    TestView view{surface.resources};
    MeasureModel model{view};
    ActiveCalibration calibration;

    void DrawAll() {
        DrawShapes(surface.resources, view.geometry, model, calibration, TestView::kPlaceholder);
        DrawShapeInProgress(surface.resources, view.geometry, model, calibration,
                            TestView::kPlaceholder);
    }
    TextMeasure LabelMeasure() {
        return
            [this](std::u16string_view text) { return MeasureLabelText(surface.resources, text); };
    }
};

TEST_F(OverlayDrawing, DiagonalLineIsSmoothedContinuousAndTouchesNothingElse) {
    ASSERT_TRUE(surface.Created());
    model.SetTool(kToolLine);
    Drag(model, 100, 100, 300, 201);
    DrawAll();

    EXPECT_NE(surface.At(100, 100), kBackground);
    EXPECT_NE(surface.At(300, 201), kBackground);
    EXPECT_EQ(surface.At(200, 150) & 0xFFFF00, 0u);  // red over black: no green, no blue
    // Off the line and its end bars.
    for (POINT p :
         {POINT{200, 100}, POINT{100, 200}, POINT{200, 170}, POINT{200, 130}, POINT{50, 50}}) {
        EXPECT_EQ(surface.At(p.x, p.y), kBackground) << p.x << "," << p.y;
    }
    // Every column along the slope has a strongly covered pixel, and some pixels are only
    // partly covered: neither background nor full red.
    int blended = 0;
    for (int x = 120; x < 280; ++x) {
        int strongest = 0;
        for (int y = 105; y < 200; ++y) {
            const int red = GetRValue(surface.At(x, y));
            blended += red > 0 && red < 200;
            strongest = std::max(strongest, red);
        }
        EXPECT_GE(strongest, 128) << x;
    }
    // Wine's GDI+ rasterises without coverage, so the blend can only be seen on Windows; what
    // we control, the smoothing mode on the graphics, is checked everywhere.
    Gdiplus::SmoothingMode smoothing = Gdiplus::SmoothingModeInvalid;
    Gdiplus::DllExports::GdipGetSmoothingMode(surface.resources.graphics, &smoothing);
    EXPECT_EQ(smoothing, Gdiplus::SmoothingModeHighQuality);
    if (!RunningUnderWine()) {
        EXPECT_GT(blended, 40);
    }
    // Uncalibrated: no label anywhere.
    EXPECT_EQ(surface.CountIn({0, 0, kWidth, kHeight}, kText), 0);
}

TEST_F(OverlayDrawing, LabelsAppearInTheirComputedBoxesAndFlipAtTheEdges) {
    ASSERT_TRUE(surface.Created());
    ApplyCalibration(calibration, 10.0f, kUnitMillimetres);
    model.SetTool(kToolLine);
    Drag(model, 100, 100, 300, 100);  // label right and below P1
    Drag(model, 630, 470, 500, 470);  // label left of and above P1
    DrawAll();

    const PictureSize picture = {kWidth, kHeight};
    const TextBox normal = SingleLabel(u"20.00000mm", 100, 100, picture, LabelMeasure());
    const TextBox flipped = SingleLabel(u"13.00000mm", 630, 470, picture, LabelMeasure());
    ASSERT_GT(normal.box.right - normal.box.left, 20);
    EXPECT_EQ(flipped.box.right, 628);
    EXPECT_EQ(flipped.box.bottom, 468);
    EXPECT_GT(surface.CountIn(normal.box, kText), 10);
    EXPECT_GT(surface.CountIn(flipped.box, kText), 10);
    // Text is clipped to its box: nothing in the text colour anywhere else.
    const int everywhere = surface.CountIn({0, 0, kWidth, kHeight}, kText);
    EXPECT_EQ(everywhere, surface.CountIn(normal.box, kText) + surface.CountIn(flipped.box, kText));
}

TEST_F(OverlayDrawing, CrosslineTicksLieExactlyOnTheirComputedSegments) {
    ASSERT_TRUE(surface.Created());
    for (float scale : {-1.0f, 200.0f}) {
        surface.Fill(kBackground);
        ApplyCalibration(calibration, scale, kUnitMillimetres);
        DrawCrossline(surface.resources, view.geometry, calibration);
        const CrosslineDrawing expected =
            DrawingOfCrossline({kWidth, kHeight}, calibration, [this](std::u16string_view text) {
                SIZE size = {};
                GetTextExtentPoint32W(surface.dc(), reinterpret_cast<const wchar_t*>(text.data()),
                                      static_cast<int>(text.size()), &size);
                return TextSize{size.cx, size.cy};
            });
        // Every pixel of a segment but its last is in the grid colour; nothing else is.
        std::set<std::pair<int, int>> onLines;
        for (const Segment& s : expected.lines) {
            const int steps = std::max(std::abs(s.x2 - s.x1), std::abs(s.y2 - s.y1));
            for (int i = 0; i < steps; ++i) {
                onLines.insert(
                    {s.x1 + (s.x2 - s.x1) * i / steps, s.y1 + (s.y2 - s.y1) * i / steps});
            }
        }
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool grid = surface.At(x, y) == kGrid;
                wrong += grid != (onLines.count({x, y}) > 0);
            }
        }
        EXPECT_EQ(wrong, 0) << scale;
        if (scale < 0) {
            EXPECT_EQ(surface.At(316, 230), kGrid);  // a short pixel tick left of the line
            EXPECT_EQ(surface.At(315, 230), kBackground);
            EXPECT_EQ(surface.At(311, 190), kGrid);  // every fifth is longer
        } else {
            ASSERT_TRUE(expected.hasValue);
            EXPECT_EQ(expected.value.text, u"0.5mm");
            EXPECT_GT(surface.CountIn(expected.value.box, kText), 5);
            EXPECT_EQ(surface.At(420, 225), kGrid);  // the first major tick right of the centre
        }
    }
}

TEST_F(OverlayDrawing, RulerAloneWithItsLabelAndArrowsAtTheHoveredEnd) {
    model.ShowRuler();
    CalibrationRuler& ruler = model.Ruler();
    DrawRuler(surface.resources, view.geometry, ruler);
    EXPECT_EQ(std::make_pair(ruler.leftX, ruler.rightX), std::make_pair(170, 470));
    EXPECT_EQ(surface.At(300, 240), kLine);
    EXPECT_EQ(surface.At(170, 190), kLine);
    EXPECT_EQ(surface.At(470, 290), kLine);
    EXPECT_EQ(surface.At(466, 210), kBackground);  // no arrows yet
    const TextBox label = SingleLabel(u"300 pixels", 172, 242, {kWidth, kHeight}, LabelMeasure());
    EXPECT_GT(surface.CountIn(label.box, kText), 10);

    model.OnMove(0, 470, 200);  // hover over the right end bar
    ASSERT_EQ(ruler.hoverRight, 1);
    DrawRuler(surface.resources, view.geometry, ruler);
    EXPECT_EQ(surface.At(466, 210), kLine);
    EXPECT_EQ(surface.At(474, 270), kLine);
}

TEST_F(OverlayDrawing, NothingAtOtherZoomsAndANewStyleAtOnce) {
    model.SetTool(kToolRectangle);
    Drag(model, 100, 100, 200, 160);
    model.SetTool(kToolNone);
    model.OnPress(200, 160);  // selects it by its corner handle
    model.OnRelease();
    ASSERT_EQ(model.SelectedIndex(), 0);
    view.geometry.zoomPercent = 150;
    DrawAll();
    DrawCrossline(surface.resources, view.geometry, calibration);
    EXPECT_EQ(surface.CountIn({0, 0, kWidth, kHeight}, kBackground), kWidth * kHeight);

    view.geometry.zoomPercent = 100;
    OverlayStyle style = TestStyle(2);
    style.lineColor = RGB(255, 255, 0);
    ASSERT_TRUE(SetOverlayStyle(surface.resources, style));
    DrawAll();
    // A two-pixel frame; the handles stay filled 10 x 10 squares.
    EXPECT_EQ(surface.At(150, 100), RGB(255, 255, 0));
    EXPECT_EQ(surface.At(150, 101), RGB(255, 255, 0));
    EXPECT_EQ(surface.At(150, 102), kBackground);
    EXPECT_EQ(surface.At(150, 160), kBackground);  // right and bottom are exclusive
    EXPECT_EQ(surface.CountIn({95, 155, 105, 165}, RGB(255, 255, 0)), 100);
    EXPECT_EQ(surface.At(94, 160), kBackground);
    EXPECT_EQ(surface.At(100, 165), kBackground);

    const TextSize small = MeasureLabelText(surface.resources, u"R:1.00000mm");
    style.textSize = 24;
    SetOverlayStyle(surface.resources, style);
    EXPECT_GT(MeasureLabelText(surface.resources, u"R:1.00000mm").cy, small.cy);
}

// A picture to draw on: a soft gradient with a few pale cells, like a stained slide.
void PaintSpecimen(Surface& surface) {
    for (int y = 0; y < kHeight; y += 4) {
        HBRUSH band = CreateSolidBrush(RGB(70 + y / 8, 60 + y / 10, 90 + y / 12));
        const RECT r = {0, y, kWidth, y + 4};
        FillRect(surface.dc(), &r, band);
        DeleteObject(band);
    }
    HBRUSH cell = CreateSolidBrush(RGB(150, 120, 160));
    HGDIOBJ old = SelectObject(surface.dc(), cell);
    for (POINT c :
         {POINT{150, 250}, POINT{420, 180}, POINT{520, 380}, POINT{300, 420}, POINT{90, 80}}) {
        Ellipse(surface.dc(), c.x - 45, c.y - 35, c.x + 45, c.y + 35);
    }
    SelectObject(surface.dc(), old);
    DeleteObject(cell);
}

// Not an assertion of looks: a person checks these pictures. It does check that every kind
// reached the picture with a label.
TEST(OverlayScreenshots, EveryToolWithACalibration) {
    OverlayStyle style = TestStyle(2);
    style.gridColor = RGB(0, 255, 0);
    style.lineColor = RGB(255, 64, 64);
    style.textColor = RGB(255, 255, 0);
    style.textSize = 10;
    Surface surface(style);
    ASSERT_TRUE(surface.Created());
    TestView view(surface.resources);
    MeasureModel model(view);
    ActiveCalibration calibration;
    ApplyCalibration(calibration, 50.0f, kUnitMicrons);
    PaintSpecimen(surface);

    model.SetTool(kToolLine);
    Drag(model, 40, 40, 200, 90);
    model.SetTool(kToolParallel);
    Drag(model, 40, 150, 200, 180);
    ThirdPoint(model, 90, 230);
    model.SetTool(kToolRectangle);
    Drag(model, 240, 40, 360, 120);
    model.SetTool(kToolCircle);
    Drag(model, 470, 90, 520, 110);
    model.SetTool(kToolConcentric);
    Drag(model, 450, 300, 480, 300);
    ThirdPoint(model, 510, 340);
    model.SetTool(kToolAngle);
    Drag(model, 60, 330, 200, 300);
    ThirdPoint(model, 150, 420);
    model.SetTool(kToolPencil);
    model.OnPress(250, 300);
    for (int i = 1; i <= 40; ++i) {
        const int y = 300 + static_cast<int>(std::lround(15 * std::sin(i * 0.4)));
        model.OnMove(kMouseLeftButton, static_cast<uint16_t>(250 + i * 3),
                     static_cast<uint16_t>(y));
    }
    model.OnRelease();
    model.SetTool(kToolText);
    model.BeginTextPlacement();
    model.OnTextInit();
    model.SetPlacedText(u"Cell wall");
    ASSERT_TRUE(model.OnTextOk());
    // Labels at the right and bottom edges.
    model.SetTool(kToolCircle);
    Drag(model, 600, 440, 620, 470);
    model.SetTool(kToolLine);
    Drag(model, 630, 200, 560, 260);
    // One shape selected, one hovered, one line being drawn.
    model.SetTool(kToolNone);
    model.OnPress(240, 40);
    model.OnRelease();
    model.OnMove(0, 470, 90);
    model.SetTool(kToolLine);
    model.OnPress(330, 200);
    model.OnMove(kMouseLeftButton, 400, 250);

    DrawCrossline(surface.resources, view.geometry, calibration);
    DrawShapes(surface.resources, view.geometry, model, calibration, TestView::kPlaceholder);
    DrawShapeInProgress(surface.resources, view.geometry, model, calibration,
                        TestView::kPlaceholder);
    surface.SaveBmp(ShotPath(L"overlay_tools.bmp"));

    EXPECT_EQ(model.Shapes().size(), 10u);
    EXPECT_GT(surface.CountIn({0, 0, kWidth, kHeight}, style.textColor), 500);

    // The uncalibrated crossline and what is left without labels.
    PaintSpecimen(surface);
    ApplyCalibration(calibration, kNoCalibrationScale, kUnitMillimetres);
    DrawCrossline(surface.resources, view.geometry, calibration);
    DrawShapes(surface.resources, view.geometry, model, calibration, TestView::kPlaceholder);
    DrawShapeInProgress(surface.resources, view.geometry, model, calibration,
                        TestView::kPlaceholder);
    surface.SaveBmp(ShotPath(L"overlay_uncalibrated.bmp"));

    // While calibrating the ruler is drawn alone; here with the mouse over its left end.
    PaintSpecimen(surface);
    model.ShowRuler();
    DrawRuler(surface.resources, view.geometry, model.Ruler());
    model.OnMove(0, 170, 260);
    DrawRuler(surface.resources, view.geometry, model.Ruler());
    surface.SaveBmp(ShotPath(L"overlay_ruler.bmp"));
    EXPECT_EQ(model.Ruler().hoverLeft, 1);
}

}  // namespace
