#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "pipeline/yuy2_convert.h"
#include "simcam/scene.h"

namespace {

std::vector<uint8_t> Render(SceneRenderer& renderer, int width, int height, uint32_t frame,
                            const SceneControls& controls = {}) {
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3);
    EXPECT_TRUE(renderer.Render(width, height, frame, controls, bgr.data()));
    return bgr;
}

double Luma(const uint8_t* p) { return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]; }

struct LumaStats {
    double mean = 0, spread = 0;
};

LumaStats Stats(const std::vector<uint8_t>& bgr) {
    LumaStats s;
    const size_t n = bgr.size() / 3;
    double sum = 0, sq = 0;
    for (size_t i = 0; i < n; ++i) {
        const double y = Luma(&bgr[i * 3]);
        sum += y;
        sq += y * y;
    }
    s.mean = sum / n;
    s.spread = std::sqrt(sq / n - s.mean * s.mean);
    return s;
}

// Sum of luma steps between horizontal and vertical neighbours.
double EdgeEnergy(const std::vector<uint8_t>& bgr, int width, int height) {
    double e = 0;
    for (int y = 0; y + 1 < height; ++y)
        for (int x = 0; x + 1 < width; ++x) {
            const uint8_t* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
            e += std::fabs(Luma(p) - Luma(p + 3)) + std::fabs(Luma(p) - Luma(p + width * 3));
        }
    return e;
}

// Centres (darkness-weighted) of the dark runs along one row.
std::vector<double> DarkRunCentres(const std::vector<uint8_t>& bgr, int width, int row) {
    std::vector<double> centres;
    double weight = 0, moment = 0;
    for (int x = 0; x <= width; ++x) {
        const double y = x < width ? Luma(&bgr[(static_cast<size_t>(row) * width + x) * 3]) : 255;
        if (y < 100) {
            weight += 100 - y;
            moment += (100 - y) * x;
        } else if (weight > 0) {
            centres.push_back(moment / weight);
            weight = moment = 0;
        }
    }
    return centres;
}

TEST(SceneMicrometer, TicksSitAtTheCalibratedSpacing) {
    EXPECT_DOUBLE_EQ(MicrometerTickSpacing(640), 10.0);
    EXPECT_DOUBLE_EQ(MicrometerTickSpacing(1920), 30.0);
    const struct { int width, height; } sizes[] = {{640, 480}, {1920, 1080}, {1280, 720}};
    for (const auto& size : sizes) {
        SceneRenderer renderer;
        // Frame 30 is at the drift's widest point sideways.
        for (uint32_t frame : {0u, 30u, 170u}) {
            SCOPED_TRACE(testing::Message()
                         << size.width << "x" << size.height << " frame " << frame);
            const auto bgr = Render(renderer, size.width, size.height, frame);
            const MicrometerPlacement m = PlaceMicrometer(size.width, size.height, frame);
            const double spacing = MicrometerTickSpacing(size.width);
            ASSERT_EQ(m.spacing, spacing);
            const int row = static_cast<int>(
                std::lround(m.baselineY - m.lineHalfThickness - m.shortTickLength / 2));
            const auto found = DarkRunCentres(bgr, size.width, row);
            ASSERT_EQ(found.size(), static_cast<size_t>(m.divisions + 1));
            for (size_t k = 0; k < found.size(); ++k) {
                EXPECT_NEAR(found[k], m.originX + k * spacing, 1.0) << "tick " << k;
                if (k > 0) {
                    EXPECT_NEAR(found[k] - found[k - 1], spacing, 1.0) << "tick " << k;
                }
            }
        }
    }
    EXPECT_NE(SceneDrift(640, 30).dx, 0);
}

TEST(SceneMicrometer, DriftIsSmallSlowAndPeriodic) {
    for (int width : {640, 1920}) {
        SceneShift previous = SceneDrift(width, 0);
        EXPECT_EQ(previous.dx, 0);
        EXPECT_EQ(previous.dy, 0);
        int widest = 0;
        for (uint32_t f = 1; f <= 480; ++f) {
            const SceneShift s = SceneDrift(width, f);
            EXPECT_LE(std::abs(s.dx - previous.dx), 1) << f;
            EXPECT_LE(std::abs(s.dy - previous.dy), 1) << f;
            EXPECT_LE(std::abs(s.dx), width / 200);
            widest = std::max(widest, std::abs(s.dx));
            const SceneShift again = SceneDrift(width, f + 240);
            EXPECT_EQ(s.dx, again.dx);
            EXPECT_EQ(s.dy, again.dy);
            previous = s;
        }
        EXPECT_GE(widest, 2);
    }
}

