#include "measure/analysis_export.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

MeasureShape Shape(int32_t kind, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                   int32_t x3 = kThirdPointUnplaced, int32_t y3 = 0) {
    MeasureShape s;
    s.kind = kind;
    s.p1x = x1, s.p1y = y1, s.p2x = x2, s.p2y = y2, s.p3x = x3, s.p3y = y3;
    s.thirdPlaced = x3 != kThirdPointUnplaced;
    return s;
}

// One shape of every kind, with round values at 10 pixels per unit.
ShapeList EveryKind() {
    ShapeList shapes = {
        Shape(kToolLine, 0, 0, 300, 400),
        Shape(kToolParallel, 0, 0, 100, 0, 30, 40),
        Shape(kToolRectangle, 100, 100, 40, 20),
        Shape(kToolCircle, 200, 200, 200, 300),
        Shape(kToolConcentric, 50, 50, 80, 90, 50, 150),
        Shape(kToolAngle, 10, 10, 110, 10, 10, 110),
        Shape(kToolPencil, 0, 0, 0, 0),
        Shape(kToolText, 5, 5, 0, 0),
        Shape(kToolAngle, 10, 10, 110, 10),  // third point never placed: no angle
    };
    shapes[6].points = {{0, 0}, {30, 40}, {30, 50}};
    shapes[7].SetText(u"cell wall");
    return shapes;
}

TEST(MeasurementTable, CsvHasEveryShapeInTheProgramsArithmetic) {
    AnalysisScale scale;
    scale.pixelsPerUnit = 10.0f;
    scale.unit = kUnitMillimetres;
    scale.calibrationName = u"\u500D\u7387 \"x10\", 2";  // CJK, a quote and a comma
    const std::string name = "\"\xE5\x80\x8D\xE7\x8E\x87 \"\"x10\"\", 2\"";
    const std::string tail = ",mm," + name + ",10\r\n";
    const std::string expected =
        "\xEF\xBB\xBF"
        "Index,Tool,Length,Distance,Width,Height,Area,Perimeter,Radius,Outer radius,Diameter,"
        "Angle,Unit,Calibration,Pixels per unit\r\n"
        "1,Line,50,,,,,,,,," +
        tail + "2,Parallel,,4,,,,,,,," + tail + "3,Rectangle,,,6,8,48,28,,,," + tail +
        "4,Circle,,,,,314.159,62.8318,10,,20," + tail + "5,Concentric,,,,,,,5,10,," + tail +
        "6,Angle,,,,,,,,,,90" + tail + "7,Pencil,6,,,,,,,,," + tail + "8,Text,,,,,,,,,," + tail +
        "9,Angle,,,,,,,,,," + tail;
    EXPECT_EQ(MeasurementCsv(EveryKind(), scale), expected);
}

TEST(MeasurementTable, PixelsWhenUncalibratedAndTabsForTheClipboard) {
    const ShapeList shapes = {Shape(kToolLine, 0, 0, 3, 4), Shape(kToolCircle, 0, 0, 0, 1)};
    AnalysisScale none;
    none.calibrationName = u"stale";  // a name without a scale names nothing
    EXPECT_EQ(MeasurementCsv(shapes, none).substr(MeasurementCsv({}, none).size()),
              "1,Line,5,,,,,,,,,,px,,\r\n"
              "2,Circle,,,,,3.14159,6.28318,1,,2,,px,,\r\n");

    AnalysisScale microns;
    microns.pixelsPerUnit = 2.5f;
    microns.unit = kUnitMicrons;
    microns.calibrationName = u"tab\there";
    const std::u16string tsv = MeasurementTsv(shapes, microns);
    EXPECT_EQ(tsv.substr(0, 12), u"Index\tTool\tL");
    EXPECT_NE(tsv.find(u"\r\n1\tLine\t2\t\t\t\t\t\t\t\t\t\t\u00B5m\ttab here\t2.5\r\n"),
              std::u16string::npos)
        << std::string(tsv.begin(), tsv.end());
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

std::string WriteTemp(const std::vector<uint8_t>& bytes, const std::string& name) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

TiffFile OpenWritten(const std::vector<uint8_t>& bytes, const std::string& name) {
    TIFFSetWarningHandler(nullptr);  // libtiff does not know ImageJ's tags
    return TiffFile(TIFFOpen(WriteTemp(bytes, name).c_str(), "r"));
}

// 3 x 2 pixels, rows padded to 12 bytes; pixel (x, y) is B = x, G = y, R = 200.
std::vector<uint8_t> SmallPicture() {
    std::vector<uint8_t> bgr(24, 0xEE);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = &bgr[y * 12 + x * 3];
            p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = 200;
        }
    }
    return bgr;
}

