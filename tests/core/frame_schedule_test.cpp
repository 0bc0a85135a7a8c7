#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "simcam/frame_schedule.h"

namespace {

constexpr double kPeriod = 1000.0 / 30;

// The numbers after `name` on its line of a summary.
std::vector<double> Figures(const std::string& text, const std::string& name) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first != name) continue;
        std::vector<double> values;
        double v;
        while (words >> v) values.push_back(v);
        return values;
    }
    return {};
}

TEST(FrameSchedule, DueTimesStayOnTheAbsoluteClockHoweverLateEachFrameGoesOut) {
    FrameSchedule s(kPeriod);
    s.Restart(500);
    EXPECT_DOUBLE_EQ(s.DueMs(), 500);
    // Every frame goes out 20 ms late: the next one is still due on its own tick.
    for (int i = 0; i < 9000; ++i) {
        ASSERT_EQ(s.Take(s.DueMs() + 20), 0u) << i;
    }
    EXPECT_NEAR(s.DueMs(), 500 + 300000, 1e-6);  // 9000 frames = exactly 300 s
}

TEST(FrameSchedule, AFrameLaterThanAWholePeriodSkipsTheMissedOnes) {
    FrameSchedule s(kPeriod);
    s.Restart(0);
    EXPECT_EQ(s.Take(0), 0u);  // frame 0
    // At 110 ms frames 1, 2 and 3 (due 33.3, 66.7, 100) are due: 3 goes out, 1 and 2 are lost.
    EXPECT_EQ(s.Take(110), 2u);
    EXPECT_NEAR(s.DueMs(), 4 * kPeriod, 1e-9);
    // Just under a period late is not a miss.
    EXPECT_EQ(s.Take(4 * kPeriod + kPeriod - 0.01), 0u);
    EXPECT_NEAR(s.DueMs(), 5 * kPeriod, 1e-9);
}

TEST(FrameSchedule, RestartBeginsANewRunAtFrameZero) {
    FrameSchedule s(kPeriod);
    s.Restart(0);
    for (int i = 0; i < 5; ++i) s.Take(s.DueMs());
    s.Restart(10000);
    EXPECT_DOUBLE_EQ(s.DueMs(), 10000);
    EXPECT_EQ(s.Take(10000), 0u);
}

TEST(CameraPerf, SummaryGivesTheSentRateLatenessAndRenderCost) {
    CameraPerf perf(100);
    for (int i = 0; i < 31; ++i) perf.Sent(i * kPeriod, i * kPeriod + 2, 0.5, i == 10 ? 1 : 0);
    perf.Rendered(40);
    perf.Rendered(60);
    const std::string text = perf.Summary(500);
    EXPECT_NE(text.find("camera_frames_sent 31\n"), std::string::npos) << text;
    EXPECT_NE(text.find("camera_frames_skipped 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("camera_sent_fps 30.000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("camera_pictures_rendered 2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("camera_render_cpu_cores 0.500\n"), std::string::npos) << text;
    // count, median, p95, max, mean
    EXPECT_EQ(Figures(text, "camera_late"), (std::vector<double>{31, 2, 2, 2, 2})) << text;
    EXPECT_EQ(Figures(text, "camera_render"), (std::vector<double>{2, 40, 60, 60, 50})) << text;
}

TEST(CameraPerf, PastTheCapacityFramesAreCountedNotTimed) {
    CameraPerf perf(2);
    for (int i = 0; i < 5; ++i) perf.Sent(i * kPeriod, i * kPeriod, 1, 0);
    const std::string text = perf.Summary(0);
    EXPECT_NE(text.find("camera_frames_sent 5\n"), std::string::npos) << text;
    EXPECT_EQ(Figures(text, "camera_late").at(0), 2) << text;
}

}  // namespace
