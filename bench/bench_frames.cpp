#include "bench_frames.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <utility>

namespace {

using Key = std::pair<int, int>;

uint8_t ClampByte(double v) { return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0)); }

std::vector<uint8_t> MakeScene(FrameSize size) {
    const int w = size.width, h = size.height;
    std::vector<uint8_t> bgr(static_cast<size_t>(w) * h * 3);
    std::mt19937 rng(1234);
    std::normal_distribution<double> grain(0.0, 6.0);
    struct Cell {
        double x, y, r;
    };
    std::vector<Cell> cells;
    std::uniform_real_distribution<double> ux(0, w), uy(0, h), ur(h / 40.0, h / 12.0);
    for (int i = 0; i < 40; ++i) cells.push_back({ux(rng), uy(rng), ur(rng)});
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Vignetted, slightly warm illumination.
            const double dx = (x - w / 2.0) / w, dy = (y - h / 2.0) / h;
            double light = 220.0 - 180.0 * (dx * dx + dy * dy);
            double b = light * 0.85, g = light * 0.95, r = light;
            for (const Cell& c : cells) {
                const double d = std::hypot(x - c.x, y - c.y) / c.r;
                if (d < 1.0) {
                    const double rim = d > 0.85 ? 0.45 : 0.8;  // dark membrane, tinted inside
                    b *= rim * 1.1;
                    g *= rim * 0.7;
                    r *= rim * 0.95;
                }
            }
            uint8_t* px = &bgr[(static_cast<size_t>(y) * w + x) * 3];
            px[0] = ClampByte(b + grain(rng));
            px[1] = ClampByte(g + grain(rng));
            px[2] = ClampByte(r + grain(rng));
        }
    }
    return bgr;
}

std::vector<uint8_t> ToYuy2(const std::vector<uint8_t>& bgr, FrameSize size) {
    std::vector<uint8_t> yuy2(static_cast<size_t>(size.width) * size.height * 2);
    for (size_t p = 0; p + 1 < bgr.size() / 3; p += 2) {
        const uint8_t* a = &bgr[p * 3];
        const uint8_t* b = a + 3;
        const auto luma = [](const uint8_t* px) {
            return 0.299 * px[2] + 0.587 * px[1] + 0.114 * px[0];
        };
        const double ya = luma(a), yb = luma(b);
        const double bMean = (a[0] + b[0]) / 2.0, rMean = (a[2] + b[2]) / 2.0;
        const double yMean = (ya + yb) / 2.0;
        yuy2[p * 2] = ClampByte(ya);
        yuy2[p * 2 + 1] = ClampByte(128 + (bMean - yMean) / 1.773);
        yuy2[p * 2 + 2] = ClampByte(yb);
        yuy2[p * 2 + 3] = ClampByte(128 + (rMean - yMean) / 1.403);
    }
    return yuy2;
}

}  // namespace

std::string SizeName(FrameSize size) {
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

std::string BenchName(const std::string& group, const std::string& variant, FrameSize size) {
    return group + "/" + variant + "/" + SizeName(size);
}

const std::vector<uint8_t>& ScenePicture(FrameSize size) {
    static std::map<Key, std::vector<uint8_t>> cache;
    auto& picture = cache[{size.width, size.height}];
    if (picture.empty()) picture = MakeScene(size);
    return picture;
}

const std::vector<uint8_t>& SceneYuy2(FrameSize size) {
    static std::map<Key, std::vector<uint8_t>> cache;
    auto& sample = cache[{size.width, size.height}];
    if (sample.empty()) sample = ToYuy2(ScenePicture(size), size);
    return sample;
}
