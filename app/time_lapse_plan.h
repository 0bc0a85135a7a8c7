// Time-lapse runs: the user's choices, the clock pictures are taken on, their names and the
// disk room they need. Portable; the shell takes the pictures.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "app/photo_names.h"

enum TimeLapseEnd : int32_t { kEndAfterCount = 0, kEndAfterDuration = 1, kEndNever = 2 };
enum TimeLapseKind : int32_t { kKindPhoto = 0, kKindAnalysisTiff = 1 };
// Units the dialog shows a time in: seconds, minutes, hours.
constexpr int kTimeUnitCount = 3;
extern const int32_t kTimeUnitSeconds[kTimeUnitCount];

constexpr int64_t kShortestIntervalSeconds = 1;
constexpr int64_t kLongestIntervalSeconds = 24 * 3600;

// What the dialog offers and the registry keeps; times as a number in a unit.
struct TimeLapseChoices {
    int32_t interval = 10;
    int32_t intervalUnit = 0;
    int32_t end = kEndAfterCount;
    int32_t count = 100;
    int32_t duration = 60;
    int32_t durationUnit = 1;
    int32_t kind = kKindPhoto;
    int32_t makeVideo = 0;
    int32_t videoRate = 10;  // frames per second
};

// Every field brought into its range: the interval between 1 s and 24 h, counts, durations
// and rates at least 1, unknown units and kinds to the first.
TimeLapseChoices ValidTimeLapseChoices(TimeLapseChoices choices);
int64_t IntervalMs(const TimeLapseChoices& choices);
// Pictures the run takes: the count, the pictures that start within the duration, or -1
// for a run without end.
int64_t PlannedPictures(const TimeLapseChoices& choices);

// Picture n is due at start + n × interval, however late the one before was taken. Each
// picture is either taken or missed; pictures whose time passed while another one was due
// (the program was held up) are missed too.
class TimeLapseSchedule {
public:
    TimeLapseSchedule(int64_t intervalMs, int64_t pictures);

    // The picture to take now, `elapsedMs` after the start: the newest one due, the ones
    // before it that were never handled counted as missed. -1 when none is due.
    int64_t Due(int64_t elapsedMs);
    // What became of the picture Due returned.
    void Taken() { ++taken_; }
    void Missed() { ++missed_; }

    bool Finished() const { return pictures_ >= 0 && next_ >= pictures_; }
    // When the next picture is due, after the start; -1 once finished.
    int64_t NextDueMs() const;
    int64_t TakenCount() const { return taken_; }
    int64_t MissedCount() const { return missed_; }
    // Pictures not yet handled; 1 for a run without end (the next one).
    int64_t Remaining() const;

private:
    int64_t intervalMs_;
    int64_t pictures_;
    int64_t next_ = 0;
    int64_t taken_ = 0;
    int64_t missed_ = 0;
};

// A run's folder inside the image folder, named by its start: "<imageFolder>\<stamp>".
std::u16string TimeLapseFolder(std::u16string_view imageFolder, const FileStamp& start);
// Picture n (from 0) of a run: "<folder>\<n + 1, five digits or more>-<stamp>.<extension>".
// Empty when the path would not fit a 260-character path buffer.
std::u16string TimeLapsePictureName(std::u16string_view folder, int64_t n, const FileStamp& taken,
                                    std::u16string_view extension);

// Bytes one picture of `width` × `height` may take on disk: the largest written so far, or
// before the first a generous guess for the kind (`png` for a photo saved as PNG), plus its
// frame in the video made at the end.
int64_t PictureBytesEstimate(int32_t kind, bool png, int32_t width, int32_t height,
                             int64_t largestWritten, bool makeVideo);
// Whether `freeBytes` hold `pictures` of `bytesEach` and still leave `reserve`.
bool RoomForPictures(int64_t pictures, int64_t bytesEach, uint64_t freeBytes, int64_t reserve);
