// Media subtypes as 16 raw bytes, laid out exactly like a Windows GUID in memory,
// so the shell can memcpy a GUID in and out without any conversion.
#pragma once
#include <cstdint>
#include <cstring>

struct MediaSubtype {
    uint8_t bytes[16];
};

inline bool SameSubtype(const MediaSubtype& a, const MediaSubtype& b) {
    return std::memcmp(a.bytes, b.bytes, 16) == 0;
}

// {47504A4D-0000-0010-8000-00AA00389B71}
constexpr MediaSubtype kSubtypeMjpg = {{0x4D, 0x4A, 0x50, 0x47, 0x00, 0x00, 0x10, 0x00,
                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// {32595559-0000-0010-8000-00AA00389B71}
constexpr MediaSubtype kSubtypeYuy2 = {{0x59, 0x55, 0x59, 0x32, 0x00, 0x00, 0x10, 0x00,
                                        0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr MediaSubtype kSubtypeNone = {{0}};
