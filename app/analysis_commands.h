// Measurements taken out of the program from the camera view's menu: the picture with its
// calibration and shapes saved for an analysis program, and the table on the clipboard.
// Main thread only.
#pragma once
#include <string>

struct ShownPicture;


// The shown frame as a calibrated TIFF with the shapes as its overlay, and the table as a CSV
// file of the same name beside it; announced and listed like a photo. Only while frames flow.
void SaveForAnalysis();
// The table as tab-separated text on the clipboard, for pasting into a spreadsheet.
void CopyMeasurements();
// The analysis TIFF alone: the picture with the applied calibration and the shapes. False,
// with no file left behind, when it could not be written; an existing file is never replaced.
bool WriteAnalysisPicture(const std::wstring& tiffPath, const ShownPicture& shown);
