// One MJPG sample into a packed top-down BGR24 frame through libjpeg-turbo.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

enum class MjpgResult {
    Decoded,       // the frame holds the picture (warnings allowed: a truncated tail is filled)
    SizeMismatch,  // a JPEG of another size: nothing written
    Corrupt,       // unreadable header or a fatal decoding error: the frame may be partly written
};

// A decompressor kept for a stream of samples on one thread. It reads every sample's header
// afresh, so it holds nothing of a format and may outlive a device change. The library's
// per-picture memory comes from blocks the decoder keeps: once a picture of a size has been
// decoded, the next ones of that size take nothing from the heap.
class MjpgDecoder {
public:
    MjpgDecoder();
    ~MjpgDecoder();
    MjpgDecoder(const MjpgDecoder&) = delete;
    MjpgDecoder& operator=(const MjpgDecoder&) = delete;

    MjpgResult Decode(const uint8_t* sample, size_t length, int width, int height, uint8_t* dst);

    struct State;

private:
    std::unique_ptr<State> state_;
};

// One sample with a decompressor of its own, for the occasional picture (a still image).
MjpgResult DecodeMjpgFrame(const uint8_t* sample, size_t length, int width, int height,
                           uint8_t* dst);
