#include "simcam/scene.h"

#include <turbojpeg.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// ---- Layout, in frame widths around the frame centre ------------------------------------

constexpr double kTicksPerWidth = 64.0;  // 0.01 mm divisions across the frame width
constexpr int kDivisions = 50;           // the printed scale: 0.5 mm
constexpr double kRulerBelowCentre = 0.16;
// The band (in tick spacings around the ruler line) kept free of cells, so the scale
// stays readable.
constexpr double kRulerBandAbove = 5.4;
constexpr double kRulerBandBelow = 2.6;

// Slow stage drift: an uneven loop of a few pixels repeating every 240 frames.
constexpr double kDriftX = 0.004, kDriftY = 0.0025;
constexpr uint32_t kDriftPeriodX = 120, kDriftPeriodY = 240;

constexpr double kPi = 3.14159265358979323846;

// ---- Deterministic randomness -----------------------------------------------------------

inline uint32_t Hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x21f0aaadu;
    x ^= x >> 15;
    x *= 0x735a2d97u;
    x ^= x >> 15;
    return x;
}

inline uint64_t SplitMix64(uint64_t& state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

struct Rng {
    uint64_t state;
    double Uniform() { return static_cast<double>(SplitMix64(state) >> 11) * 0x1.0p-53; }
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    double Gauss() {
        const double u = std::max(Uniform(), 1e-12), v = Uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * kPi * v);
    }
};

inline float Lattice(int x, int y, uint32_t seed) {
    const uint32_t h = Hash32(static_cast<uint32_t>(x) * 0x9e3779b1u ^
                              Hash32(static_cast<uint32_t>(y) + seed * 0x85ebca6bu));
    return static_cast<float>(h) * (1.0f / 4294967296.0f);
}

