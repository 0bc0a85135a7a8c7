#include "app/photo_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const FileStamp kStamp = {2024, 3, 7, 9, 5, 4, 7};

TEST(PhotoNames, StampIsZeroPaddedAndCopiesGetASuffixBeforeTheExtension) {
    EXPECT_EQ(StampedFileName(u"C:\\Pics", kStamp, u"jpg"), u"C:\\Pics\\20240307-090504-007.jpg");
    EXPECT_EQ(StampedFileName(u"C:\\Pics", kStamp, u"png", 2), u"C:\\Pics\\20240307-090504-007-2.png");
    EXPECT_EQ(StampedFileName(u"D:", {1999, 12, 31, 23, 59, 59, 999}, u"avi"),
              u"D:\\19991231-235959-999.avi");

    // A path that would not fit 260 characters with its terminator is no path at all.
    const std::u16string fits(259 - 24, u'f');  // 24: "\" + 19-character stamp + ".jpg"
    EXPECT_EQ(StampedFileName(fits, kStamp, u"jpg").size(), 259u);
    EXPECT_TRUE(StampedFileName(fits + u"f", kStamp, u"jpg").empty());
    EXPECT_TRUE(StampedFileName(fits, kStamp, u"jpg", 2).empty());
}

TEST(PhotoNames, FreeNameSkipsEveryTakenOne) {
    std::set<std::u16string> taken;
    const auto isTaken = [&](const std::u16string& path) { return taken.count(path) == 1; };
    const std::u16string plain = FreeStampedFileName(u"C:\\P", kStamp, u"png", isTaken);
    EXPECT_EQ(plain, u"C:\\P\\20240307-090504-007.png");
    taken.insert(plain);
    taken.insert(u"C:\\P\\20240307-090504-007-2.png");
    EXPECT_EQ(FreeStampedFileName(u"C:\\P", kStamp, u"png", isTaken), u"C:\\P\\20240307-090504-007-3.png");
    // The other extension is a different name.
    EXPECT_EQ(FreeStampedFileName(u"C:\\P", kStamp, u"jpg", isTaken), u"C:\\P\\20240307-090504-007.jpg");
    // Nothing free at all: no name rather than a name that overwrites.
    EXPECT_TRUE(FreeStampedFileName(u"C:\\P", kStamp, u"png", [](const std::u16string&) {
                    return true;
                }).empty());
}

TEST(PhotoNames, EncoderFollowsTheExactLowerCaseExtension) {
    EXPECT_EQ(PhotoExtension(0), u"jpg");
    EXPECT_EQ(PhotoExtension(1), u"png");
    EXPECT_TRUE(SavesAsJpeg(u"C:\\a\\b.jpg"));
    EXPECT_FALSE(SavesAsJpeg(u"C:\\a\\b.JPG"));  // upper case goes to PNG
    EXPECT_FALSE(SavesAsJpeg(u"C:\\a\\b.png"));
    EXPECT_FALSE(SavesAsJpeg(u"pg"));
    EXPECT_TRUE(SavesAsJpeg(u"jpg"));
}

TEST(PhotoNames, CoverTakesTheVideosNameWithThePhotoExtension) {
    EXPECT_EQ(CoverPhotoPath(u"C:\\v\\20240307-090504-007.avi", 0), u"C:\\v\\20240307-090504-007.jpg");
    EXPECT_EQ(CoverPhotoPath(u"C:\\v\\x.avi", 1), u"C:\\v\\x.png");
    EXPECT_TRUE(CoverPhotoPath(u"av", 0).empty());
}

}  // namespace
