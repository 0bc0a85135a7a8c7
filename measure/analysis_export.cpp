#include "measure/analysis_export.h"

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "measure/calibration.h"

namespace {

// ---------------------------------------------------------------- measurement table

enum Column {
    kLength,
    kDistance,
    kWidth,
    kHeight,
    kArea,
    kPerimeter,
    kRadius,
    kOuterRadius,
    kDiameter,
    kAngle,
    kValueColumns
};

constexpr std::array<const char*, kValueColumns> kValueHeaders = {
    "Length",    "Distance", "Width",        "Height",   "Area",
    "Perimeter", "Radius",   "Outer radius", "Diameter", "Angle"};

// NaN marks a value the shape does not have.
using ShapeValues = std::array<float, kValueColumns>;

const char* ToolName(int32_t kind) {
    switch (kind) {
    case kToolLine: return "Line";
    case kToolParallel: return "Parallel";
    case kToolRectangle: return "Rectangle";
    case kToolCircle: return "Circle";
    case kToolConcentric: return "Concentric";
    case kToolAngle: return "Angle";
    case kToolPencil: return "Pencil";
    case kToolText: return "Text";
    default: return nullptr;
    }
}

// An infinite scale cannot come from a calibration record; it would give zero lengths and an
// unwritable resolution.
bool Calibrated(const AnalysisScale& scale) {
    return scale.pixelsPerUnit > 0.0f && std::isfinite(scale.pixelsPerUnit);
}

float PencilPixels(const MeasureShape& s) {
    double sum = 0.0;
    for (size_t i = 1; i < s.points.size(); ++i) {
        sum += PixelDistance(s.points[i - 1].x, s.points[i - 1].y, s.points[i].x, s.points[i].y);
    }
    return static_cast<float>(sum);
}

// The values the shape's labels show, with the same arithmetic; a part the overlay does not
// draw (a third point not placed) has no value either.
ShapeValues ValuesOf(const MeasureShape& s, float scale) {
    ShapeValues v;
    v.fill(std::numeric_limits<float>::quiet_NaN());
    switch (s.kind) {
    case kToolLine: v[kLength] = ToUnits(PixelDistance(s.p1x, s.p1y, s.p2x, s.p2y), scale); break;
    case kToolParallel:
        if (ThirdPartShown(s)) {
            v[kDistance] = ToUnits(ParallelGap(s.p1x, s.p1y, s.p2x, s.p2y, s.p3x, s.p3y), scale);
        }
        break;
    case kToolRectangle: {
        const RectangleFigures f = MeasureRectangle(s.p1x, s.p1y, s.p2x, s.p2y, scale);
        v[kWidth] = f.width;
        v[kHeight] = f.height;
        v[kArea] = f.area;
        v[kPerimeter] = 2.0f * (f.width + f.height);
        break;
    }
    case kToolCircle: {
        const CircleFigures f = MeasureCircle(PixelDistance(s.p1x, s.p1y, s.p2x, s.p2y), scale);
        v[kRadius] = f.radius;
        v[kDiameter] = 2.0f * f.radius;
        v[kPerimeter] = f.circumference;
        v[kArea] = f.area;
        break;
    }
    case kToolConcentric:
        v[kRadius] = ToUnits(PixelDistance(s.p1x, s.p1y, s.p2x, s.p2y), scale);
        if (OuterCircleShown(s)) {
            v[kOuterRadius] = ToUnits(PixelDistance(s.p1x, s.p1y, s.p3x, s.p3y), scale);
        }
        break;
    case kToolAngle:
        if (ThirdPartShown(s)) {
            v[kAngle] = AngleBetweenArms(s.p1x, s.p1y, s.p2x, s.p2y, s.p3x, s.p3y);
        }
        break;
    case kToolPencil: v[kLength] = ToUnits(PencilPixels(s), scale); break;
    default: break;
    }
    return v;
}

// Seven significant digits: all a float holds, without its last-bit noise; never a comma,
// whatever the locale.
std::string FormatNumber(float value) {
    if (std::isnan(value)) return {};
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 7);
    return std::string(text, result.ptr);
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// A lone surrogate, which a name typed into an edit control can hold, becomes U+FFFD.
std::string Utf8(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            AppendUtf8(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::u16string Utf16(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

using TableRow = std::vector<std::u16string>;

std::u16string UnitText(const AnalysisScale& scale) {
    if (!Calibrated(scale)) return u"px";
    return scale.unit == kUnitMillimetres ? u"mm" : u"\u00B5m";
}

std::vector<TableRow> MeasurementRows(const ShapeList& shapes, const AnalysisScale& scale) {
    std::vector<TableRow> rows;
    TableRow header = {u"Index", u"Tool"};
    for (const char* name : kValueHeaders) header.push_back(Utf16(name));
    header.insert(header.end(), {u"Unit", u"Calibration", u"Pixels per unit"});
    rows.push_back(std::move(header));

    const bool calibrated = Calibrated(scale);
    const float divisor = calibrated ? scale.pixelsPerUnit : 1.0f;
    const std::u16string unit = UnitText(scale);
    const std::u16string name = calibrated ? scale.calibrationName : std::u16string();
    const std::u16string perUnit = calibrated ? Utf16(FormatNumber(scale.pixelsPerUnit)) : u"";
    for (size_t i = 0; i < shapes.size(); ++i) {
        const char* tool = ToolName(shapes[i].kind);
        if (tool == nullptr) continue;
        TableRow row = {Utf16(std::to_string(i + 1)), Utf16(tool)};
        for (float value : ValuesOf(shapes[i], divisor)) row.push_back(Utf16(FormatNumber(value)));
        row.insert(row.end(), {unit, name, perUnit});
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string CsvField(std::u16string_view field) {
    std::string text = Utf8(field);
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// A tab or line break inside a field would split the pasted row.
std::u16string TsvField(std::u16string field) {
    std::replace_if(
        field.begin(), field.end(),
        [](char16_t c) { return c == u'\t' || c == u'\r' || c == u'\n'; }, u' ');
    return field;
}

// ---------------------------------------------------------------- ImageJ ROIs

// ROI record layout: a 64-byte header, the coordinates or text, a second 64-byte header, the
// name. Every number is big-endian.
constexpr size_t kRoiHeader = 64;
constexpr size_t kRoiHeader2 = 64;
constexpr int kRoiVersion = 228;
constexpr uint8_t kRoiPolygonLine = 5;  // ImageJ's segmented line
constexpr uint8_t kRoiRect = 1, kRoiOval = 2, kRoiLine = 3, kRoiAngle = 9;
constexpr int kRoiSubtypeText = 1;
constexpr int kRoiSubPixel = 128;
constexpr size_t kRoiMaxPoints = 65535;
constexpr int kTextFontSize = 18;
constexpr char16_t kTextFont[] = u"SansSerif";

class RoiBytes {
public:
    explicit RoiBytes(size_t bodySize) : bytes_(kRoiHeader + bodySize + kRoiHeader2, 0) {
        std::memcpy(bytes_.data(), "Iout", 4);
        Short(4, kRoiVersion);
        Int(60, static_cast<int32_t>(kRoiHeader + bodySize));
    }
    void Type(uint8_t type) { bytes_[6] = type; }
    // Left, top, right, bottom of the bounding rectangle; ImageJ keeps them as 16-bit numbers.
    void Bounds(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        Short(8, top);
        Short(10, left);
        Short(12, bottom);
        Short(14, right);
    }
    void Short(size_t at, int32_t v) {
        const int32_t c = std::clamp<int32_t>(v, -32768, 65535);
        bytes_[at] = static_cast<uint8_t>(c >> 8);
        bytes_[at + 1] = static_cast<uint8_t>(c);
    }
    void Int(size_t at, int32_t v) {
        const uint32_t u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(u >> (24 - 8 * i));
    }
    void Float(size_t at, float v) {
        uint32_t u;
        std::memcpy(&u, &v, sizeof u);
        Int(at, static_cast<int32_t>(u));
    }
    void Text(size_t at, std::u16string_view text) {
        for (size_t i = 0; i < text.size(); ++i) Short(at + 2 * i, text[i]);
    }
    std::vector<uint8_t> Named(std::u16string_view name) && {
        const size_t header2 = bytes_.size() - kRoiHeader2;
        const size_t nameAt = bytes_.size();
        bytes_.resize(nameAt + 2 * name.size());
        Int(header2 + 16, static_cast<int32_t>(nameAt));
        Int(header2 + 20, static_cast<int32_t>(name.size()));
        Text(nameAt, name);
        return std::move(bytes_);
    }

private:
    std::vector<uint8_t> bytes_;
};

struct FloatPoint {
    float x, y;
};

std::vector<uint8_t> LineRoi(FloatPoint a, FloatPoint b, std::u16string_view name) {
    RoiBytes roi(0);
    roi.Type(kRoiLine);
    roi.Bounds(static_cast<int32_t>(std::floor(std::min(a.x, b.x))),
               static_cast<int32_t>(std::floor(std::min(a.y, b.y))),
               static_cast<int32_t>(std::ceil(std::max(a.x, b.x))),
               static_cast<int32_t>(std::ceil(std::max(a.y, b.y))));
    roi.Float(18, a.x);
    roi.Float(22, a.y);
    roi.Float(26, b.x);
    roi.Float(30, b.y);
    return std::move(roi).Named(name);
}

std::vector<uint8_t> RectRoi(int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                             std::u16string_view name) {
    RoiBytes roi(0);
    roi.Type(kRoiRect);
    roi.Bounds(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2));
    return std::move(roi).Named(name);
}

// ImageJ measures an oval by the pixels of its whole-pixel bounding square, so the square's
// side is the diameter rounded to a whole pixel; the centre stays exact.
std::vector<uint8_t> OvalRoi(int32_t cx, int32_t cy, float radius, std::u16string_view name) {
    RoiBytes roi(0);
    roi.Type(kRoiOval);
    const float side = std::round(2.0f * radius);
    const float left = static_cast<float>(cx) - 0.5f * side;
    const float top = static_cast<float>(cy) - 0.5f * side;
    roi.Bounds(static_cast<int32_t>(std::floor(left)), static_cast<int32_t>(std::floor(top)),
               static_cast<int32_t>(std::ceil(left + side)),
               static_cast<int32_t>(std::ceil(top + side)));
    roi.Float(18, left);
    roi.Float(22, top);
    roi.Float(26, side);
    roi.Float(30, side);
    roi.Short(50, kRoiSubPixel);
    return std::move(roi).Named(name);
}

// Coordinates relative to the bounding rectangle: all x values, then all y values.
std::vector<uint8_t> PolygonRoi(uint8_t type, const std::vector<PicturePoint>& points,
                                std::u16string_view name) {
    int32_t left = points.front().x, top = points.front().y;
    int32_t right = left, bottom = top;
    for (const PicturePoint& p : points) {
        left = std::min(left, p.x);
        top = std::min(top, p.y);
        right = std::max(right, p.x);
        bottom = std::max(bottom, p.y);
    }
    const size_t n = points.size();
    RoiBytes roi(4 * n);
    roi.Type(type);
    roi.Bounds(left, top, right, bottom);
    roi.Short(16, static_cast<int32_t>(n));
    for (size_t i = 0; i < n; ++i) {
        roi.Short(kRoiHeader + 2 * i, points[i].x - left);
        roi.Short(kRoiHeader + 2 * n + 2 * i, points[i].y - top);
    }
    return std::move(roi).Named(name);
}

// ImageJ stores at most 65535 points; a longer stroke keeps every k-th point and its end.
std::vector<PicturePoint> StrokePoints(const MeasureShape& s) {
    std::vector<PicturePoint> points = s.points;
    if (points.size() == 1) points.push_back(points.front());
    if (points.size() > kRoiMaxPoints) {
        const size_t step = (points.size() + kRoiMaxPoints - 2) / (kRoiMaxPoints - 1);
        std::vector<PicturePoint> kept;
        for (size_t i = 0; i < points.size(); i += step) kept.push_back(points[i]);
        if (kept.back() != points.back()) kept.push_back(points.back());
        points = std::move(kept);
    }
    return points;
}

// The text box sits where the overlay draws it; its size is a guess at ImageJ's font, which
// ImageJ recomputes when it draws the text.
std::vector<uint8_t> TextRoi(const MeasureShape& s, std::u16string_view name) {
    const std::u16string_view font = kTextFont;
    const std::u16string_view text = s.text;
    RoiBytes roi(16 + 2 * font.size() + 2 * text.size() + 4);
    roi.Type(kRoiRect);
    const int32_t width = static_cast<int32_t>(text.size()) * kTextFontSize * 3 / 5 + 4;
    const int32_t height = kTextFontSize * 5 / 4 + 4;
    roi.Bounds(s.p1x + 2, s.p1y + 2, s.p1x + 2 + width, s.p1y + 2 + height);
    roi.Short(48, kRoiSubtypeText);
    roi.Int(kRoiHeader, kTextFontSize);
    roi.Int(kRoiHeader + 4, 0);  // plain, left-aligned
    roi.Int(kRoiHeader + 8, static_cast<int32_t>(font.size()));
    roi.Int(kRoiHeader + 12, static_cast<int32_t>(text.size()));
    roi.Text(kRoiHeader + 16, font);
    roi.Text(kRoiHeader + 16 + 2 * font.size(), text);
    return std::move(roi).Named(name);
}

FloatPoint At(int32_t x, int32_t y) { return {static_cast<float>(x), static_cast<float>(y)}; }

// The line through P3 parallel to the base and as long, centred on P3.
std::pair<FloatPoint, FloatPoint> ParallelLine(const MeasureShape& s) {
    const float hx = 0.5f * static_cast<float>(s.p2x - s.p1x);
    const float hy = 0.5f * static_cast<float>(s.p2y - s.p1y);
    const FloatPoint c = At(s.p3x, s.p3y);
    return {{c.x - hx, c.y - hy}, {c.x + hx, c.y + hy}};
}

void AddShapeRois(const MeasureShape& s, size_t index, std::vector<std::vector<uint8_t>>& rois) {
    const std::u16string name = Utf16(ToolName(s.kind)) + u' ' + Utf16(std::to_string(index));
    switch (s.kind) {
    case kToolLine: rois.push_back(LineRoi(At(s.p1x, s.p1y), At(s.p2x, s.p2y), name)); break;
    case kToolParallel:
        if (!ThirdPartShown(s)) {
            rois.push_back(LineRoi(At(s.p1x, s.p1y), At(s.p2x, s.p2y), name));
        } else {
            rois.push_back(LineRoi(At(s.p1x, s.p1y), At(s.p2x, s.p2y), name + u'a'));
            const auto [a, b] = ParallelLine(s);
            rois.push_back(LineRoi(a, b, name + u'b'));
        }
        break;
    case kToolRectangle: rois.push_back(RectRoi(s.p1x, s.p1y, s.p2x, s.p2y, name)); break;
    case kToolCircle:
        rois.push_back(OvalRoi(s.p1x, s.p1y, PixelDistance(s.p1x, s.p1y, s.p2x, s.p2y), name));
        break;
    case kToolConcentric: {
        const float inner = PixelDistance(s.p1x, s.p1y, s.p2x, s.p2y);
        if (!OuterCircleShown(s)) {
            rois.push_back(OvalRoi(s.p1x, s.p1y, inner, name));
        } else {
            rois.push_back(OvalRoi(s.p1x, s.p1y, inner, name + u'a'));
            rois.push_back(
                OvalRoi(s.p1x, s.p1y, PixelDistance(s.p1x, s.p1y, s.p3x, s.p3y), name + u'b'));
        }
        break;
    }
    case kToolAngle:
        if (!ThirdPartShown(s)) {
            rois.push_back(LineRoi(At(s.p1x, s.p1y), At(s.p2x, s.p2y), name));
        } else {
            // ImageJ takes the middle point as the vertex.
            rois.push_back(
                PolygonRoi(kRoiAngle, {{s.p2x, s.p2y}, {s.p1x, s.p1y}, {s.p3x, s.p3y}}, name));
        }
        break;
    case kToolPencil:
        if (!s.points.empty()) rois.push_back(PolygonRoi(kRoiPolygonLine, StrokePoints(s), name));
        break;
    case kToolText: rois.push_back(TextRoi(s, name)); break;
    default: break;
    }
}

// ---------------------------------------------------------------- TIFF

constexpr ttag_t kTagIjByteCounts = 50838;
constexpr ttag_t kTagIjMetadata = 50839;
constexpr uint32_t kIjMagic = 0x494A494A;    // "IJIJ"
constexpr uint32_t kIjOverlay = 0x6F766572;  // "over"

// ImageJ reads the header's numbers in the file's byte order and hands each ROI record to its
// ROI reader as it stands.
struct IjMetadata {
    std::vector<uint32_t> counts;
    std::vector<uint8_t> bytes;
};

void AppendLittleEndian(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

IjMetadata OverlayMetadata(const std::vector<std::vector<uint8_t>>& rois) {
    IjMetadata meta;
    AppendLittleEndian(meta.bytes, kIjMagic);
    AppendLittleEndian(meta.bytes, kIjOverlay);
    AppendLittleEndian(meta.bytes, static_cast<uint32_t>(rois.size()));
    meta.counts.push_back(static_cast<uint32_t>(meta.bytes.size()));
    for (const std::vector<uint8_t>& roi : rois) {
        meta.counts.push_back(static_cast<uint32_t>(roi.size()));
        meta.bytes.insert(meta.bytes.end(), roi.begin(), roi.end());
    }
    return meta;
}

struct MemoryFile {
    std::vector<uint8_t> bytes;
    uint64_t position = 0;
};

MemoryFile& FileOf(thandle_t handle) { return *static_cast<MemoryFile*>(handle); }

tmsize_t MemoryRead(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryFile& file = FileOf(handle);
    if (size < 0 || file.position >= file.bytes.size()) return 0;
    const uint64_t n =
        std::min<uint64_t>(static_cast<uint64_t>(size), file.bytes.size() - file.position);
    std::memcpy(buffer, file.bytes.data() + file.position, n);
    file.position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t MemoryWrite(thandle_t handle, void* buffer, tmsize_t size) {
    MemoryFile& file = FileOf(handle);
    if (size < 0) return -1;
    const uint64_t end = file.position + static_cast<uint64_t>(size);
    // No exception may cross libtiff's C frames: running out of memory is a failed write.
    try {
        if (end > file.bytes.size()) file.bytes.resize(end);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    std::memcpy(file.bytes.data() + file.position, buffer, static_cast<size_t>(size));
    file.position = end;
    return size;
}

toff_t MemorySeek(thandle_t handle, toff_t offset, int whence) {
    MemoryFile& file = FileOf(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = file.position;
    if (whence == SEEK_END) base = file.bytes.size();
    file.position = base + offset;
    return file.position;
}

int MemoryClose(thandle_t) { return 0; }
toff_t MemorySize(thandle_t handle) { return FileOf(handle).bytes.size(); }
int MemoryMap(thandle_t, void**, toff_t*) { return 0; }
void MemoryUnmap(thandle_t, void*, toff_t) {}

// libtiff's messages would go to the console or a message box; a failed call is seen by its
// result instead.
int QuietHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

const TIFFFieldInfo kIjFields[] = {
    {kTagIjByteCounts, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_LONG, FIELD_CUSTOM, 1, 1,
     const_cast<char*>("IJMetadataByteCounts")},
    {kTagIjMetadata, TIFF_VARIABLE2, TIFF_VARIABLE2, TIFF_BYTE, FIELD_CUSTOM, 1, 1,
     const_cast<char*>("IJMetadata")},
};

// ImageJ takes its pixel width as 1 / XResolution in the description's unit. It turns "um"
// into µm ("micron" would stay a unit of its own, "microns"); the text stays ASCII because
// ImageJ decodes it with the platform's code page.
std::string ImageJDescription(const AnalysisScale& scale) {
    std::string text = "ImageJ=1.53t\n";
    if (Calibrated(scale)) text += scale.unit == kUnitMillimetres ? "unit=mm\n" : "unit=um\n";
    return text;
}

bool WriteTags(TIFF* tif, const AnalysisPicture& picture, const AnalysisScale& scale,
               const std::string& description) {
    const uint32_t width = static_cast<uint32_t>(picture.width);
    const uint32_t height = static_cast<uint32_t>(picture.height);
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width) &&
              TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height) &&
              TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) &&
              TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3) &&
              TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
              TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
              // One strip, as ImageJ writes its own files.
              TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height) &&
              TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, description.c_str()) &&
              TIFFSetField(tif, TIFFTAG_SOFTWARE, "Tessaloom");
    if (ok && Calibrated(scale)) {
        ok = TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<double>(scale.pixelsPerUnit)) &&
             TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<double>(scale.pixelsPerUnit)) &&
             TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_NONE);
    }
    return ok;
}

bool WriteOverlay(TIFF* tif, const ShapeList& shapes) {
    std::vector<std::vector<uint8_t>> rois;
    for (size_t i = 0; i < shapes.size(); ++i) AddShapeRois(shapes[i], i + 1, rois);
    if (rois.empty()) return true;
    if (TIFFMergeFieldInfo(tif, kIjFields, 2) != 0) return false;
    const IjMetadata meta = OverlayMetadata(rois);
    return TIFFSetField(tif, kTagIjByteCounts, static_cast<uint32_t>(meta.counts.size()),
                        meta.counts.data()) &&
           TIFFSetField(tif, kTagIjMetadata, static_cast<uint32_t>(meta.bytes.size()),
                        meta.bytes.data());
}

bool WritePixels(TIFF* tif, const AnalysisPicture& picture) {
    std::vector<uint8_t> row(static_cast<size_t>(picture.width) * 3);
    for (int32_t y = 0; y < picture.height; ++y) {
        const uint8_t* bgr =
            picture.bgr + static_cast<size_t>(y) * static_cast<size_t>(picture.stride);
        for (size_t x = 0; x < row.size(); x += 3) {
            row[x] = bgr[x + 2];
            row[x + 1] = bgr[x + 1];
            row[x + 2] = bgr[x];
        }
        if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) != 1) return false;
    }
    return true;
}

