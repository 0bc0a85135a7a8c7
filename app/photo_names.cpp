#include "app/photo_names.h"

#include <cstdio>

#include "settings/app_settings.h"

namespace {

// A copy number this high means something else is wrong (a folder full of one millisecond).
constexpr int kMostCopies = 999;

std::u16string Widen(const char* ascii) {
    std::u16string wide;
    for (const char* p = ascii; *p != '\0'; ++p) wide += static_cast<char16_t>(*p);
    return wide;
}

}  // namespace

std::u16string StampText(const FileStamp& stamp) {
    char digits[64];
    std::snprintf(digits, sizeof digits, "%d%02d%02d-%02d%02d%02d-%03d", stamp.year, stamp.month,
                  stamp.day, stamp.hour, stamp.minute, stamp.second, stamp.milliseconds);
    return Widen(digits);
}

std::u16string StampedFileName(std::u16string_view folder, const FileStamp& stamp,
                               std::u16string_view extension, int copy) {
    std::u16string path(folder);
    path += u'\\';
    path += StampText(stamp);
    if (copy >= 2) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "-%d", copy);
        path += Widen(digits);
    }
    path += u'.';
    path += extension;
    if (path.size() > kPathChars - 1) return std::u16string();
    return path;
}

std::u16string FreeStampedFileName(std::u16string_view folder, const FileStamp& stamp,
                                   std::u16string_view extension,
                                   const std::function<bool(const std::u16string&)>& taken) {
    for (int copy = 1; copy <= kMostCopies; ++copy) {
        std::u16string path = StampedFileName(folder, stamp, extension, copy);
        if (path.empty()) return path;
        if (!taken(path)) return path;
    }
    return std::u16string();
}

std::u16string_view PhotoExtension(int32_t jpgPng) { return jpgPng == 1 ? u"png" : u"jpg"; }

bool SavesAsJpeg(std::u16string_view path) {
    return path.size() >= 3 && path.substr(path.size() - 3) == u"jpg";
}

std::u16string CoverPhotoPath(std::u16string_view videoPath, int32_t jpgPng) {
    if (videoPath.size() < 3) return std::u16string();
    std::u16string cover(videoPath.substr(0, videoPath.size() - 3));
    cover += PhotoExtension(jpgPng);
    return cover;
}
