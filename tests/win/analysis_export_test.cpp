// The analysis export as the Windows build makes it: the cross-built libtiff writes a TIFF that
// tiffinfo reads with its calibration and overlay, and a German locale leaves the table's
// numbers with a dot.
#include "measure/analysis_export.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <clocale>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "win/file_readers.h"

namespace {

TEST(AnalysisExport, WindowsTiffReadsBackAndNumbersKeepTheirDot) {
    ASSERT_NE(std::setlocale(LC_ALL, "German_Germany.1252"), nullptr);
    char decimal[16];
    std::snprintf(decimal, sizeof decimal, "%.1f", 4.5);
    ASSERT_STREQ(decimal, "4,5");  // the locale is really in effect

    MeasureShape line;
    line.kind = kToolLine;
    line.p2x = 9;
    AnalysisScale scale;
    scale.pixelsPerUnit = 4.5f;
    scale.unit = kUnitMicrons;
    const std::string csv = MeasurementCsv({line}, scale);
    EXPECT_NE(csv.find("\r\n1,Line,2,,,,,,,,,,\xC2\xB5m,,4.5\r\n"), std::string::npos) << csv;

    const std::vector<uint8_t> bgr(16 * 8 * 3, 90);
    const std::vector<uint8_t> tiff = AnalysisTiff({bgr.data(), 16, 8, 16 * 3}, scale, {line});
    ASSERT_FALSE(tiff.empty());
    const std::wstring path = TestFilesFolder() + L"\\analysis_export.tif";
    std::ofstream(path.c_str(), std::ios::binary)
        .write(reinterpret_cast<const char*>(tiff.data()),
               static_cast<std::streamsize>(tiff.size()));
    const ProgramResult info = RunLinuxTool("tiffinfo " + Quoted(path));
    EXPECT_EQ(info.code, 0u) << info.output;
    for (const char* expected :
         {"Image Width: 16 Image Length: 8", "Resolution: 4.5, 4.5 (unitless)", "unit=um",
          "Tag 50838: 12,", "Photometric Interpretation: RGB"}) {
        EXPECT_NE(info.output.find(expected), std::string::npos) << expected << "\n" << info.output;
    }
    std::setlocale(LC_ALL, "C");
    DeleteFileW(path.c_str());
}

}  // namespace