bool ValidPicture(const AnalysisPicture& p) {
    return p.bgr != nullptr && p.width > 0 && p.height > 0 &&
           static_cast<int64_t>(p.stride) >= static_cast<int64_t>(p.width) * 3;
}

}  // namespace

std::string MeasurementCsv(const ShapeList& shapes, const AnalysisScale& scale) {
    std::string csv = "\xEF\xBB\xBF";
    for (const TableRow& row : MeasurementRows(shapes, scale)) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0) csv += ',';
            csv += CsvField(row[i]);
        }
        csv += "\r\n";
    }
    return csv;
}

std::u16string MeasurementTsv(const ShapeList& shapes, const AnalysisScale& scale) {
    std::u16string tsv;
    for (const TableRow& row : MeasurementRows(shapes, scale)) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i > 0) tsv += u'\t';
            tsv += TsvField(row[i]);
        }
        tsv += u"\r\n";
    }
    return tsv;
}

std::vector<uint8_t> AnalysisTiff(const AnalysisPicture& picture, const AnalysisScale& scale,
                                  const ShapeList& shapes) {
    if (!ValidPicture(picture)) return {};
    MemoryFile file;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return {};
    TIFFOpenOptionsSetErrorHandlerExtR(options, QuietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, QuietHandler, nullptr);
    // Little-endian, the byte order the IJ metadata header above is written in.
    TIFF* tif = TIFFClientOpenExt("analysis.tif", "wl", &file, MemoryRead, MemoryWrite, MemorySeek,
                                  MemoryClose, MemorySize, MemoryMap, MemoryUnmap, options);
    TIFFOpenOptionsFree(options);
    if (tif == nullptr) return {};
    const bool ok = WriteTags(tif, picture, scale, ImageJDescription(scale)) &&
                    WriteOverlay(tif, shapes) && WritePixels(tif, picture) &&
                    TIFFWriteDirectory(tif);
    TIFFClose(tif);
    if (!ok) return {};
    return std::move(file.bytes);
}