TEST(SceneFrames, DeterministicPerFrameNumberAndMovingBetweenFrames) {
    SceneRenderer a, b;
    const auto first = Render(a, 640, 480, 7);
    Render(a, 320, 240, 7);  // another size in between rebuilds the cache
    EXPECT_EQ(Render(a, 640, 480, 7), first);
    EXPECT_EQ(Render(b, 640, 480, 7), first);
    std::vector<uint8_t> shared(first.size());
    RenderSceneBgr(640, 480, 7, SceneControls{}, shared.data());
    EXPECT_EQ(shared, first);

    const auto next = Render(a, 640, 480, 8);
    size_t changed = 0;
    for (size_t i = 0; i < first.size(); ++i) changed += first[i] != next[i];
    EXPECT_GT(changed, first.size() / 2);  // sensor noise everywhere
}

TEST(SceneFrames, EveryResolutionShowsTheSameScene) {
    SceneRenderer renderer;
    const auto small = Render(renderer, 640, 480, 0);
    const auto large = Render(renderer, 1280, 960, 0);
    double diff = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx)
                        sum +=
                            large[((static_cast<size_t>(y) * 2 + dy) * 1280 + x * 2 + dx) * 3 + c];
                diff += std::abs(sum / 4.0 - small[(static_cast<size_t>(y) * 640 + x) * 3 + c]);
            }
    EXPECT_LT(diff / small.size(), 6.0);
}

TEST(SceneFrames, BadSizesAndTinyFrames) {
    SceneRenderer renderer;
    std::vector<uint8_t> buffer(64, 0xAB);
    for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-3, 4}, {4, -1}, {kMaxSceneSide + 1, 1}}) {
        EXPECT_FALSE(renderer.Render(w, h, 0, SceneControls{}, buffer.data())) << w << "x" << h;
        RenderSceneBgr(w, h, 0, SceneControls{}, buffer.data());
    }
    EXPECT_FALSE(renderer.Render(4, 4, 0, SceneControls{}, nullptr));
    for (uint8_t v : buffer) ASSERT_EQ(v, 0xAB);
    for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {2, 5}, {7, 3}}) {
        std::vector<uint8_t> guarded(static_cast<size_t>(w) * h * 3 + 16, 0xAB);
        EXPECT_TRUE(renderer.Render(w, h, 3, SceneControls{}, guarded.data()));
        for (size_t i = guarded.size() - 16; i < guarded.size(); ++i) ASSERT_EQ(guarded[i], 0xAB);
    }
}

class SceneControlsTest : public testing::Test {
protected:
    std::vector<uint8_t> With(void (*set)(SceneControls&), uint32_t frame = 4) {
        SceneControls c;
        set(c);
        return Render(renderer_, 640, 480, frame, c);
    }
    SceneRenderer renderer_;
};

TEST_F(SceneControlsTest, NeutralAndAdjustedPathsAgree) {
    const auto neutral = With([](SceneControls&) {});
    const auto brighter = With([](SceneControls& c) { c.brightness = 1; });
    for (size_t i = 0; i < neutral.size(); ++i)
        ASSERT_EQ(brighter[i], std::min(neutral[i] + 1, 255)) << i;
    // Out of range acts as the nearest end.
    EXPECT_EQ(With([](SceneControls& c) { c.brightness = 900; }),
              With([](SceneControls& c) { c.brightness = 64; }));
    EXPECT_EQ(With([](SceneControls& c) { c.sharpness = -4; }),
              With([](SceneControls& c) { c.sharpness = 0; }));
}