// Smoothly interpolated lattice noise in 0..1 with features about one unit apart.
float ValueNoise(float x, float y, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    const float a = Lattice(ix, iy, seed), b = Lattice(ix + 1, iy, seed);
    const float c = Lattice(ix, iy + 1, seed), d = Lattice(ix + 1, iy + 1, seed);
    const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

inline float Clamp01(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }
inline float Sq(float x) { return x * x; }
inline uint8_t Clamp255(int x) { return static_cast<uint8_t>(x < 0 ? 0 : (x > 255 ? 255 : x)); }

// ---- The specimen, in frame widths ------------------------------------------------------

// An irregular ellipse: semi-axes a, b turned by an angle, its outline wobbled by a few
// lobes so cells do not look drawn with a compass.
struct Blob {
    float cx = 0, cy = 0, a = 1, b = 1, cosT = 1, sinT = 0;
    float lobes[6] = {};  // cos and sin weights of 2, 3 and 5 lobes
    float reach = 1;      // bounding radius
    float meanRadius = 1;

    // Outline-relative distance: 0 at the centre, 1 on the outline.
    float Distance(float u, float v) const {
        const float du = u - cx, dv = v - cy;
        const float p = (du * cosT + dv * sinT) / a, q = (dv * cosT - du * sinT) / b;
        const float rho = std::sqrt(p * p + q * q);
        if (rho < 1e-6f) return 0.0f;
        const float c1 = p / rho, s1 = q / rho;
        const float c2 = c1 * c1 - s1 * s1, s2 = 2.0f * c1 * s1;
        const float c3 = c2 * c1 - s2 * s1, s3 = s2 * c1 + c2 * s1;
        const float c5 = c3 * c2 - s3 * s2, s5 = s3 * c2 + c3 * s2;
        const float m = 1.0f + lobes[0] * c2 + lobes[1] * s2 + lobes[2] * c3 + lobes[3] * s3 +
                        lobes[4] * c5 + lobes[5] * s5;
        return rho / m;
    }
};

Blob MakeBlob(Rng& rng, double cx, double cy, double a, double b, double wobble) {
    Blob blob;
    blob.cx = static_cast<float>(cx);
    blob.cy = static_cast<float>(cy);
    blob.a = static_cast<float>(a);
    blob.b = static_cast<float>(b);
    const double angle = rng.Range(0.0, kPi);
    blob.cosT = static_cast<float>(std::cos(angle));
    blob.sinT = static_cast<float>(std::sin(angle));
    const double weights[3] = {wobble, wobble * 0.6, wobble * 0.3};
    double total = 0;
    for (int k = 0; k < 3; ++k) {
        const double amp = weights[k] * rng.Range(0.3, 1.0), phase = rng.Range(0.0, 2 * kPi);
        blob.lobes[2 * k] = static_cast<float>(amp * std::cos(phase));
        blob.lobes[2 * k + 1] = static_cast<float>(amp * std::sin(phase));
        total += amp;
    }
    blob.reach = static_cast<float>(std::max(a, b) * (1.0 + total));
    blob.meanRadius = static_cast<float>(std::sqrt(a * b));
    return blob;
}

// Stains as optical density per channel (B, G, R): light passing through keeps exp(-od).
struct Cell {
    Blob body, nucleus;
    float cyto[3], nuc[3];
    float membrane;                               // extra stain along the outline, times cyto
    float softness;                               // >1: lies a little out of the focal plane
    float foldAngle, foldOffset, foldBend, fold;  // a crease across flat cells
    float nucleolusU, nucleolusV, nucleolusR;
    uint32_t seed;
};

struct Fibre {
    std::vector<float> u, v;  // polyline through the curve
    float halfWidth;
    float od[3];
    uint32_t seed;
};

// Dust and debris: soft dots, some out of focus with a faint ring.
struct Speck {
    float u, v, radius, od;
    bool ring;
};

struct Specimen {
    std::vector<Cell> cells;
    std::vector<Fibre> fibres;
    std::vector<Speck> specks;
};

// Placed once from a fixed seed; the domain covers 4:3 and 5:4 frames plus the drift.
Specimen BuildSpecimen() {
    Specimen s;
    Rng rng{0x7e55a100d5ca1eull};
    const double rulerTop = kRulerBelowCentre - kRulerBandAbove / kTicksPerWidth;
    const double rulerBottom = kRulerBelowCentre + kRulerBandBelow / kTicksPerWidth;

    double clusters[9][2];
    for (auto& c : clusters) {
        c[0] = rng.Range(-0.5, 0.5);
        c[1] = rng.Range(-0.45, 0.45);
    }
    int attempts = 0;
    while (s.cells.size() < 64 && attempts++ < 5000) {
        double cx, cy;
        if (rng.Uniform() < 0.65) {
            const auto& c = clusters[static_cast<int>(rng.Uniform() * 9) % 9];
            cx = c[0] + 0.08 * rng.Gauss();
            cy = c[1] + 0.08 * rng.Gauss();
        } else {
            cx = rng.Range(-0.56, 0.56);
            cy = rng.Range(-0.5, 0.5);
        }
        const bool big = rng.Uniform() < 0.62;
        const double r = big ? rng.Range(0.04, 0.066) : rng.Range(0.019, 0.03);
        const double aspect = big ? rng.Range(0.62, 0.95) : rng.Range(0.82, 1.0);
        Blob body = MakeBlob(rng, cx, cy, r, r * aspect, big ? 0.09 : 0.05);
        if (cy + body.reach > rulerTop && cy - body.reach < rulerBottom) continue;
        if (std::fabs(cx) > 0.56 || std::fabs(cy) > 0.5) continue;
        bool crowded = false;
        for (const Cell& other : s.cells) {
            const double d = std::hypot(other.body.cx - cx, other.body.cy - cy);
            if (d < 0.62 * (other.body.meanRadius + body.meanRadius)) {
                crowded = true;
                break;
            }
        }
        if (crowded) continue;

        Cell cell{};
        cell.body = body;
        cell.seed = Hash32(static_cast<uint32_t>(s.cells.size()) + 0x51u);
        // Pink (eosin-like) or lilac cytoplasm; small cells take the stain more densely.
        const bool pink = rng.Uniform() < 0.6;
        const double dens = big ? rng.Range(0.45, 0.9) : rng.Range(0.8, 1.15);
        const double cyto[3] = {pink ? 0.20 : 0.26, pink ? 0.50 : 0.46, pink ? 0.07 : 0.20};
        for (int c = 0; c < 3; ++c) cell.cyto[c] = static_cast<float>(cyto[c] * dens);
        cell.membrane = static_cast<float>(rng.Range(0.7, 1.5));
        cell.softness =
            static_cast<float>(rng.Uniform() < 0.35 ? rng.Range(2.0, 4.5) : rng.Range(1.0, 1.4));
        cell.foldAngle = static_cast<float>(rng.Range(0.0, kPi));
        cell.foldOffset = static_cast<float>(rng.Range(-0.5, 0.5));
        cell.foldBend = static_cast<float>(rng.Range(-0.8, 0.8));
        cell.fold = big && rng.Uniform() < 0.45 ? static_cast<float>(rng.Range(0.25, 0.5)) : 0.0f;

        // The nucleus sits off centre; big flat cells have a small one.
        const double nr = r * (big ? rng.Range(0.15, 0.22) : rng.Range(0.48, 0.62));
        const double off = r * rng.Range(0.0, big ? 0.3 : 0.15), dir = rng.Range(0.0, 2 * kPi);
        const double nx = cx + off * std::cos(dir), ny = cy + off * std::sin(dir);
        cell.nucleus = MakeBlob(rng, nx, ny, nr, nr * rng.Range(0.75, 0.95), 0.07);
        const double ndens = rng.Range(0.8, 1.2) * (big ? 1.0 : 1.15);
        const double nuc[3] = {0.62, 1.22, 0.92};
        for (int c = 0; c < 3; ++c) cell.nuc[c] = static_cast<float>(nuc[c] * ndens);
        const double nOff = nr * rng.Range(0.0, 0.4), nDir = rng.Range(0.0, 2 * kPi);
        cell.nucleolusU = static_cast<float>(nx + nOff * std::cos(nDir));
        cell.nucleolusV = static_cast<float>(ny + nOff * std::sin(nDir));
        cell.nucleolusR = static_cast<float>(nr * rng.Range(0.16, 0.26));
        s.cells.push_back(cell);
    }

    // A few fibres sweeping across: cubic curves sampled densely.
    const struct {
        double p[4][2];
        double halfWidth;
        double od[3];
    } fibres[] = {
        {{{-0.62, -0.30}, {-0.20, -0.05}, {0.10, -0.42}, {0.62, -0.18}},
         0.0016,
         {0.28, 0.42, 0.16}},
        {{{-0.35, 0.55}, {-0.28, 0.25}, {0.05, 0.02}, {0.30, -0.55}}, 0.0011, {0.40, 0.55, 0.33}},
        {{{0.62, 0.42}, {0.35, 0.30}, {0.30, 0.02}, {0.05, -0.08}}, 0.0023, {0.16, 0.26, 0.10}},
    };
    uint32_t fibreSeed = 0x0f1b;
    for (const auto& f : fibres) {
        Fibre fibre;
        const int n = 160;
        for (int i = 0; i <= n; ++i) {
            const double t = static_cast<double>(i) / n, m = 1 - t;
            const double b0 = m * m * m, b1 = 3 * m * m * t, b2 = 3 * m * t * t, b3 = t * t * t;
            fibre.u.push_back(static_cast<float>(b0 * f.p[0][0] + b1 * f.p[1][0] + b2 * f.p[2][0] +
                                                 b3 * f.p[3][0]));
            fibre.v.push_back(static_cast<float>(b0 * f.p[0][1] + b1 * f.p[1][1] + b2 * f.p[2][1] +
                                                 b3 * f.p[3][1]));
        }
        fibre.halfWidth = static_cast<float>(f.halfWidth);
        for (int c = 0; c < 3; ++c) fibre.od[c] = static_cast<float>(f.od[c]);
        fibre.seed = fibreSeed++;
        s.fibres.push_back(std::move(fibre));
    }

    while (s.specks.size() < 34) {
        Speck sp;
        sp.u = static_cast<float>(rng.Range(-0.56, 0.56));
        sp.v = static_cast<float>(rng.Range(-0.5, 0.5));
        sp.ring = s.specks.size() < 4;
        sp.radius =
            static_cast<float>(sp.ring ? rng.Range(0.012, 0.022) : rng.Range(0.0012, 0.0045));
        sp.od = static_cast<float>(sp.ring ? rng.Range(0.05, 0.08) : rng.Range(0.15, 0.7));
        const double reach = 2.5 * sp.radius;
        if (sp.v + reach > rulerTop && sp.v - reach < rulerBottom) continue;
        s.specks.push_back(sp);
    }
    return s;
}

// ---- The stage micrometer's printing ----------------------------------------------------

// 5 x 7 glyphs, one row per byte, bit 4 the leftmost column.
struct Glyph {
    char ch;
    uint8_t rows[7];
};
constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x0E, 0x11, 0x01, 0x06, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
    {'m', {0x00, 0x00, 0x1A, 0x15, 0x15, 0x15, 0x15}},
};

