// Measurements taken out of the program: a table of every shape's values (CSV file,
// clipboard text) and a TIFF that ImageJ opens calibrated, with the shapes as its overlay.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "measure/calibration_types.h"
#include "measure/shapes.h"

// pixelsPerUnit <= 0 means uncalibrated: values are in pixels.
struct AnalysisScale {
    float pixelsPerUnit = kNoCalibrationScale;
    int32_t unit = kUnitMillimetres;
    std::u16string calibrationName;
};

// The picture the shapes were drawn on, top-down rows of BGR bytes.
struct AnalysisPicture {
    const uint8_t* bgr = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
};

// UTF-8 with a byte-order mark, a header row, one row per shape, numbers with a dot.
std::string MeasurementCsv(const ShapeList& shapes, const AnalysisScale& scale);
// The same table as tab-separated text, for the clipboard.
std::u16string MeasurementTsv(const ShapeList& shapes, const AnalysisScale& scale);
// The whole TIFF file; empty when it cannot be made.
std::vector<uint8_t> AnalysisTiff(const AnalysisPicture& picture, const AnalysisScale& scale,
                                  const ShapeList& shapes);
