// The arithmetic of recording: frame timing and stream rate from the measured frame rate,
// the layout of the rows written, how many frames may wait for the writer, and the record
// dialog's clock, time limits and file split.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Recorded time counts in 100-ns units, as the AVI clock does.
constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kTicksPerMillisecond = 10000;
// The stream header's rate is rate / scale frames per second.
constexpr uint32_t kStreamScale = 10;
// A file is continued in a new one once it holds more than this.
constexpr int64_t kSplitBytes = 0x82FFFFFF;
// The platform's AVI writer keeps file positions in 32 signed bits: what it places at or past
// 2 GiB wraps to the start of the file, over the first frames. kSplitBytes lies beyond, so a
// file of large frames is continued sooner, as its room below this runs out.
constexpr int64_t kAviFileLimit = int64_t{1} << 31;
// What the writer puts around the frames: the headers before the first one (padded to 2 KiB),
// a chunk header per frame, the index behind them with its own header and one entry per
// frame, and past the index room for what the writer leaves there (20 zero bytes).
constexpr int64_t kAviHeaderBytes = 2048;
constexpr int64_t kAviChunkHeaderBytes = 8;
constexpr int64_t kAviIndexEntryBytes = 16;
constexpr int64_t kAviTrailBytes = 2048;

// The measured rate, or 30 when it is not a finite positive number (no frame has been timed
// yet, or the clock misbehaved). Rates above 1000 count as 1000.
float UsableFrameRate(float measured);
// Recorded time per frame: 10 000 000 / max(rate, 5) in single precision, truncated. Slower
// cameras thus count each frame as 0.2 s.
int64_t FrameDuration(float measured);
// The stream header's dwRate: the rate times 10, rounded, at least 1.
uint32_t StreamRate(float measured);

// Bytes of one row of a 24-bit bottom-up DIB: padded to a multiple of four.
size_t DibStride(int width);
size_t DibImageSize(int width, int height);
// Writes a packed top-down BGR frame as DIB rows: bottom row first, each padded with zeros.
void FrameToDibRows(const uint8_t* frame, int width, int height, uint8_t* dib);

// Bytes of a finished file of `frames` frames of `frameBytes` each, index included.
int64_t AviFileBytes(int64_t frames, size_t frameBytes);
// How many more frames of `frameBytes` a file that holds `frames` can take with every byte,
// index included, below kAviFileLimit; 0 when none.
int64_t AviFramesLeft(int64_t frames, size_t frameBytes);

// How many frames may wait for the writer: about two seconds of them, no more than 256 MB,
// and never fewer than two.
size_t RecordQueueLimit(size_t frameBytes, float measuredRate);

// Compressed video: frames of varying size, each with its chunk and index entry.
int64_t AviFrameCost(size_t frameBytes);
// Bytes a file whose frames cost `framesCost` so far can still take below kAviFileLimit.
int64_t AviBytesLeft(int64_t framesCost);

// What the record queue may hold: as many bytes as RecordQueueLimit's frames of `frameBytes`,
// and, for compressed samples of a tenth of that or less, that many times more frames.
struct RecordQueueBounds {
    size_t frames;
    size_t bytes;
};
RecordQueueBounds RecordQueueBoundsFor(size_t frameBytes, float measuredRate, bool compressed);
// The most a compressed file may still be given once a split is asked for: the full queue and
// one raw-sized frame in hand, all with their chunk headers and index entries.
int64_t AviBytesToCome(const RecordQueueBounds& queue, size_t frameBytes);

// The file's stream header and format, in the first `length` bytes of a finished AVI, made to
// announce `largest` as the biggest sample (dwSuggestedBufferSize, biSizeImage). False when
// they are not there.
bool SetLargestSampleInHeader(uint8_t* file, size_t length, uint32_t largest);

// The record dialog's time limits: the six listed choices and the values behind the list.
constexpr int kListedTimeLimits = 6;
constexpr int kTimeLimitValues = 11;
extern const int32_t kTimeLimitSeconds[kTimeLimitValues];
extern const char* const kTimeLimitKeys[kListedTimeLimits];
// The listed position of a stored limit; a value that is not listed selects position 0.
int TimeLimitPosition(int32_t seconds);

// Recorded milliseconds of the current file plus those of the files closed by splits.
int64_t TotalMilliseconds(int64_t recordedTime, int64_t carriedTime);
// "42.7" below a minute, "12:05" from a minute on (minutes are not folded into hours).
std::string FormatRecordedTime(int64_t totalMs);

enum class RecordCheck { Continue, Stop, Split };
// What the dialog's timer does: stop at the time limit (0: none), else split a file that
// has grown past `splitBytes` or whose room is running out.
RecordCheck CheckRecording(int64_t totalMs, int32_t timeLimitSeconds, int64_t bytesWritten,
                           int64_t splitBytes, bool roomRunningOut);
