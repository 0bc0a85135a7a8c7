#include "app/time_lapse_plan.h"

#include <algorithm>
#include <cstdio>

#include "settings/app_settings.h"

const int32_t kTimeUnitSeconds[kTimeUnitCount] = {1, 60, 3600};

namespace {

constexpr int32_t kMostPictures = 9999999;
constexpr int32_t kMostDurationValue = 99999;
constexpr int32_t kFastestVideoRate = 60;
// Room for what a picture's file brings besides its pixels (TIFF tags, the overlay).
constexpr int64_t kTiffExtraBytes = 64 * 1024;

int32_t ValidUnit(int32_t unit) { return unit >= 0 && unit < kTimeUnitCount ? unit : 0; }

int64_t Seconds(int32_t value, int32_t unit) {
    return static_cast<int64_t>(value) * kTimeUnitSeconds[ValidUnit(unit)];
}

}  // namespace

TimeLapseChoices ValidTimeLapseChoices(TimeLapseChoices c) {
    c.intervalUnit = ValidUnit(c.intervalUnit);
    const int32_t unit = kTimeUnitSeconds[c.intervalUnit];
    c.interval =
        std::clamp<int32_t>(c.interval, 1, static_cast<int32_t>(kLongestIntervalSeconds / unit));
    if (c.end != kEndAfterDuration && c.end != kEndNever) c.end = kEndAfterCount;
    c.count = std::clamp(c.count, 1, kMostPictures);
    c.durationUnit = ValidUnit(c.durationUnit);
    c.duration = std::clamp(c.duration, 1, kMostDurationValue);
    if (c.kind != kKindAnalysisTiff) c.kind = kKindPhoto;
    c.makeVideo = c.makeVideo != 0 ? 1 : 0;
    c.videoRate = std::clamp(c.videoRate, 1, kFastestVideoRate);
    return c;
}

int64_t IntervalMs(const TimeLapseChoices& choices) {
    const int64_t seconds = Seconds(choices.interval, choices.intervalUnit);
    return std::clamp(seconds, kShortestIntervalSeconds, kLongestIntervalSeconds) * 1000;
}

int64_t PlannedPictures(const TimeLapseChoices& choices) {
    switch (choices.end) {
        case kEndAfterCount:
            return std::max<int64_t>(choices.count, 1);
        case kEndAfterDuration: {
            // Pictures at 0, interval, ... strictly before the duration is over.
            const int64_t durationMs =
                Seconds(std::max(choices.duration, 1), choices.durationUnit) * 1000;
            const int64_t interval = IntervalMs(choices);
            return (durationMs + interval - 1) / interval;
        }
        default:
            return -1;
    }
}

TimeLapseSchedule::TimeLapseSchedule(int64_t intervalMs, int64_t pictures)
    : intervalMs_(std::max<int64_t>(intervalMs, 1)), pictures_(pictures) {}

int64_t TimeLapseSchedule::Due(int64_t elapsedMs) {
    if (Finished() || elapsedMs < next_ * intervalMs_) return -1;
    int64_t newest = elapsedMs / intervalMs_;
    if (pictures_ >= 0) newest = std::min(newest, pictures_ - 1);
    missed_ += newest - next_;
    next_ = newest + 1;
    return newest;
}

int64_t TimeLapseSchedule::NextDueMs() const { return Finished() ? -1 : next_ * intervalMs_; }

int64_t TimeLapseSchedule::Remaining() const { return pictures_ < 0 ? 1 : pictures_ - next_; }

std::u16string TimeLapseFolder(std::u16string_view imageFolder, const FileStamp& start) {
    std::u16string folder(imageFolder);
    folder += u'\\';
    folder += StampText(start);
    return folder;
}

std::u16string TimeLapsePictureName(std::u16string_view folder, int64_t n, const FileStamp& taken,
                                    std::u16string_view extension) {
    char number[32];
    std::snprintf(number, sizeof number, "%05lld-", static_cast<long long>(n + 1));
    std::u16string path(folder);
    path += u'\\';
    for (const char* p = number; *p != '\0'; ++p) path += static_cast<char16_t>(*p);
    path += StampText(taken);
    path += u'.';
    path += extension;
    if (path.size() > kPathChars - 1) return std::u16string();
    return path;
}

int64_t PictureBytesEstimate(int32_t kind, bool png, int32_t width, int32_t height,
                             int64_t largestWritten, bool makeVideo) {
    const int64_t pixels = static_cast<int64_t>(std::max(width, 0)) * std::max(height, 0);
    const int64_t raw = pixels * 3;
    int64_t picture = largestWritten;
    if (picture <= 0) {
        // A JPEG of best quality rarely takes more than a byte per pixel; a PNG of a noisy
        // camera picture hardly compresses.
        picture = kind == kKindAnalysisTiff ? raw + kTiffExtraBytes : png ? raw : pixels;
    }
    // The video's frames are JPEGs of lower quality.
    return picture + (makeVideo ? pixels / 2 : 0);
}

bool RoomForPictures(int64_t pictures, int64_t bytesEach, uint64_t freeBytes, int64_t reserve) {
    const uint64_t kept = static_cast<uint64_t>(std::max<int64_t>(reserve, 0));
    if (freeBytes < kept) return false;
    if (pictures <= 0 || bytesEach <= 0) return true;
    return static_cast<uint64_t>(pictures) <= (freeBytes - kept) / static_cast<uint64_t>(bytesEach);
}
