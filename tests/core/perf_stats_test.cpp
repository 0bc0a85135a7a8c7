#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "pipeline/perf_stats.h"

namespace {

TEST(PerfDistribution, NearestRankPercentilesMeanAndMaximum) {
    std::vector<double> values;
    for (int i = 100; i >= 1; --i) values.push_back(i);  // unsorted on purpose
    const Distribution d = Summarise(values);
    EXPECT_EQ(d.count, 100u);
    EXPECT_DOUBLE_EQ(d.median, 50);
    EXPECT_DOUBLE_EQ(d.p95, 95);
    EXPECT_DOUBLE_EQ(d.max, 100);
    EXPECT_DOUBLE_EQ(d.mean, 50.5);

    const Distribution one = Summarise({7.5});
    EXPECT_DOUBLE_EQ(one.median, 7.5);
    EXPECT_DOUBLE_EQ(one.p95, 7.5);
    // Three values: the 95th percentile is the largest, the median the middle one.
    const Distribution three = Summarise({3, 1, 2});
    EXPECT_DOUBLE_EQ(three.median, 2);
    EXPECT_DOUBLE_EQ(three.p95, 3);

    const Distribution none = Summarise({});
    EXPECT_EQ(none.count, 0u);
    EXPECT_DOUBLE_EQ(none.max, 0);
    EXPECT_DOUBLE_EQ(none.mean, 0);
}

TEST(PerfFirstShowings, OnlyTheFirstPaintOfAFrameIsItsShowing) {
    FirstShowings s;
    EXPECT_LT(s.Shown(0), 0);  // nothing published yet
    s.Published(1, 100);
    EXPECT_DOUBLE_EQ(s.Shown(1), 100);
    EXPECT_LT(s.Shown(1), 0);  // a repaint of the same frame
    s.Published(2, 133);
    s.Published(3, 166);       // 2 was never painted: a frame the view skipped
    EXPECT_DOUBLE_EQ(s.Shown(3), 166);
    s.Published(1, 200);       // the ring came round: a new frame in slot 1
    EXPECT_DOUBLE_EQ(s.Shown(1), 200);
    EXPECT_LT(s.Shown(-1), 0);
    EXPECT_LT(s.Shown(FirstShowings::kSlots), 0);
}

CallbackTiming Callback(double arrival, double wall, bool published = true) {
    CallbackTiming c;
    c.arrivalMs = arrival;
    c.wallMs = wall;
    c.cpuMs = wall / 2;
    c.stageMs[kStageFill] = wall - 1;
    c.stageMs[kStagePublish] = 1;
    c.published = published;
    return c;
}

PaintTiming Paint(double end, double wall, double arrival) {
    PaintTiming p;
    p.endMs = end;
    p.wallMs = wall;
    p.cpuMs = wall / 2;
    p.arrivalMs = arrival;
    return p;
}

// 30 frames a second from t = 1000; every frame painted 10 ms after it arrived, and each
// painted a second time without being new.
void SteadyRun(PerfLog& log, int frames) {
    for (int i = 0; i < frames; ++i) {
        const double t = 1000 + i * 100.0 / 3;
        log.AddCallback(Callback(t, 8));
        log.AddPaint(Paint(t + 10, 2, t));
        log.AddPaint(Paint(t + 12, 2, -1));
    }
}

TEST(PerfLogSummary, CountsRatesAndLatenciesOfASteadyRun) {
    PerfLog log(1000, 0);
    SteadyRun(log, 91);
    const PerfSummary s = log.Summary();
    EXPECT_EQ(s.offered, 91u);
    EXPECT_EQ(s.published, 91u);
    EXPECT_EQ(s.shown, 91u);
    EXPECT_NEAR(s.cameraFps, 30.0, 1e-9);
    EXPECT_NEAR(s.latency.median, 10, 1e-9);
    EXPECT_EQ(s.paint.count, 182u);  // repaints count as paints, not as frames shown
    EXPECT_DOUBLE_EQ(s.paintCpu.mean, 1);
    EXPECT_NEAR(s.interval.max, 100.0 / 3, 1e-9);
    EXPECT_DOUBLE_EQ(s.stages[kStageFill].median, 7);
    EXPECT_NEAR(s.windowMs, 3000 + 12, 1e-9);
    // 4 ms of callback CPU per 33.3 ms.
    EXPECT_NEAR(s.cpu.callback, 91 * 4 / 3012.0, 1e-9);
}

TEST(PerfLogSummary, WarmUpFramesAndTheirLatePaintsStayOutOfTheFigures) {
    PerfLog log(1000, 500);
    log.AddCallback(Callback(0, 50));         // the first sample starts the warm-up
    log.AddPaint(Paint(520, 300, 0));          // painted after the warm-up, but a warm-up frame
    log.AddCallback(Callback(499, 9));
    log.AddCallback(Callback(500, 9));
    log.AddCallback(Callback(533, 9, false));  // unusable: offered, not published
    log.AddPaint(Paint(512, 3, 500));
    const PerfSummary s = log.Summary();
    EXPECT_EQ(s.warmupFrames, 2u);
    EXPECT_EQ(s.offered, 2u);
    EXPECT_EQ(s.published, 1u);
    EXPECT_EQ(s.shown, 1u);
    EXPECT_DOUBLE_EQ(s.latency.max, 12);
    EXPECT_DOUBLE_EQ(s.callbackWall.max, 9);
}

TEST(PerfLogSummary, EventsPastTheCapacityAreCountedNotTimed) {
    PerfLog log(10, 0);
    SteadyRun(log, 20);
    const PerfSummary s = log.Summary();
    EXPECT_EQ(s.offered, 10u);
    EXPECT_EQ(s.paint.count, 10u);
    EXPECT_EQ(s.unrecorded, 10u + 30u);
}

TEST(PerfLogSummary, RecordingFiguresCountCopiesDropsAndTheWritersFrames) {
    PerfLog log(1000, 100);
    log.AddCallback(Callback(0, 5));  // starts the warm-up
    WriteTiming early;
    early.endMs = 50;
    early.wallMs = early.cpuMs = 40;
    log.AddWrite(early);  // written during the warm-up: left out
    for (int i = 0; i < 10; ++i) {
        CallbackTiming c = Callback(100 + i * 10.0, 5);
        c.recordCopy = i < 7 ? RecordCopy::Queued : RecordCopy::Dropped;
        log.AddCallback(c);
        if (i < 6) {
            WriteTiming w;
            w.endMs = 105 + i * 10.0;
            w.wallMs = 4 + i;
            w.cpuMs = 2;
            log.AddWrite(w);
        }
    }
    log.AddCallback(Callback(200, 5));  // not recording
    const PerfSummary s = log.Summary();
    EXPECT_EQ(s.recordQueued, 7u);
    EXPECT_EQ(s.recordDropped, 3u);
    EXPECT_EQ(s.recordWritten, 6u);
    EXPECT_EQ(s.write.count, 6u);
    EXPECT_DOUBLE_EQ(s.write.max, 9);
    EXPECT_NEAR(s.cpu.writer, 12 / s.windowMs, 1e-12);
    const std::string text = FormatPerfSummary(s);
    EXPECT_NE(text.find("record_frames_dropped 3\n"), std::string::npos);
    EXPECT_NE(text.find("write_wall"), std::string::npos);
}

TEST(PerfLogSummary, CpuSharesComeFromTheFirstAndLastSnapshotInTheWindow) {
    PerfLog log(100, 1000);
    log.AddCallback(Callback(0, 5));
    log.AddCpu({500, 100000, 0, 0});  // warm-up: ignored
    log.AddCpu({1000, 200, 100, 50});
    log.AddCpu({2000, 1000, 400, 250});
    log.AddCpu({3000, 1800, 700, 450});
    const PerfSummary s = log.Summary();
    ASSERT_TRUE(s.cpuMeasured);
    EXPECT_DOUBLE_EQ(s.cpu.process, 0.8);
    EXPECT_DOUBLE_EQ(s.cpu.main, 0.3);
    EXPECT_DOUBLE_EQ(s.cpu.stream, 0.2);

    PerfLog single(100, 0);
    single.AddCallback(Callback(0, 5));
    single.AddCpu({10, 5, 1, 1});
    EXPECT_FALSE(single.Summary().cpuMeasured);  // one snapshot spans no time
}

TEST(PerfLogSummary, NoSamplesGiveAnEmptySummary) {
    PerfLog log(10, 0);
    log.AddPaint(Paint(5, 1, -1));  // a paint before any sample is before the window
    const PerfSummary s = log.Summary();
    EXPECT_EQ(s.offered, 0u);
    EXPECT_EQ(s.paint.count, 0u);
    EXPECT_DOUBLE_EQ(s.windowMs, 0);
    EXPECT_NE(FormatPerfSummary(s).find("shown_ratio 0.0000"), std::string::npos);
}

// The summary is read back by `make perf`: every figure on a line of its own, by name.
TEST(PerfSummaryText, EachFigureIsANamedLine) {
    PerfLog log(1000, 0);
    SteadyRun(log, 31);
    log.SetFirstFrame(812.4);
    log.SetFirstFrame(2000);  // only the first counts
    const std::string text = FormatPerfSummary(log.Summary());
    std::istringstream in(text);
    std::string line;
    bool sawShown = false, sawLatency = false, sawFirst = false, sawQueue = false;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string name;
        words >> name;
        if (name == "frames_shown") {
            uint64_t n = 0;
            words >> n;
            sawShown = n == 31;
        } else if (name == "first_frame_ms") {
            double v = 0;
            words >> v;
            sawFirst = v > 812.35 && v < 812.45;
        } else if (name == "latency") {
            size_t count = 0;
            double median = 0, p95 = 0, max = 0;
            words >> count >> median >> p95 >> max;
            sawLatency = count == 31 && median == 10 && max == 10;
        } else if (name == "stage_queue_copy") {
            sawQueue = true;
        }
    }
    EXPECT_TRUE(sawShown) << text;
    EXPECT_TRUE(sawFirst) << text;
    EXPECT_TRUE(sawLatency) << text;
    EXPECT_TRUE(sawQueue) << text;
}

}  // namespace