const Glyph* FindGlyph(char ch) {
    for (const Glyph& g : kFont)
        if (g.ch == ch) return &g;
    return nullptr;  // a space
}

// ---- Per-size cache ---------------------------------------------------------------------

// Optical density to transmittance (0..255) in steps of 1/512.
constexpr int kOdSteps = 512, kOdTable = 8 * kOdSteps;

// Box blur of radius r along rows then columns (edges repeat), for interleaved BGR.
void BoxBlur(const uint8_t* src, uint8_t* dst, int w, int h, int r) {
    const int n = 2 * r + 1;
    const uint32_t inv = (65536u + n / 2) / n;
    std::vector<uint8_t> tmp(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = src + static_cast<size_t>(y) * w * 3;
        uint8_t* out = tmp.data() + static_cast<size_t>(y) * w * 3;
        for (int c = 0; c < 3; ++c) {
            uint32_t sum = 0;
            for (int k = -r; k <= r; ++k) sum += in[std::clamp(k, 0, w - 1) * 3 + c];
            for (int x = 0; x < w; ++x) {
                out[x * 3 + c] = static_cast<uint8_t>((sum * inv + 32768) >> 16);
                sum += in[std::min(x + r + 1, w - 1) * 3 + c];
                sum -= in[std::max(x - r, 0) * 3 + c];
            }
        }
    }
    const size_t row = static_cast<size_t>(w) * 3;
    std::vector<uint32_t> sums(row, 0);
    for (int k = -r; k <= r; ++k) {
        const uint8_t* in = tmp.data() + std::clamp(k, 0, h - 1) * row;
        for (size_t i = 0; i < row; ++i) sums[i] += in[i];
    }
    for (int y = 0; y < h; ++y) {
        uint8_t* out = dst + y * row;
        const uint8_t* add = tmp.data() + std::min(y + r + 1, h - 1) * row;
        const uint8_t* sub = tmp.data() + std::max(y - r, 0) * row;
        for (size_t i = 0; i < row; ++i) {
            out[i] = static_cast<uint8_t>((sums[i] * inv + 32768) >> 16);
            sums[i] += add[i];
            sums[i] -= sub[i];
        }
    }
}

}  // namespace

// Everything that depends only on the frame size: the specimen's transmittance on a canvas
// larger than the frame by the drift, and the lamp's light falling off toward the corners.
struct SceneRenderer::Cache {
    int width, height, margin, cw, ch;
    std::vector<uint8_t> canvas;    // cw x ch BGR transmittance, 255 = clear glass
    std::vector<uint8_t> light;     // width x height BGR illumination
    std::vector<uint8_t> blurred;   // canvas blurred, made when sharpness first leaves neutral
    std::vector<uint8_t> adjusted;  // canvas at adjustedSharpness
    int adjustedSharpness = -1;
    std::vector<uint8_t> noiseBytes;
    std::vector<int16_t> gained, luma;  // one row, for the saturation path

    Cache(int w, int h);
    const uint8_t* Source(int sharpness);

private:
    void BuildCanvas();
    void BuildLight();
};

SceneRenderer::Cache::Cache(int w, int h) : width(w), height(h) {
    margin = static_cast<int>(std::ceil(std::max(kDriftX, kDriftY) * w)) + 1;
    cw = w + 2 * margin;
    ch = h + 2 * margin;
    BuildCanvas();
    BuildLight();
    noiseBytes.resize((static_cast<size_t>(w) * 3 + 7) / 8 * 8);
    gained.resize(static_cast<size_t>(w) * 3);
    luma.resize(static_cast<size_t>(w) * 3);
}