TEST(AnalysisTiff, RgbPixelsCalibrationAndOverlayReadBackWithLibtiff) {
    const std::vector<uint8_t> bgr = SmallPicture();
    const AnalysisPicture picture{bgr.data(), 3, 2, 12};
    AnalysisScale scale;
    scale.pixelsPerUnit = 37.5f;
    scale.unit = kUnitMicrons;
    const ShapeList shapes = {Shape(kToolLine, 0, 0, 2, 1), Shape(kToolParallel, 0, 0, 2, 0, 1, 1),
                              Shape(kToolText, 0, 0, 0, 0)};
    const std::vector<uint8_t> bytes = AnalysisTiff(picture, scale, shapes);
    ASSERT_FALSE(bytes.empty());
    TiffFile tif = OpenWritten(bytes, "analysis.tif");
    ASSERT_TRUE(tif);

    uint32_t width = 0, height = 0;
    uint16_t samples = 0, bits = 0, photometric = 0, unit = 0;
    float xres = 0, yres = 0;
    char* description = nullptr;
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width));
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height));
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples));
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits));
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric));
    EXPECT_EQ(std::vector<uint32_t>({width, height, samples, bits, photometric}),
              std::vector<uint32_t>({3, 2, 3, 8, PHOTOMETRIC_RGB}));
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &xres));
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &yres));
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_RESOLUTIONUNIT, &unit));
    EXPECT_FLOAT_EQ(xres, 37.5f);
    EXPECT_FLOAT_EQ(yres, 37.5f);
    EXPECT_EQ(unit, RESUNIT_NONE);
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_IMAGEDESCRIPTION, &description));
    EXPECT_STREQ(description, "ImageJ=1.53t\nunit=um\n");

    std::vector<uint8_t> row(TIFFScanlineSize(tif.get()));
    ASSERT_EQ(row.size(), 9u);
    ASSERT_EQ(TIFFReadScanline(tif.get(), row.data(), 1, 0), 1);
    EXPECT_EQ(row, std::vector<uint8_t>({200, 1, 0, 200, 1, 1, 200, 1, 2}));

    // The overlay: a header naming one "over" entry per ROI (the Parallel gives two), then
    // one ImageJ ROI record per count.
    uint32_t countsLength = 0, metaLength = 0;
    uint32_t* counts = nullptr;
    uint8_t* meta = nullptr;
    ASSERT_TRUE(TIFFGetField(tif.get(), 50838, &countsLength, &counts));
    ASSERT_TRUE(TIFFGetField(tif.get(), 50839, &metaLength, &meta));
    ASSERT_EQ(countsLength, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(meta), 12),
              std::string("JIJIrevo\x04\0\0\0", 12));
    uint32_t offset = counts[0];
    for (uint32_t i = 1; i < countsLength; ++i) {
        EXPECT_EQ(std::string(reinterpret_cast<char*>(meta + offset), 4), "Iout") << i;
        offset += counts[i];
    }
    EXPECT_EQ(offset, metaLength);
}

TEST(AnalysisTiff, UncalibratedCarriesNoScaleAndBadPicturesGiveNothing) {
    const std::vector<uint8_t> bgr = SmallPicture();
    const std::vector<uint8_t> bytes = AnalysisTiff({bgr.data(), 3, 2, 12}, AnalysisScale{}, {});
    ASSERT_FALSE(bytes.empty());
    TiffFile tif = OpenWritten(bytes, "plain.tif");
    ASSERT_TRUE(tif);
    float xres = 0;
    char* description = nullptr;
    uint32_t countsLength = 0;
    uint32_t* counts = nullptr;
    EXPECT_FALSE(TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &xres));
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_IMAGEDESCRIPTION, &description));
    EXPECT_STREQ(description, "ImageJ=1.53t\n");
    EXPECT_FALSE(TIFFGetField(tif.get(), 50838, &countsLength, &counts));

    const AnalysisPicture bad[] = {{nullptr, 3, 2, 12},
                                   {bgr.data(), 0, 2, 12},
                                   {bgr.data(), 3, -1, 12},
                                   {bgr.data(), 5, 2, 12}};
    for (const AnalysisPicture& p : bad) {
        EXPECT_TRUE(AnalysisTiff(p, AnalysisScale{}, {}).empty()) << p.width << "x" << p.height;
    }
}

