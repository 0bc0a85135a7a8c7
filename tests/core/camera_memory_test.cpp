#include "capture/camera_memory.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CameraMemory, KeysComeFromVendorProductAndInstance) {
    const struct {
        std::u16string path;
        std::string key;
    } cases[] = {
        {u"@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\usb#vid_055e&pid_a160&mi_00#"
         u"6&dd311d91&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}",
         "055e:a160:6&dd311d91&0&0000"},
        {u"\\\\?\\USB#VID_1B3F&PID_2002#5&1A2B&0&3#{65e8773d-8f56-11d0-a3b9-00a0c9223196}",
         "1b3f:2002:5&1a2b&0&3"},
        {u"usb#vid_055e&pid_a160#6&1|x&0#{x}", ""},  // a separator of the stored form
        {u"usb#vid_055e&pid_a160&mi_00", ""},        // no instance
        {u"pci#ven_8086#3&11583659&0&10#{x}", ""},
        {u"usb#vid_05&pid_a1#1#{x}", ""},  // ids too short
    };
    for (const auto& c : cases) EXPECT_EQ(CameraMemoryKey(c.path), c.key);
}

TEST(CameraMemory, RemembersPerCameraNewestFirstAndForgetsTheOldestBeyondSixteen) {
    CameraMemory memory;
    memory.Remember("a", {kPropExposure, -7, false});
    memory.Remember("b", {kPropGain, 40, false});
    memory.Remember("a", {kPropWhiteBalance, 0, true});
    memory.Remember("a", {kPropExposure, -5, false});  // replaces, keeps its place
    memory.Remember("", {kPropGain, 1, false});        // no key: nothing
    EXPECT_EQ(memory.ToText(), "a|exposure=-5,whitebalance=auto;b|gain=40;");

    for (int i = 0; i < 16; ++i) memory.Remember("c" + std::to_string(i), {kPropFocus, i, false});
    EXPECT_EQ(memory.size(), CameraMemory::kMaxCameras);
    EXPECT_TRUE(memory.SettingsOf("b").empty());  // the two oldest are gone
    EXPECT_TRUE(memory.SettingsOf("a").empty());
    EXPECT_TRUE(memory.Touch("c0"));  // opened again: newest, so it stays
    memory.Remember("d", {kPropZoom, 150, false});
    EXPECT_EQ(memory.SettingsOf("c0").size(), 1u);
    EXPECT_TRUE(memory.SettingsOf("c1").empty());
}

TEST(CameraMemory, StoredTextRoundTripsAndMalformedPartsAreSkipped) {
    const std::string text =
        "055e:a160:6&1&0&0|exposure=-7,focus=auto,powerline=2;x:y:z|gain=-2147483648;";
    EXPECT_EQ(CameraMemory::FromText(text).ToText(), text);

    const CameraMemory damaged = CameraMemory::FromText(
        "k1|exposure=-7,bogus=3,gain=12x,zoom=,hue=99999999999,focus=auto;"  // one bad item each
        "|gain=5;"                                                           // no key
        "k2 without bar;"
        "k3|gain=7");  // cut short
    EXPECT_EQ(damaged.ToText(), "k1|exposure=-7,focus=auto;k3|gain=7;");
    EXPECT_EQ(CameraMemory::FromText("").size(), 0u);
    EXPECT_EQ(CameraMemory::FromText(";;;|").size(), 0u);
}

}  // namespace