TEST_F(SceneControlsTest, BrightnessContrastAndGainShapeLuma) {
    const LumaStats neutral = Stats(With([](SceneControls&) {}));
    const LumaStats brighter = Stats(With([](SceneControls& c) { c.brightness = 20; }));
    const LumaStats darker = Stats(With([](SceneControls& c) { c.brightness = -20; }));
    EXPECT_GT(brighter.mean, neutral.mean + 10);
    EXPECT_LT(darker.mean, neutral.mean - 15);
    EXPECT_LT(Stats(With([](SceneControls& c) { c.contrast = 16; })).spread, neutral.spread * 0.7);
    EXPECT_GT(Stats(With([](SceneControls& c) { c.contrast = 48; })).spread, neutral.spread * 1.2);
    EXPECT_LT(Stats(With([](SceneControls& c) { c.contrast = 0; })).spread, 1.0);
    const LumaStats gained = Stats(With([](SceneControls& c) { c.gain = 12; }));
    EXPECT_GT(gained.mean, neutral.mean + 8);
    EXPECT_GT(gained.spread, neutral.spread);

    // Gain amplifies the sensor noise too: frame-to-frame differences grow where the
    // picture is not clipped.
    auto noise = [&](void (*set)(SceneControls&)) {
        const auto a = With(set, 0), b = With(set, 1);  // no drift between these two
        double d = 0;
        size_t n = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            if (a[i] < 10 || a[i] > 245 || b[i] < 10 || b[i] > 245) continue;
            d += std::abs(a[i] - b[i]);
            ++n;
        }
        EXPECT_GT(n, a.size() / 20);
        return d / n;
    };
    const double quiet = noise([](SceneControls&) {});
    EXPECT_GT(quiet, 1.0);
    EXPECT_GT(noise([](SceneControls& c) { c.gain = 60; }), quiet * 1.3);
}

TEST_F(SceneControlsTest, SaturationScalesChroma) {
    auto chroma = [](const std::vector<uint8_t>& bgr) {
        int most = 0;
        double sum = 0;
        for (size_t i = 0; i < bgr.size(); i += 3) {
            const int c = std::max({bgr[i], bgr[i + 1], bgr[i + 2]}) -
                          std::min({bgr[i], bgr[i + 1], bgr[i + 2]});
            most = std::max(most, c);
            sum += c;
        }
        return std::pair{most, sum * 3 / bgr.size()};
    };
    const auto neutral = chroma(With([](SceneControls&) {}));
    EXPECT_LE(chroma(With([](SceneControls& c) { c.saturation = 0; })).first, 2);
    EXPECT_GT(chroma(With([](SceneControls& c) { c.saturation = 128; })).second,
              neutral.second * 1.5);
    EXPECT_GT(neutral.second, 15);  // the picture is coloured to begin with
}

TEST_F(SceneControlsTest, SharpnessBlursBelowAndSharpensAboveNeutral) {
    const double e0 = EdgeEnergy(With([](SceneControls& c) { c.sharpness = 0; }), 640, 480);
    const double e2 = EdgeEnergy(With([](SceneControls& c) { c.sharpness = 2; }), 640, 480);
    const double e3 = EdgeEnergy(With([](SceneControls&) {}), 640, 480);
    const double e5 = EdgeEnergy(With([](SceneControls& c) { c.sharpness = 5; }), 640, 480);
    const double e7 = EdgeEnergy(With([](SceneControls& c) { c.sharpness = 7; }), 640, 480);
    EXPECT_LT(e0, e2);
    EXPECT_LT(e2, e3);
    EXPECT_LT(e3, e5);
    EXPECT_LT(e5, e7);
}

// BT.601 full range as the program's decoder inverts it.
void ExpectedYuv(const uint8_t* bgr, double* y, double* u, double* v) {
    *y = 0.299 * bgr[2] + 0.587 * bgr[1] + 0.114 * bgr[0];
    *u = std::clamp(128 + (bgr[0] - *y) / 1.773, 0.0, 255.0);
    *v = std::clamp(128 + (bgr[2] - *y) / 1.403, 0.0, 255.0);
}

TEST(BgrToYuy2, PureColours) {
    const uint8_t colours[][3] = {{0, 0, 0},   {255, 255, 255}, {0, 0, 255},    {0, 255, 0},
                                  {255, 0, 0}, {128, 128, 128}, {40, 200, 180}, {255, 0, 255}};
    for (const auto& c : colours) {
        const uint8_t bgr[6] = {c[0], c[1], c[2], c[0], c[1], c[2]};
        uint8_t yuy2[4];
        BgrToYuy2(bgr, 2, 1, yuy2);
        double y, u, v;
        ExpectedYuv(c, &y, &u, &v);
        SCOPED_TRACE(testing::Message() << int(c[0]) << "," << int(c[1]) << "," << int(c[2]));
        EXPECT_NEAR(yuy2[0], y, 1.0);
        EXPECT_NEAR(yuy2[2], y, 1.0);
        EXPECT_NEAR(yuy2[1], u, 1.0);
        EXPECT_NEAR(yuy2[3], v, 1.0);
    }
}