void SceneRenderer::Cache::BuildLight() {
    light.resize(static_cast<size_t>(width) * height * 3);
    // Warm-white lamp; a round field that falls off gently, more steeply near the corners.
    const float peak[3] = {212.0f, 231.0f, 242.0f};
    const float cx = width * 0.5f, cy = height * 0.5f;
    const float halfDiagonal = std::sqrt(cx * cx + cy * cy);
    for (int y = 0; y < height; ++y) {
        uint8_t* out = light.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const float r = std::sqrt(Sq(x + 0.5f - cx) + Sq(y + 0.5f - cy)) / halfDiagonal;
            const float t = Clamp01((r - 0.7f) / 0.34f);
            const float fall = (1.0f - 0.2f * r * r) * (1.0f - 0.36f * t * t * (3.0f - 2.0f * t));
            for (int c = 0; c < 3; ++c)
                out[x * 3 + c] = static_cast<uint8_t>(peak[c] * fall + 0.5f);
        }
    }
}

void SceneRenderer::Cache::BuildCanvas() {
    const Specimen specimen = BuildSpecimen();
    canvas.resize(static_cast<size_t>(cw) * ch * 3);
    const float w = static_cast<float>(width);
    const float px = 1.0f / w;  // one pixel in frame widths
    const float halfH = height * 0.5f;
    auto sceneU = [&](int i) { return (i - margin + 0.5f) / w - 0.5f; };
    auto sceneV = [&](int j) { return (j - margin + 0.5f - halfH) / w; };
    auto canvasX = [&](double u) { return (u + 0.5) * width + margin - 0.5; };
    auto canvasY = [&](double v) { return v * width + halfH + margin - 0.5; };

    uint8_t expTable[kOdTable];
    for (int i = 0; i < kOdTable; ++i)
        expTable[i] = static_cast<uint8_t>(std::lround(255.0 * std::exp(-double(i) / kOdSteps)));

    const int stripRows = 32;
    std::vector<float> od(static_cast<size_t>(stripRows) * cw * 3);
    std::vector<float> cover(static_cast<size_t>(stripRows) * cw);
    std::vector<float> fibreDist(static_cast<size_t>(stripRows) * cw, 1e9f);  // kept at "far"

    // Pixel rectangle [x0, x1) x [y0, y1) of a scene disc, clipped to the strip.
    struct Span {
        int x0, x1, y0, y1;
    };
    int stripY0 = 0, stripY1 = 0;
    auto spanOf = [&](double u, double v, double reach) {
        const double rp = reach * width + 2.0;
        Span s;
        s.x0 = std::max(0, static_cast<int>(std::floor(canvasX(u) - rp)));
        s.x1 = std::min(cw, static_cast<int>(std::ceil(canvasX(u) + rp)) + 1);
        s.y0 = std::max(stripY0, static_cast<int>(std::floor(canvasY(v) - rp)));
        s.y1 = std::min(stripY1, static_cast<int>(std::ceil(canvasY(v) + rp)) + 1);
        return s;
    };

    // The micrometer in canvas area coordinates (pixel i spans [i, i + 1)).
    const MicrometerPlacement ruler = PlaceMicrometer(width, height, 0);
    const double s = ruler.spacing;
    const double rulerX0 = ruler.originX + 0.5 + margin;
    const double rulerY = ruler.baselineY + 0.5 + margin;
    const double tickHalf = std::max(0.5, 0.1 * s);
    auto addBox = [&](double x0, double x1, double y0, double y1) {
        const int j0 = std::max(stripY0, static_cast<int>(std::floor(y0)));
        const int j1 = std::min(stripY1, static_cast<int>(std::ceil(y1)));
        const int i0 = std::max(0, static_cast<int>(std::floor(x0)));
        const int i1 = std::min(cw, static_cast<int>(std::ceil(x1)));
        for (int j = j0; j < j1; ++j) {
            const double oy = std::min<double>(j + 1, y1) - std::max<double>(j, y0);
            for (int i = i0; i < i1; ++i) {
                const double ox = std::min<double>(i + 1, x1) - std::max<double>(i, x0);
                float& c = cover[static_cast<size_t>(j - stripY0) * cw + i];
                c = std::max(c, static_cast<float>(ox * oy));
            }
        }
    };
    // Text with its top left corner at (left, top), glyphs `size` high, 4 x 4 samples a pixel.
    auto addText = [&](const char* text, double left, double top, double size) {
        const double gw = size * 5.0 / 7.0, advance = size * 6.0 / 7.0;
        for (int n = 0; text[n]; ++n) {
            const Glyph* g = FindGlyph(text[n]);
            const double gx = left + n * advance;
            if (!g) continue;
            const int j0 = std::max(stripY0, static_cast<int>(std::floor(top)));
            const int j1 = std::min(stripY1, static_cast<int>(std::ceil(top + size)));
            const int i0 = std::max(0, static_cast<int>(std::floor(gx)));
            const int i1 = std::min(cw, static_cast<int>(std::ceil(gx + gw)));
            for (int j = j0; j < j1; ++j) {
                for (int i = i0; i < i1; ++i) {
                    int hits = 0;
                    for (int sy = 0; sy < 4; ++sy) {
                        const double fy = (j + (sy + 0.5) / 4.0 - top) / size * 7.0;
                        if (fy < 0 || fy >= 7) continue;
                        for (int sx = 0; sx < 4; ++sx) {
                            const double fx = (i + (sx + 0.5) / 4.0 - gx) / gw * 5.0;
                            if (fx < 0 || fx >= 5) continue;
                            hits +=
                                (g->rows[static_cast<int>(fy)] >> (4 - static_cast<int>(fx))) & 1;
                        }
                    }
                    float& c = cover[static_cast<size_t>(j - stripY0) * cw + i];
                    c = std::max(c, hits / 16.0f);
                }
            }
        }
    };
    auto textWidth = [](const char* text, double size) {
        return (std::strlen(text) * 6.0 - 1.0) * size / 7.0;
    };

    for (stripY0 = 0; stripY0 < ch; stripY0 += stripRows) {
        stripY1 = std::min(ch, stripY0 + stripRows);
        const int rows = stripY1 - stripY0;

        // Mounting medium: faint blotches and fine grain.
        for (int j = 0; j < rows; ++j) {
            const float v = sceneV(stripY0 + j);
            float* o = &od[static_cast<size_t>(j) * cw * 3];
            for (int i = 0; i < cw; ++i) {
                const float u = sceneU(i);
                const float blotch = ValueNoise(u * 14.0f, v * 14.0f, 11);
                const float grain = ValueNoise(u * 330.0f, v * 330.0f, 12);
                const float d = 0.35f + 0.9f * blotch * blotch + 0.5f * (grain - 0.5f);
                o[i * 3 + 0] = 0.045f * d;
                o[i * 3 + 1] = 0.035f * d;
                o[i * 3 + 2] = 0.028f * d;
            }
        }

        for (const Cell& cell : specimen.cells) {
            const Span sp = spanOf(cell.body.cx, cell.body.cy, cell.body.reach);
            const float aa = 1.3f * cell.softness * px / cell.body.meanRadius;
            const float aaN = 1.2f * cell.softness * px / cell.nucleus.meanRadius;
            const float ringW = std::max(0.035f, 1.1f * aa);
            const float detail = 1.0f / cell.softness;  // defocus washes texture out
            const float nr2 = Sq(cell.nucleolusR);
            const float foldC = std::cos(cell.foldAngle), foldS = std::sin(cell.foldAngle);
            const float invR = 1.0f / cell.body.meanRadius;
            for (int j = sp.y0; j < sp.y1; ++j) {
                const float v = sceneV(j);
                float* o = &od[static_cast<size_t>(j - stripY0) * cw * 3];
                for (int i = sp.x0; i < sp.x1; ++i) {
                    const float u = sceneU(i);
                    const float d = cell.body.Distance(u, v);
                    if (d > 1.0f + aa) continue;
                    const float cov = Clamp01((1.0f - d) / aa + 0.5f);
                    const float mottle = ValueNoise(u * 70.0f, v * 70.0f, cell.seed);
                    const float grain = ValueNoise(u * 420.0f, v * 420.0f, cell.seed + 1);
                    const float speckle = ValueNoise(u * 900.0f, v * 900.0f, cell.seed + 4);
                    float dens = cov *
                                 (0.55f + 0.5f * mottle +
                                  detail * (0.4f * (grain - 0.5f) +
                                            0.9f * Clamp01((speckle - 0.78f) * 6.0f))) *
                                 (0.8f + 0.35f * d * d);
                    dens += cell.membrane * std::exp(-Sq((d - 0.975f) / ringW)) *
                            std::min(1.0f, 1.5f * detail);
                    if (cell.fold > 0.0f) {
                        // Distance to a gently bent line across the cell, in cell radii.
                        const float pu = (u - cell.body.cx) * invR, pv = (v - cell.body.cy) * invR;
                        const float along = pu * foldC + pv * foldS,
                                    across = pv * foldC - pu * foldS;
                        const float off = across - cell.foldOffset - cell.foldBend * along * along;
                        dens += cov * cell.fold *
                                std::exp(-Sq(off / (0.035f + 0.02f * cell.softness))) *
                                Clamp01(1.2f - d);
                    }
                    float nucDens = 0.0f;
                    const float dn = cell.nucleus.Distance(u, v);
                    if (dn < 1.0f + aaN) {
                        const float covN = Clamp01((1.0f - dn) / aaN + 0.5f);
                        const float chromatin = ValueNoise(u * 650.0f, v * 650.0f, cell.seed + 2);
                        const float clumps = ValueNoise(u * 220.0f, v * 220.0f, cell.seed + 3);
                        const float rim = 0.45f * std::exp(-Sq((dn - 0.92f) / 0.1f));
                        const float nucleolus =
                            0.6f *
                            std::exp(-(Sq(u - cell.nucleolusU) + Sq(v - cell.nucleolusV)) / nr2);
                        nucDens =
                            covN * (0.7f + detail * (0.55f * (chromatin - 0.5f) +
                                                     0.45f * (clumps - 0.5f) + rim + nucleolus));
                    }
                    for (int c = 0; c < 3; ++c)
                        o[i * 3 + c] += cell.cyto[c] * dens + cell.nuc[c] * nucDens;
                }
            }
        }

        for (const Fibre& f : specimen.fibres) {
            const float reachPx = f.halfWidth * w + 1.5f;
            int bx0 = cw, bx1 = 0, by0 = stripY1, by1 = stripY0;
            for (size_t k = 0; k + 1 < f.u.size(); ++k) {
                const double ax = canvasX(f.u[k]), ay = canvasY(f.v[k]);
                const double bx = canvasX(f.u[k + 1]), by = canvasY(f.v[k + 1]);
                const int x0 =
                    std::max(0, static_cast<int>(std::floor(std::min(ax, bx) - reachPx)));
                const int x1 =
                    std::min(cw, static_cast<int>(std::ceil(std::max(ax, bx) + reachPx)) + 1);
                const int y0 =
                    std::max(stripY0, static_cast<int>(std::floor(std::min(ay, by) - reachPx)));
                const int y1 =
                    std::min(stripY1, static_cast<int>(std::ceil(std::max(ay, by) + reachPx)) + 1);
                if (x0 >= x1 || y0 >= y1) continue;
                bx0 = std::min(bx0, x0);
                bx1 = std::max(bx1, x1);
                by0 = std::min(by0, y0);
                by1 = std::max(by1, y1);
                const float dx = static_cast<float>(bx - ax), dy = static_cast<float>(by - ay);
                const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
                for (int j = y0; j < y1; ++j) {
                    for (int i = x0; i < x1; ++i) {
                        const float qx = static_cast<float>(i - ax),
                                    qy = static_cast<float>(j - ay);
                        const float t = Clamp01((qx * dx + qy * dy) / len2);
                        const float dist = std::hypot(qx - t * dx, qy - t * dy);
                        float& best = fibreDist[static_cast<size_t>(j - stripY0) * cw + i];
                        best = std::min(best, dist);
                    }
                }
            }
            const float halfPx = f.halfWidth * w;
            for (int j = by0; j < by1; ++j) {
                const float v = sceneV(j);
                float* o = &od[static_cast<size_t>(j - stripY0) * cw * 3];
                const float* dist = &fibreDist[static_cast<size_t>(j - stripY0) * cw];
                for (int i = bx0; i < bx1; ++i) {
                    const float d = dist[i];
                    const float cov = Clamp01(halfPx + 0.6f - d);
                    if (cov <= 0.0f) continue;
                    // Refraction darkens a fibre's edges more than its middle.
                    const float t = std::min(d / std::max(halfPx, 0.5f), 1.0f);
                    const float along = ValueNoise(sceneU(i) * 90.0f, v * 90.0f, f.seed);
                    const float dens = cov * (0.55f + 0.6f * t * t) * (0.7f + 0.6f * along);
                    for (int c = 0; c < 3; ++c) o[i * 3 + c] += f.od[c] * dens;
                }
            }
            for (int j = by0; j < by1; ++j)
                std::fill_n(&fibreDist[static_cast<size_t>(j - stripY0) * cw + bx0], bx1 - bx0,
                            1e9f);
        }

        for (const Speck& sp : specimen.specks) {
            const Span span = spanOf(sp.u, sp.v, sp.radius * (sp.ring ? 1.3 : 2.5));
            for (int j = span.y0; j < span.y1; ++j) {
                const float v = sceneV(j);
                float* o = &od[static_cast<size_t>(j - stripY0) * cw * 3];
                for (int i = span.x0; i < span.x1; ++i) {
                    const float r = std::hypot(sceneU(i) - sp.u, v - sp.v) / sp.radius;
                    const float dens =
                        sp.ring ? 0.4f * std::exp(-Sq(r * 1.2f)) + std::exp(-Sq((r - 1.0f) / 0.12f))
                                : std::exp(-r * r);
                    for (int c = 0; c < 3; ++c)
                        o[i * 3 + c] += sp.od * dens * (c == 0 ? 1.1f : 1.0f);
                }
            }
        }

        // The micrometer: chrome lines, nearly opaque.
        std::fill(cover.begin(), cover.begin() + static_cast<size_t>(rows) * cw, 0.0f);
        if (rulerY - 6 * s < stripY1 && rulerY + 3 * s > stripY0) {
            const double lineHalf = ruler.lineHalfThickness;
            addBox(rulerX0 - tickHalf, rulerX0 + kDivisions * s + tickHalf, rulerY - lineHalf,
                   rulerY + lineHalf);
            for (int k = 0; k <= kDivisions; ++k) {
                const double x = rulerX0 + k * s;
                const double len =
                    k % 10 == 0 ? 2.3 * s : (k % 5 == 0 ? 1.6 * s : ruler.shortTickLength);
                addBox(x - tickHalf, x + tickHalf, rulerY - len, rulerY);
                if (k % 10 == 0) {
                    char label[4];
                    const int value = k;
                    label[0] = value >= 10 ? static_cast<char>('0' + value / 10)
                                           : static_cast<char>('0' + value);
                    label[1] = value >= 10 ? '0' : '\0';
                    label[2] = '\0';
                    const double size = 1.15 * s;
                    addText(label, x - textWidth(label, size) / 2,
                            rulerY - 2.3 * s - 0.45 * s - size, size);
                }
            }
            const char* unit = "0.01 mm";
            const double unitSize = 0.9 * s;
            addText(unit, rulerX0 + kDivisions * s - textWidth(unit, unitSize), rulerY + 0.8 * s,
                    unitSize);
        }

        for (int j = 0; j < rows; ++j) {
            const float* o = &od[static_cast<size_t>(j) * cw * 3];
            const float* cv = &cover[static_cast<size_t>(j) * cw];
            uint8_t* out = &canvas[(static_cast<size_t>(stripY0 + j) * cw) * 3];
            for (int i = 0; i < cw; ++i) {
                const float chrome = 1.0f - 0.93f * cv[i];
                for (int c = 0; c < 3; ++c) {
                    const int k =
                        std::min(kOdTable - 1,
                                 std::max(0, static_cast<int>(o[i * 3 + c] * kOdSteps + 0.5f)));
                    out[i * 3 + c] = cv[i] > 0.0f
                                         ? static_cast<uint8_t>(expTable[k] * chrome + 0.5f)
                                         : expTable[k];
                }
            }
        }
    }
}

