#include "pipeline/yuy2_convert.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> Convert(const std::vector<uint8_t>& yuy2, int width, int height) {
    std::vector<uint8_t> bgr(static_cast<size_t>(width) * height * 3, 0xEE);
    EXPECT_TRUE(ConvertYuy2Frame(yuy2.data(), yuy2.size(), width, height, bgr.data()));
    return bgr;
}

TEST(Yuy2Convert, KnownColours) {
    struct Case {
        uint8_t y, u, v;
        uint8_t b, g, r;
    } cases[] = {
        {0, 128, 128, 0, 0, 0},        // black
        {255, 128, 128, 255, 255, 255},  // white
        {128, 255, 128, 255, 84, 128},  // blue clamped, green pulled down
    };
    for (const Case& c : cases) {
        const auto bgr = Convert({c.y, c.u, c.y, c.v}, 2, 1);
        EXPECT_EQ(bgr[0], c.b);
        EXPECT_EQ(bgr[1], c.g);
        EXPECT_EQ(bgr[2], c.r);
        EXPECT_EQ(bgr[3], c.b);
        EXPECT_EQ(bgr[4], c.g);
        EXPECT_EQ(bgr[5], c.r);
    }
}

TEST(Yuy2Convert, ShortSampleIsRefusedAndFrameUntouched) {
    std::vector<uint8_t> yuy2(4 * 4 * 2 - 1, 100);
    std::vector<uint8_t> bgr(4 * 4 * 3, 7);
    EXPECT_FALSE(ConvertYuy2Frame(yuy2.data(), yuy2.size(), 4, 4, bgr.data()));
    for (uint8_t b : bgr) ASSERT_EQ(b, 7);
}

TEST(Yuy2Convert, ZeroSizeConvertsNothing) {
    uint8_t guard = 9;
    EXPECT_TRUE(ConvertYuy2Frame(nullptr, 0, 0, 0, &guard));
    EXPECT_EQ(guard, 9);
}

}  // namespace
