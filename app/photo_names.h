// Names of the files the program saves: photos, videos and a video's cover photo, stamped
// with the local time they were made.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Local time of a stamp, as the clock gives it.
struct FileStamp {
    int year, month, day, hour, minute, second, milliseconds;
};

// "YYYYMMDD-hhmmss-mmm".
std::u16string StampText(const FileStamp& stamp);

// "<folder>\YYYYMMDD-hhmmss-mmm.<extension>"; a `copy` of 2 or more adds "-<copy>" before
// the dot. Empty when the path would not fit a 260-character path buffer.
std::u16string StampedFileName(std::u16string_view folder, const FileStamp& stamp,
                               std::u16string_view extension, int copy = 1);

// The stamped name that `taken` says is free: the plain one, else the first free copy.
// Two files made in the same millisecond thus never share a name. Empty when no name fits.
std::u16string FreeStampedFileName(std::u16string_view folder, const FileStamp& stamp,
                                   std::u16string_view extension,
                                   const std::function<bool(const std::u16string&)>& taken);

// "png" for jpgPng 1, else "jpg".
std::u16string_view PhotoExtension(int32_t jpgPng);
// A path whose last three characters are exactly "jpg" is written as JPEG, anything else
// as PNG.
bool SavesAsJpeg(std::u16string_view path);
// The video's path with its last three characters replaced by the photo extension.
std::u16string CoverPhotoPath(std::u16string_view videoPath, int32_t jpgPng);
