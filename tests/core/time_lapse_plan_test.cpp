#include "app/time_lapse_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(TimeLapsePlan, ChoicesComeIntoRangeAndGiveTheirPictureCount) {
    struct Case {
        TimeLapseChoices in;
        int64_t intervalMs;
        int64_t pictures;
    };
    const Case cases[] = {
        {{1, 0, kEndAfterCount, 10}, 1000, 10},
        {{0, 0, kEndAfterCount, 0}, 1000, 1},                  // nothing below 1 s, 1 picture
        {{30, 2, kEndAfterCount, 5}, 24 * 3600 * 1000, 5},     // at most 24 h
        {{1, 7, kEndAfterCount, 5}, 1000, 5},                  // unknown unit: seconds
        {{1, 2, kEndAfterDuration, 1, 8, 2}, 3600 * 1000, 8},  // hourly for 8 h
        {{3, 0, kEndAfterDuration, 1, 10, 0}, 3000, 4},        // 0, 3, 6, 9 s
        {{2, 1, kEndNever, 1}, 120 * 1000, -1},
        {{2, 1, 9, 4}, 120 * 1000, 4},  // unknown end: by count
    };
    for (const Case& c : cases) {
        const TimeLapseChoices valid = ValidTimeLapseChoices(c.in);
        EXPECT_EQ(IntervalMs(valid), c.intervalMs)
            << c.in.interval << " unit " << c.in.intervalUnit;
        EXPECT_EQ(PlannedPictures(valid), c.pictures) << c.in.interval << " end " << c.in.end;
    }
    TimeLapseChoices odd;
    odd.kind = 5;
    odd.makeVideo = 7;
    odd.videoRate = 500;
    odd = ValidTimeLapseChoices(odd);
    EXPECT_EQ(odd.kind, kKindPhoto);
    EXPECT_EQ(odd.makeVideo, 1);
    EXPECT_EQ(odd.videoRate, 60);
}

// The program wakes up at `wakes` (ms after the start) and takes what is due.
struct Outcome {
    std::vector<int64_t> taken;
    int64_t missed;
};
Outcome Simulate(int64_t intervalMs, int64_t pictures, const std::vector<int64_t>& wakes,
                 const std::vector<int64_t>& cameraAway = {}) {
    TimeLapseSchedule schedule(intervalMs, pictures);
    Outcome run;
    for (int64_t at : wakes) {
        const int64_t n = schedule.Due(at);
        if (n < 0) continue;
        bool away = false;
        for (int64_t a : cameraAway) away = away || a == n;
        if (away) {
            schedule.Missed();
        } else {
            schedule.Taken();
            run.taken.push_back(n);
        }
    }
    EXPECT_EQ(schedule.TakenCount(), static_cast<int64_t>(run.taken.size()));
    run.missed = schedule.MissedCount();
    return run;
}

TEST(TimeLapsePlan, PicturesKeepToTheStartClockAndWhatCouldNotBeTakenIsMissed) {
    // Late wake-ups do not push later pictures back: picture n stays due at n × interval.
    TimeLapseSchedule schedule(1000, 10);
    EXPECT_EQ(schedule.Due(0), 0);
    schedule.Taken();
    EXPECT_EQ(schedule.NextDueMs(), 1000);
    EXPECT_EQ(schedule.Due(999), -1);
    EXPECT_EQ(schedule.Due(1140), 1);
    schedule.Taken();
    EXPECT_EQ(schedule.NextDueMs(), 2000);
    EXPECT_EQ(schedule.Remaining(), 8);

    struct Case {
        std::vector<int64_t> wakes, away;
        std::vector<int64_t> taken;
        int64_t missed;
        const char* what;
    };
    const Case cases[] = {
        {{0, 1000, 2000, 3000}, {}, {0, 1, 2, 3}, 0, "on time"},
        {{0, 3500, 4000},
         {},
         {0, 3, 4},
         2,
         "held up: the passed ones are missed, the newest taken"},
        {{0, 1000, 2000, 3000, 4000, 5000}, {1, 2, 3}, {0, 4}, 3, "camera away for three"},
        {{0, 1000, 9000, 9999, 12000}, {}, {0, 1, 4}, 2, "late past the end: the last one"},
    };
    for (const Case& c : cases) {
        const Outcome run = Simulate(1000, 5, c.wakes, c.away);
        EXPECT_EQ(run.taken, c.taken) << c.what;
        EXPECT_EQ(run.missed, c.missed) << c.what;
    }

    TimeLapseSchedule endless(500, -1);
    EXPECT_EQ(endless.Due(1000000), 2000);
    EXPECT_FALSE(endless.Finished());
    EXPECT_EQ(endless.Remaining(), 1);
    EXPECT_EQ(endless.NextDueMs(), 1000500);
    TimeLapseSchedule two(1000, 2);
    two.Due(0);
    two.Due(1000);
    EXPECT_TRUE(two.Finished());
    EXPECT_EQ(two.NextDueMs(), -1);
    EXPECT_EQ(two.Due(2000), -1);
}

TEST(TimeLapsePlan, NamesAndDiskRoom) {
    const FileStamp start = {2026, 3, 7, 9, 5, 4, 7};
    const FileStamp later = {2026, 3, 7, 9, 5, 14, 12};
    const std::u16string folder = TimeLapseFolder(u"C:\\Pics", start);
    EXPECT_EQ(folder, u"C:\\Pics\\20260307-090504-007");
    EXPECT_EQ(TimeLapsePictureName(folder, 0, later, u"jpg"),
              u"C:\\Pics\\20260307-090504-007\\00001-20260307-090514-012.jpg");
    EXPECT_EQ(TimeLapsePictureName(u"D:", 123455, later, u"tif"),
              u"D:\\123456-20260307-090514-012.tif");
    const std::u16string fits(259 - 30, u'f');  // "\00001-" + stamp + ".png"
    EXPECT_EQ(TimeLapsePictureName(fits, 0, later, u"png").size(), 259u);
    EXPECT_TRUE(TimeLapsePictureName(fits + u"f", 0, later, u"png").empty());

    // Guesses before the first picture, the real size after it; the video's frame on top.
    EXPECT_EQ(PictureBytesEstimate(kKindPhoto, false, 640, 480, 0, false), 640 * 480);
    EXPECT_EQ(PictureBytesEstimate(kKindPhoto, true, 640, 480, 0, false), 640 * 480 * 3);
    EXPECT_GT(PictureBytesEstimate(kKindAnalysisTiff, false, 640, 480, 0, false), 640 * 480 * 3);
    EXPECT_EQ(PictureBytesEstimate(kKindPhoto, true, 640, 480, 5000, true), 5000 + 640 * 480 / 2);

    EXPECT_TRUE(RoomForPictures(10, 100, 2000, 1000));
    EXPECT_FALSE(RoomForPictures(11, 100, 2000, 1000));
    EXPECT_FALSE(RoomForPictures(0, 100, 999, 1000));  // not even the reserve
    // Counts that would overflow a product are simply too many.
    EXPECT_FALSE(RoomForPictures(int64_t{1} << 40, int64_t{1} << 40, ~uint64_t{0}, 0));
}

}  // namespace