TEST(BgrToYuy2, PairsAverageChroma) {
    const uint8_t bgr[6] = {255, 0, 0, 0, 0, 255};  // blue then red
    uint8_t yuy2[4];
    BgrToYuy2(bgr, 2, 1, yuy2);
    double y0, u0, v0, y1, u1, v1;
    ExpectedYuv(bgr, &y0, &u0, &v0);
    ExpectedYuv(bgr + 3, &y1, &u1, &v1);
    EXPECT_NEAR(yuy2[0], y0, 1.0);
    EXPECT_NEAR(yuy2[2], y1, 1.0);
    // Unclamped averages: the pair's mean colour, not the mean of clamped values.
    EXPECT_NEAR(yuy2[1], 128 + ((255 - y0) + (0 - y1)) / 2 / 1.773, 1.0);
    EXPECT_NEAR(yuy2[3], 128 + ((0 - y0) + (255 - y1)) / 2 / 1.403, 1.0);
}

TEST(BgrToYuy2, OddSizesStayInsideTheSampleAndDecodeBack) {
    SceneRenderer renderer;
    for (auto [w, h] : {std::pair{321, 240}, {320, 241}, {5, 3}, {1, 1}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const auto bgr = Render(renderer, w, h, 2);
        const size_t bytes = static_cast<size_t>(w) * h * 2;
        std::vector<uint8_t> yuy2(bytes + 8, 0xCD);
        BgrToYuy2(bgr.data(), w, h, yuy2.data());
        for (size_t i = bytes; i < yuy2.size(); ++i) ASSERT_EQ(yuy2[i], 0xCD);
        const size_t pixels = static_cast<size_t>(w) * h;
        if (pixels % 2 == 1) {
            // The lone last pixel: its own Y and U.
            double y, u, v;
            ExpectedYuv(&bgr[(pixels - 1) * 3], &y, &u, &v);
            EXPECT_NEAR(yuy2[bytes - 2], y, 1.0);
            EXPECT_NEAR(yuy2[bytes - 1], u, 1.0);
            continue;
        }
        // Pairs run on across rows, as the program's decoder reads them.
        std::vector<uint8_t> back(bgr.size());
        ASSERT_TRUE(ConvertYuy2Frame(yuy2.data(), bytes, w, h, back.data()));
        double err = 0;
        for (size_t i = 0; i < bgr.size(); ++i) err += std::abs(back[i] - bgr[i]);
        EXPECT_LT(err / bgr.size(), 2.5);
    }
    std::vector<uint8_t> untouched(8, 0xCD);
    const uint8_t pixel[3] = {1, 2, 3};
    BgrToYuy2(pixel, 0, 1, untouched.data());
    BgrToYuy2(pixel, 1, -1, untouched.data());
    for (uint8_t b : untouched) EXPECT_EQ(b, 0xCD);
}

TEST(EncodeMjpg, RoundTripsAsA422Jpeg) {
    SceneRenderer renderer;
    for (auto [w, h] : {std::pair{640, 480}, {321, 243}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const auto bgr = Render(renderer, w, h, 9);
        const auto jpeg = EncodeMjpg(bgr.data(), w, h, 90);
        ASSERT_GT(jpeg.size(), 100u);
        EXPECT_LT(jpeg.size(), bgr.size() / 4);
        tjhandle decoder = tjInitDecompress();
        int jw = 0, jh = 0, sub = -1, space = -1;
        ASSERT_EQ(tjDecompressHeader3(decoder, jpeg.data(), jpeg.size(), &jw, &jh, &sub, &space),
                  0);
        EXPECT_EQ(jw, w);
        EXPECT_EQ(jh, h);
        EXPECT_EQ(sub, TJSAMP_422);
        std::vector<uint8_t> back(bgr.size());
        ASSERT_EQ(
            tjDecompress2(decoder, jpeg.data(), jpeg.size(), back.data(), w, w * 3, h, TJPF_BGR, 0),
            0);
        tjDestroy(decoder);
        double err = 0;
        for (size_t i = 0; i < bgr.size(); ++i) err += std::abs(back[i] - bgr[i]);
        EXPECT_LT(err / bgr.size(), 4.0);
    }
    const uint8_t pixel[3] = {10, 20, 30};
    EXPECT_FALSE(EncodeMjpg(pixel, 1, 1, -5).empty());  // quality clamped, not refused
    EXPECT_TRUE(EncodeMjpg(pixel, 0, 1, 85).empty());
    EXPECT_TRUE(EncodeMjpg(nullptr, 1, 1, 85).empty());
}

}  // namespace