// ---------------------------------------------------------------- ImageJ itself

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos;
         start = at + separator.size()) {
        parts.push_back(text.substr(start, at - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string RunImageJ(const std::string& tiffPath) {
    // ImageJ builds its menus even in batch mode, so it needs a display: a private one.
    const std::string command = "xvfb-run -a timeout 30 imagej -b '" TL_SOURCE_DIR
                                "/tests/core/imagej_overlay.ijm' '" +
                                tiffPath + "' 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
        pclose(pipe);
    }
    return output;
}

// A microscope-sized picture with one shape of every kind at an uneven scale in microns: what
// ImageJ measures on the overlay must be what the table says. ImageJ counts an oval's pixels,
// which comes within 0.5 % of the true area from a radius of about 100 pixels on.
TEST(AnalysisTiffInImageJ, OverlayMeasuresAsTheTableAndScaleIsTheCalibration) {
    if (std::system("command -v imagej >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "imagej is not installed";
    }
    ShapeList shapes = {
        Shape(kToolLine, 50, 60, 420, 300),
        Shape(kToolParallel, 100, 400, 500, 380, 300, 300),
        Shape(kToolRectangle, 330, 190, 200, 100),
        Shape(kToolCircle, 320, 240, 400, 290),
        Shape(kToolConcentric, 200, 200, 300, 220, 200, 360),
        Shape(kToolAngle, 500, 100, 600, 120, 520, 20),
        Shape(kToolPencil, 0, 0, 0, 0),
        Shape(kToolText, 20, 20, 0, 0),
    };
    for (int t = 0; t <= 60; ++t) {  // a hand-drawn wave in whole pixels
        shapes[6].points.push_back(
            {100 + 3 * t, 420 - static_cast<int32_t>(std::lround(40 * std::sin(t / 10.0)))});
    }
    shapes[7].SetText(u"\u500D\u7387 40x");
    AnalysisScale scale;
    scale.pixelsPerUnit = 4.37f;
    scale.unit = kUnitMicrons;
    const std::vector<uint8_t> gray(640 * 480 * 3, 128);
    const std::string path =
        WriteTemp(AnalysisTiff({gray.data(), 640, 480, 640 * 3}, scale, shapes), "imagej.tif");

    std::map<std::string, std::vector<std::string>> lines;  // by first field, or by ROI name
    const std::string output = RunImageJ(path);
    for (const std::string& line : Split(output, "\n")) {
        const std::vector<std::string> f = Split(line, "\t");
        if (f.size() >= 2) lines[f[0] == "roi" ? f[1] : f[0]] = f;
    }
    ASSERT_EQ(lines.count("pixel"), 1u) << output;
    EXPECT_EQ(lines["pixel"][1], "\u00B5m");
    EXPECT_NEAR(std::stod(lines["pixel"][2]), 1.0 / 4.37, 1e-7);
    EXPECT_NEAR(std::stod(lines["pixel"][3]), 1.0 / 4.37, 1e-7);
    ASSERT_EQ(lines["overlay"], std::vector<std::string>({"overlay", "10"})) << output;

    std::vector<std::vector<std::string>> table;  // CSV rows by shape index, header at 0
    for (const std::string& row : Split(MeasurementCsv(shapes, scale), "\r\n")) {
        table.push_back(Split(row, ","));
    }
    const auto csv = [&](size_t index, int column) { return std::stod(table[index][column]); };
    const auto imagej = [&](const std::string& roi, int field) {
        EXPECT_EQ(lines[roi].size() > static_cast<size_t>(field), true) << roi << "\n" << output;
        return lines[roi].size() > static_cast<size_t>(field) ? std::stod(lines[roi][field]) : NAN;
    };
    enum { kTypeField = 2, kLengthField, kAreaField, kAngleField, kLineField };
    enum { kCsvLength = 2, kCsvDistance, kCsvArea = 6, kCsvRadius = 8, kCsvOuter, kCsvAngle = 11 };
    const auto near = [](double measured, double expected) {
        EXPECT_NEAR(measured, expected, std::fabs(expected) * 0.005);
    };
    near(imagej("Line 1", kLengthField), csv(1, kCsvLength));
    // The parallel line's middle lies the table's distance away from the base.
    const double bx1 = imagej("Parallel 2a", kLineField),
                 by1 = imagej("Parallel 2a", kLineField + 1);
    const double bx2 = imagej("Parallel 2a", kLineField + 2),
                 by2 = imagej("Parallel 2a", kLineField + 3);
    const double mx =
        (imagej("Parallel 2b", kLineField) + imagej("Parallel 2b", kLineField + 2)) / 2;
    const double my =
        (imagej("Parallel 2b", kLineField + 1) + imagej("Parallel 2b", kLineField + 3)) / 2;
    const double gap = std::fabs((bx2 - bx1) * (my - by1) - (by2 - by1) * (mx - bx1)) /
                       std::hypot(bx2 - bx1, by2 - by1);
    near(gap / 4.37, csv(2, kCsvDistance));
    near(imagej("Parallel 2b", kLengthField), imagej("Parallel 2a", kLengthField));
    near(imagej("Rectangle 3", kAreaField), csv(3, kCsvArea));
    near(imagej("Circle 4", kAreaField), csv(4, kCsvArea));
    near(imagej("Concentric 5a", kAreaField), M_PI * std::pow(csv(5, kCsvRadius), 2));
    near(imagej("Concentric 5b", kAreaField), M_PI * std::pow(csv(5, kCsvOuter), 2));
    EXPECT_NEAR(imagej("Angle 6", kAngleField), csv(6, kCsvAngle), 0.1);
    near(imagej("Pencil 7", kLengthField), csv(7, kCsvLength));
    EXPECT_EQ(lines["Text 8"].at(kTypeField), "text") << output;
}

}  // namespace
