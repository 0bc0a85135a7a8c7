// Packed top-down BGR24 frames into baseline JPEG (quality 90, 4:2:0) for a compressed video,
// with one TurboJPEG handle and one output buffer kept for a stream of frames of one size.
#pragma once
#include <cstddef>
#include <cstdint>

class MjpgEncoder {
public:
    MjpgEncoder() = default;
    ~MjpgEncoder();
    MjpgEncoder(const MjpgEncoder&) = delete;
    MjpgEncoder& operator=(const MjpgEncoder&) = delete;

    // False when the frame could not be encoded; the bytes stay valid until the next call.
    bool Encode(const uint8_t* bgr, int width, int height, const uint8_t** jpeg, size_t* size);

private:
    void* handle_ = nullptr;
    unsigned char* buffer_ = nullptr;
    unsigned long capacity_ = 0;
};

constexpr int kMjpgEncodeQuality = 90;
