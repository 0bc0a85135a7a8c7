#include <gtest/gtest.h>

#include <string>

#include "capture/device_ids.h"
#include "capture/format_map.h"

namespace {

std::u16string Path(std::u16string_view vidPid) {
    return u"@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\usb#" + std::u16string(vidPid) +
           u"&mi_00#6&1234&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}";
}

TEST(UsbIds, ParsesVendorAndProductOfACompositeCameraPath) {
    UsbIds ids;
    ASSERT_TRUE(ParseUsbIds(Path(u"vid_055e&pid_a160"), &ids));
    EXPECT_EQ(ids.vendor, u"055e");
    EXPECT_EQ(ids.product, u"a160");
}

TEST(UsbIds, MalformedPathsFail) {
    const std::u16string bad[] = {
        u"usb#pid_a160&mi_00#x#y",                 // no vid_
        u"usb#vid_055e",                           // vendor not ended by &
        u"usb#vid_055e&pid_a160",                  // product not followed by &
        u"usb#vid_055e&pid_a160&mi_00",            // no #
        u"usb#vid_055e&pid_a160&mi_00#only-one",   // one # only
        u"vid_055e&",                              // product start past the end
        u"vid_055e&pi",                            // product start past the end
    };
    for (const auto& path : bad) EXPECT_FALSE(ParseUsbIds(path, nullptr)) << path.size();
    // The # signs must come after the product's ampersand.
    EXPECT_FALSE(ParseUsbIds(u"a#b#vid_055e&pid_a160&mi_00", nullptr));
}

TEST(UsbIds, PathLengthLimit) {
    std::u16string path = Path(u"vid_055e&pid_a160");
    path.resize(511, u'x');
    EXPECT_TRUE(ParseUsbIds(path, nullptr));
    path.push_back(u'x');
    EXPECT_FALSE(ParseUsbIds(path, nullptr));
}

TEST(UsbIds, AcceptedTable) {
    struct Case {
        const char16_t* vendor;
        const char16_t* product;
        bool accepted;
    } cases[] = {
        {u"055e", u"a160", true},  {u"055E", u"A19B", true},  {u"055e", u"a15f", false},
        {u"055e", u"a19c", false}, {u"05e3", u"f12a", true},  {u"05e3", u"0515", true},
        {u"05e3", u"f12c", false}, {u"0bda", u"2076", true},  {u"1224", u"2825", true},
        {u"1b3f", u"2002", true},  {u"1bcf", u"0b09", true},  {u"32e6", u"9005", true},
        {u"4c4a", u"4755", true},  {u"4c4a", u"4756", false}, {u"046d", u"0825", false},
        {u"055ez", u"a170", true},  // parsing stops at the first non-hex character
        {u"", u"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsAcceptedUsbId(c.vendor, c.product), c.accepted)
            << std::string(c.vendor, c.vendor + std::char_traits<char16_t>::length(c.vendor));
    }
}

TEST(UsbIds, DeviceAcceptanceByNameAndIds) {
    const std::u16string known = Path(u"vid_055e&pid_a160");
    const std::u16string unknown = Path(u"vid_1234&pid_5678");
    EXPECT_TRUE(IsAcceptedDevice(u"USB Microscope", known));
    EXPECT_FALSE(IsAcceptedDevice(u"Integrated Camera", known));
    EXPECT_FALSE(IsAcceptedDevice(u"Microsoft LifeCam", known));
    EXPECT_FALSE(IsAcceptedDevice(u"", known));
    EXPECT_TRUE(IsAcceptedDevice(u"USB integrated cam", known));  // case-sensitive
    EXPECT_TRUE(IsAcceptedDevice(u"ZEBCAMERA", unknown));
    EXPECT_FALSE(IsAcceptedDevice(u"ZEBCAMERA 2", unknown));
    EXPECT_FALSE(IsAcceptedDevice(u"zebcamera", unknown));
    EXPECT_FALSE(IsAcceptedDevice(u"ZEBCAMERA", u"no ids at all"));
}

const FormatEntry Mjpg(int w, int h) { return {kSubtypeMjpg, w, h, 0}; }
const FormatEntry Yuy2(int w, int h) { return {kSubtypeYuy2, w, h, 0}; }

TEST(FormatMapTest, InsertionKeepsTheFirstOfEqualPixelCounts) {
    FormatMap map;
    EXPECT_TRUE(InsertFormat(map, Mjpg(1280, 720)));
    EXPECT_FALSE(InsertFormat(map, Mjpg(960, 960)));
    EXPECT_TRUE(InsertFormat(map, Mjpg(640, 480)));
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.begin()->second.width, 640);
    EXPECT_EQ(map.rbegin()->second.width, 1280);
    EXPECT_EQ(map.rbegin()->second.height, 720);
    EXPECT_FALSE(InsertFormat(map, Mjpg(0, 480)));
    EXPECT_FALSE(InsertFormat(map, Mjpg(70000, 70000)));  // pixel count beyond int32
}

TEST(FormatMapTest, ListableSizes) {
    EXPECT_TRUE(IsListableSize(640, 480));
    EXPECT_FALSE(IsListableSize(639, 480));
    EXPECT_FALSE(IsListableSize(640, 479));
    EXPECT_FALSE(IsListableSize(320, 240));
    // A negative height (a bottom-up bitmap) compares as huge, as an unsigned value does.
    EXPECT_TRUE(IsListableSize(640, static_cast<uint32_t>(-480)));
}

TEST(FormatMapTest, InterpolatedEntriesOnlyWhenLargestIs640x480) {
    FormatMap small;
    InsertFormat(small, Mjpg(640, 480));
    AddInterpolatedEntries(small, kSubtypeMjpg);
    ASSERT_EQ(small.size(), 3u);
    EXPECT_EQ(small.at(1228800).width, 1280);
    EXPECT_EQ(small.at(1228800).height, 960);
    EXPECT_EQ(small.at(1228800).interpolated, 1);
    EXPECT_EQ(small.at(2073600).interpolated, 1);
    EXPECT_EQ(small.at(307200).interpolated, 0);

    FormatMap large;
    InsertFormat(large, Mjpg(640, 480));
    InsertFormat(large, Mjpg(800, 600));
    AddInterpolatedEntries(large, kSubtypeMjpg);
    EXPECT_EQ(large.size(), 2u);

    FormatMap empty;
    AddInterpolatedEntries(empty, kSubtypeYuy2);
    EXPECT_TRUE(empty.empty());
}

TEST(FormatMapTest, DefaultPrefers1080Then720Then480ThenMiddle) {
    auto choose = [](std::initializer_list<FormatEntry> mjpg, std::initializer_list<FormatEntry> yuy2) {
        FormatMap m, y;
        for (const auto& e : mjpg) InsertFormat(m, e);
        for (const auto& e : yuy2) InsertFormat(y, e);
        AddInterpolatedEntries(m, kSubtypeMjpg);
        AddInterpolatedEntries(y, kSubtypeYuy2);
        RequestedFormat r = {kSubtypeNone, 0, 0, 0};
        ChooseDefaultFormat(m, y, &r);
        return r;
    };
    RequestedFormat r = choose({Mjpg(640, 480), Mjpg(1920, 1080), Mjpg(1280, 720)}, {Yuy2(640, 480)});
    EXPECT_TRUE(SameSubtype(r.subtype, kSubtypeMjpg));
    EXPECT_EQ(r.width, 1920);
    r = choose({Mjpg(640, 480), Mjpg(1280, 720), Mjpg(2592, 1944)}, {});
    EXPECT_EQ(r.width, 1280);
    r = choose({Mjpg(640, 480), Mjpg(800, 600), Mjpg(1024, 768)}, {});
    EXPECT_EQ(r.width, 640);
    r = choose({Mjpg(800, 600), Mjpg(1024, 768), Mjpg(1600, 1200)}, {});
    EXPECT_EQ(r.width, 1024);  // middle of three
    r = choose({Mjpg(800, 600), Mjpg(1600, 1200)}, {});
    EXPECT_EQ(r.width, 1600);  // position 2 / 2 = 1
    // The largest MJPG size is 640 x 480: the interpolated 1080p, streamed at 640 x 480.
    r = choose({Mjpg(640, 480)}, {});
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(r.interpolated, 1);
    // YUY2 only.
    r = choose({}, {Yuy2(640, 480), Yuy2(1280, 720)});
    EXPECT_TRUE(SameSubtype(r.subtype, kSubtypeYuy2));
    EXPECT_EQ(r.width, 1280);
    // Nothing at all: the request stays as it was.
    RequestedFormat untouched = {kSubtypeMjpg, 123, 45, 0};
    ChooseDefaultFormat(FormatMap(), FormatMap(), &untouched);
    EXPECT_EQ(untouched.width, 123);
}

TEST(FormatMapTest, InterpolatedRequestStreamsAt640x480) {
    const RequestedFormat r = StreamRequest({kSubtypeMjpg, 1920, 1080, 1});
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(StreamRequest({kSubtypeMjpg, 1920, 1080, 0}).width, 1920);
}

// The open-device dialog: which map a format choice shows and which size it preselects.
TEST(FormatMapTest, DialogChoicesFollowTheOfferedFormatsAndPreselectTheSize) {
    FormatMap mjpg, yuy2, none;
    for (auto e : {Mjpg(640, 480), Mjpg(1280, 720), Mjpg(1920, 1080)}) InsertFormat(mjpg, e);
    for (auto e : {Yuy2(640, 480), Yuy2(800, 600)}) InsertFormat(yuy2, e);

    EXPECT_EQ(&MapOfFormatChoice(mjpg, yuy2, 0), &mjpg);
    EXPECT_EQ(&MapOfFormatChoice(mjpg, yuy2, 1), &yuy2);
    EXPECT_EQ(&MapOfFormatChoice(none, yuy2, 0), &yuy2);  // the list holds "YUY2" alone
    EXPECT_EQ(&MapOfFormatChoice(mjpg, none, 1), &none);

    EXPECT_EQ(PreselectedResolution(mjpg, 1280, 720), 1);
    EXPECT_EQ(PreselectedResolution(yuy2, 1280, 720), 1);  // not there: the middle, 2 / 2
    EXPECT_EQ(PreselectedResolution(mjpg, 0, 0), 1);
    EXPECT_EQ(PreselectedResolution(yuy2, 800, 600), 1);
    EXPECT_EQ(PreselectedResolution(yuy2, 640, 480), 0);
    EXPECT_EQ(PreselectedResolution(none, 640, 480), -1);

    ASSERT_NE(FormatAtPosition(mjpg, 2), nullptr);
    EXPECT_EQ(FormatAtPosition(mjpg, 2)->width, 1920);
    EXPECT_EQ(FormatAtPosition(mjpg, 3), nullptr);
    EXPECT_EQ(FormatAtPosition(mjpg, -1), nullptr);
    EXPECT_EQ(FormatAtPosition(none, 0), nullptr);
}

}  // namespace

#include "capture/open_countdown.h"

namespace {

int TicksUntilOpen(OpenCountdown& c, int limit = 50) {
    for (int i = 1; i <= limit; ++i)
        if (c.Tick()) return i;
    return -1;
}

TEST(OpenCountdownTest, OpensOnFirstTickAfterStartAndEightTicksAfterArrival) {
    OpenCountdown c;
    EXPECT_EQ(TicksUntilOpen(c), -1);  // idle
    c.Start();
    EXPECT_EQ(TicksUntilOpen(c), 1);
    EXPECT_EQ(c.value(), 0);
    c.Arrival();
    EXPECT_EQ(TicksUntilOpen(c), 8);
    // A second arrival in the middle restarts the wait.
    c.Arrival();
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(c.Tick());
    c.Arrival();
    EXPECT_EQ(TicksUntilOpen(c), 8);
}

}  // namespace