const uint8_t* SceneRenderer::Cache::Source(int sharpness) {
    if (sharpness == 3) return canvas.data();
    if (blurred.empty()) {
        blurred.resize(canvas.size());
        const int r = std::max(1, static_cast<int>(std::lround(width / 640.0)));
        BoxBlur(canvas.data(), blurred.data(), cw, ch, r);
        BoxBlur(blurred.data(), blurred.data(), cw, ch, r);
    }
    if (adjustedSharpness != sharpness) {
        adjusted.resize(canvas.size());
        // Weight of (canvas - blurred) in 1/256: -256 at 0 is the blurred canvas itself,
        // +512 at 7 an unsharp mask of twice the detail.
        const int k = sharpness > 3 ? (sharpness - 3) * 128 : -(3 - sharpness) * 256 / 3;
        for (size_t i = 0; i < canvas.size(); ++i) {
            const int c = canvas[i];
            adjusted[i] = Clamp255(c + (c - blurred[i]) * k / 256);
        }
        adjustedSharpness = sharpness;
    }
    return adjusted.data();
}

SceneRenderer::SceneRenderer() = default;
SceneRenderer::~SceneRenderer() = default;

bool SceneRenderer::Render(int width, int height, uint32_t frame, const SceneControls& controls,
                           uint8_t* bgr) {
    if (!bgr || width < 1 || height < 1 || width > kMaxSceneSide || height > kMaxSceneSide)
        return false;
    const int brightness = std::clamp(controls.brightness, -64, 64);
    const int contrast = std::clamp(controls.contrast, 0, 95);
    const int saturation = std::clamp(controls.saturation, 0, 128);
    const int sharpness = std::clamp(controls.sharpness, 0, 7);
    const int gain = std::clamp(controls.gain, 0, 100);

    const uint8_t* source = nullptr;
    try {
        if (!cache_ || cache_->width != width || cache_->height != height) {
            cache_.reset();
            cache_ = std::make_unique<Cache>(width, height);
        }
        source = cache_->Source(sharpness);
    } catch (const std::bad_alloc&) {
        cache_.reset();
        return false;
    }
    Cache& cache = *cache_;

    const SceneShift drift = SceneDrift(width, frame);
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    const int n = width * 3;
    uint64_t noiseState = Hash32(frame) * 0x9e3779b97f4a7c15ull + frame + 1;
    uint8_t* noise = cache.noiseBytes.data();

    const bool neutral = brightness == 0 && contrast == 32 && saturation == 64 && gain == 0;
    // Sensor gain (1x..2x in 1/128 steps, clipping), then saturation around each pixel's
    // luma, contrast around 128 and brightness. Flat loops over the row's bytes in 16-bit
    // ranges so the compiler can vectorise them.
    const int16_t gainStep = static_cast<int16_t>(std::lround(gain * 1.28));
    const int16_t satScale = static_cast<int16_t>(saturation);
    const int16_t contrastScale = static_cast<int16_t>(contrast);
    const int16_t level = static_cast<int16_t>(128 + brightness);
    int16_t* gainedRow = cache.gained.data();
    int16_t* lumaRow = cache.luma.data();

    for (int y = 0; y < height; ++y) {
        const uint8_t* src = source + (static_cast<size_t>(y + cache.margin - drift.dy) * cache.cw +
                                       cache.margin - drift.dx) *
                                          3;
        const uint8_t* lit = cache.light.data() + y * rowBytes;
        uint8_t* out = bgr + y * rowBytes;
        for (size_t i = 0; i < cache.noiseBytes.size(); i += 8) {
            const uint64_t r = SplitMix64(noiseState);
            std::memcpy(noise + i, &r, 8);
        }
        // Sensor noise: four 2-bit draws summed, -6..6 with a spread of about 2.2 levels.
        if (neutral) {
            for (int i = 0; i < n; ++i) {
                const int r = noise[i];
                const int e = (r & 3) + ((r >> 2) & 3) + ((r >> 4) & 3) + (r >> 6) - 6;
                const int v = ((src[i] * (lit[i] + 1)) >> 8) + e;
                out[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
            }
            continue;
        }
        for (int i = 0; i < n; ++i) {
            const int r = noise[i];
            const int e = (r & 3) + ((r >> 2) & 3) + ((r >> 4) & 3) + (r >> 6) - 6;
            int16_t x = static_cast<int16_t>(((src[i] * (lit[i] + 1)) >> 8) + e);
            x = x < 0 ? 0 : (x > 255 ? 255 : x);  // gain >= 1 clips these anyway
            const int16_t g =
                static_cast<int16_t>(x + (static_cast<int16_t>(x * gainStep + 64) >> 7));
            gainedRow[i] = g > 255 ? 255 : g;
        }
        if (saturation != 64) {
            for (int i = 0; i < n; i += 3) {
                const int16_t l = static_cast<int16_t>(
                    (29 * gainedRow[i] + 150 * gainedRow[i + 1] + 77 * gainedRow[i + 2] + 128) >>
                    8);
                lumaRow[i] = lumaRow[i + 1] = lumaRow[i + 2] = l;
            }
            for (int i = 0; i < n; ++i) {
                const int16_t chroma = static_cast<int16_t>(gainedRow[i] - lumaRow[i]);
                const int16_t c = static_cast<int16_t>(
                    lumaRow[i] + (static_cast<int16_t>(chroma * satScale + 32) >> 6));
                gainedRow[i] = c < 0 ? 0 : (c > 255 ? 255 : c);
            }
        }
        for (int i = 0; i < n; ++i) {
            const int16_t d = static_cast<int16_t>(gainedRow[i] - 128);
            const int16_t v =
                static_cast<int16_t>((static_cast<int16_t>(d * contrastScale + 16) >> 5) + level);
            out[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
    return true;
}

double MicrometerTickSpacing(int width) { return width > 0 ? width / kTicksPerWidth : 0.0; }

SceneShift SceneDrift(int width, uint32_t frame) {
    SceneShift s;
    if (width <= 0) return s;
    const double ax = 2 * kPi * (frame % kDriftPeriodX) / kDriftPeriodX;
    const double ay = 2 * kPi * (frame % kDriftPeriodY) / kDriftPeriodY;
    s.dx = static_cast<int>(std::lround(kDriftX * width * std::sin(ax)));
    s.dy = static_cast<int>(std::lround(kDriftY * width * std::sin(ay)));
    return s;
}

MicrometerPlacement PlaceMicrometer(int width, int height, uint32_t frame) {
    MicrometerPlacement p;
    if (width <= 0 || height <= 0) return p;
    const SceneShift drift = SceneDrift(width, frame);
    p.spacing = MicrometerTickSpacing(width);
    p.divisions = kDivisions;
    p.originX = width / 2.0 - kDivisions / 2.0 * p.spacing + drift.dx;
    p.baselineY = height / 2.0 + kRulerBelowCentre * width + drift.dy;
    p.lineHalfThickness = std::max(0.5, 0.08 * p.spacing);
    p.shortTickLength = 1.05 * p.spacing;
    return p;
}

namespace {

// RenderSceneBgr's renderers: two, so a streaming pin and a still pin at another size each
// keep their cached specimen instead of rebuilding it on every switch.
struct SharedRenderer {
    std::atomic_flag busy = ATOMIC_FLAG_INIT;
    std::atomic<int> width{0}, height{0};
    std::atomic<uint32_t> lastUse{0};
    SceneRenderer renderer;
};
constexpr int kSharedRenderers = 2;

SharedRenderer* TakeSharedRenderer(int width, int height) {
    static SharedRenderer shared[kSharedRenderers];
    for (SharedRenderer& r : shared) {
        if (r.width.load() == width && r.height.load() == height &&
            !r.busy.test_and_set(std::memory_order_acquire))
            return &r;
    }
    // Otherwise the free one used longest ago.
    SharedRenderer* order[kSharedRenderers];
    for (int i = 0; i < kSharedRenderers; ++i) order[i] = &shared[i];
    std::sort(order, order + kSharedRenderers,
              [](const SharedRenderer* a, const SharedRenderer* b) {
                  return a->lastUse.load() < b->lastUse.load();
              });
    for (SharedRenderer* r : order) {
        if (!r->busy.test_and_set(std::memory_order_acquire)) return r;
    }
    return nullptr;
}

}  // namespace

void RenderSceneBgr(int width, int height, uint32_t frame, const SceneControls& controls,
                    uint8_t* bgr) {
    static std::atomic<uint32_t> clock{0};
    SharedRenderer* shared = TakeSharedRenderer(width, height);
    if (!shared) {
        SceneRenderer own;
        own.Render(width, height, frame, controls, bgr);
        return;
    }
    const bool cached = shared->renderer.Render(width, height, frame, controls, bgr);
    shared->width.store(cached ? width : 0);
    shared->height.store(cached ? height : 0);
    shared->lastUse.store(++clock);
    shared->busy.clear(std::memory_order_release);
}

void BgrToYuy2(const uint8_t* bgr, int width, int height, uint8_t* yuy2) {
    if (!bgr || !yuy2 || width <= 0 || height <= 0) return;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    // 14-bit BT.601 luma; chroma scaled by 1/1.773 and 1/1.403, the decoder's factors, and
    // computed from a pair's sums (hence the 15-bit shift).
    auto luma = [](const uint8_t* p) {
        return (1868 * p[0] + 9617 * p[1] + 4899 * p[2] + 8192) >> 14;
    };
    for (size_t p = 0; p < pixels; p += 2) {
        const uint8_t* a = bgr + p * 3;
        const uint8_t* b = p + 1 < pixels ? a + 3 : a;
        const int sb = a[0] + b[0], sg = a[1] + b[1], sr = a[2] + b[2];
        const int u = (8187 * sb - 5424 * sg - 2763 * sr + (128 << 15) + (1 << 14)) >> 15;
        const int v = (8186 * sr - 6855 * sg - 1331 * sb + (128 << 15) + (1 << 14)) >> 15;
        uint8_t* o = yuy2 + p * 2;
        o[0] = static_cast<uint8_t>(luma(a));
        o[1] = Clamp255(u);
        if (p + 1 < pixels) {
            o[2] = static_cast<uint8_t>(luma(b));
            o[3] = Clamp255(v);
        }
    }
}

std::vector<uint8_t> EncodeMjpg(const uint8_t* bgr, int width, int height, int quality) {
    std::vector<uint8_t> out;
    if (!bgr || width <= 0 || height <= 0 || width > INT_MAX / 3) return out;
    tjhandle encoder = tjInitCompress();
    if (!encoder) return out;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(encoder, bgr, width, width * 3, height, TJPF_BGR, &jpeg, &size, TJSAMP_422,
                    std::clamp(quality, 1, 100), 0) == 0 &&
        jpeg) {
        out.assign(jpeg, jpeg + size);
    }
    tjFree(jpeg);
    tjDestroy(encoder);
    return out;
}
