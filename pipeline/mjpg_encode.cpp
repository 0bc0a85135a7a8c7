#include "pipeline/mjpg_encode.h"

#include <turbojpeg.h>

#include <climits>

MjpgEncoder::~MjpgEncoder() {
    if (buffer_ != nullptr) tjFree(buffer_);
    if (handle_ != nullptr) tjDestroy(handle_);
}

bool MjpgEncoder::Encode(const uint8_t* bgr, int width, int height, const uint8_t** jpeg,
                         size_t* size) {
    if (bgr == nullptr || width <= 0 || height <= 0 || width > INT_MAX / 3) return false;
    if (handle_ == nullptr && (handle_ = tjInitCompress()) == nullptr) return false;
    // The worst case of the size: encoding never has to grow the buffer mid-frame.
    const unsigned long needed = tjBufSize(width, height, TJSAMP_420);
    if (needed == static_cast<unsigned long>(-1)) return false;
    if (needed > capacity_) {
        tjFree(buffer_);
        buffer_ = tjAlloc(static_cast<int>(needed));
        capacity_ = buffer_ != nullptr ? needed : 0;
        if (buffer_ == nullptr) return false;
    }
    unsigned long length = capacity_;
    if (tjCompress2(handle_, bgr, width, width * 3, height, TJPF_BGR, &buffer_, &length,
                    TJSAMP_420, kMjpgEncodeQuality, TJFLAG_NOREALLOC) != 0) {
        return false;
    }
    *jpeg = buffer_;
    *size = length;
    return true;
}
