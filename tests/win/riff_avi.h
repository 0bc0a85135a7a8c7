// A reader of our own for the AVI files the recorder writes: the RIFF chunks, the stream
// header and format, the frames of the movie list and the index.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct AviFacts {
    bool parsed = false;
    std::string error;
    // avih
    uint32_t totalFrames = 0;
    // strh
    std::string streamType, handler;
    uint32_t scale = 0, rate = 0, length = 0, suggestedBufferSize = 0, quality = 0;
    int16_t frame[4] = {};  // rcFrame: left, top, right, bottom
    // strf
    uint32_t formatSize = 0;
    int32_t width = 0, height = 0;
    uint16_t planes = 0, bitCount = 0;
    uint32_t compression = 0, sizeImage = 0;
    std::string name;  // strn
    // movi and idx1
    std::vector<size_t> frameOffsets;  // where each '00db' (or compressed '00dc') chunk's data starts
    std::vector<uint32_t> frameSizes;
    size_t indexEntries = 0;
    bool allKeyFrames = true;
};

namespace riff_detail {
inline uint32_t U32(const std::vector<uint8_t>& d, size_t at) {
    uint32_t v = 0;
    if (at + 4 <= d.size()) std::memcpy(&v, &d[at], 4);
    return v;
}
inline std::string Tag(const std::vector<uint8_t>& d, size_t at) {
    return at + 4 <= d.size() ? std::string(reinterpret_cast<const char*>(&d[at]), 4) : "";
}

inline void Walk(const std::vector<uint8_t>& d, size_t at, size_t end, AviFacts& f) {
    while (at + 8 <= end) {
        const std::string id = Tag(d, at);
        const uint32_t size = U32(d, at + 4);
        const size_t body = at + 8;
        if (body + size > end) {
            f.error = "chunk " + id + " runs past its list";
            return;
        }
        if (id == "LIST") {
            const std::string type = Tag(d, body);
            if (type == "movi") {
                for (size_t c = body + 4; c + 8 <= body + size;) {
                    const uint32_t n = U32(d, c + 4);
                    if (Tag(d, c) == "00db" || Tag(d, c) == "00dc") {
                        f.frameOffsets.push_back(c + 8);
                        f.frameSizes.push_back(n);
                    }
                    c += 8 + n + (n & 1);
                }
            } else {
                Walk(d, body + 4, body + size, f);
            }
        } else if (id == "avih") {
            f.totalFrames = U32(d, body + 16);
        } else if (id == "strh") {
            f.streamType = Tag(d, body);
            f.handler = Tag(d, body + 4);
            f.scale = U32(d, body + 20);
            f.rate = U32(d, body + 24);
            f.length = U32(d, body + 32);
            f.suggestedBufferSize = U32(d, body + 36);
            f.quality = U32(d, body + 40);
            if (size >= 56) std::memcpy(f.frame, &d[body + 48], sizeof f.frame);
        } else if (id == "strf") {
            f.formatSize = size;
            f.width = static_cast<int32_t>(U32(d, body + 4));
            f.height = static_cast<int32_t>(U32(d, body + 8));
            f.planes = static_cast<uint16_t>(U32(d, body + 12) & 0xFFFF);
            f.bitCount = static_cast<uint16_t>(U32(d, body + 12) >> 16);
            f.compression = U32(d, body + 16);
            f.sizeImage = U32(d, body + 20);
        } else if (id == "strn") {
            f.name.assign(reinterpret_cast<const char*>(&d[body]), strnlen(reinterpret_cast<const char*>(&d[body]), size));
        } else if (id == "idx1") {
            f.indexEntries = size / 16;
            for (size_t e = 0; e < f.indexEntries; ++e) {
                f.allKeyFrames = f.allKeyFrames && (U32(d, body + e * 16 + 4) & 0x10) != 0;
            }
        }
        at = body + size + (size & 1);
    }
}
}  // namespace riff_detail

inline AviFacts ParseAvi(const std::vector<uint8_t>& d) {
    AviFacts f;
    if (riff_detail::Tag(d, 0) != "RIFF" || riff_detail::Tag(d, 8) != "AVI ") {
        f.error = "not a RIFF AVI file";
        return f;
    }
    const size_t end = 8 + static_cast<size_t>(riff_detail::U32(d, 4));
    if (end > d.size()) {
        f.error = "RIFF size past the end of the file";
        return f;
    }
    riff_detail::Walk(d, 12, end, f);
    f.parsed = f.error.empty();
    return f;
}
