#include "capture/camera_properties.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// A camera whose properties answer from a table and which records every Set.
class FakeCamera final : public PropertyBackend {
public:
    struct Range {
        int32_t min, max, step, def, capsFlags, value, currentFlags;
    };
    bool hasCameraControl = true;
    bool hasProcAmp = true;
    std::map<std::pair<int, long>, Range> ranges;
    std::vector<std::string> calls;
    std::vector<std::string> debug;

    void Define(PropertyIndex index, Range r) {
        ranges[{static_cast<int>(InterfaceOf(index)), PlatformPropertyOf(index)}] = r;
    }
    bool Has(PropertyInterface iface) override {
        return iface == PropertyInterface::CameraControl ? hasCameraControl : hasProcAmp;
    }
    bool GetRange(PropertyInterface iface, long property, int32_t* min, int32_t* max, int32_t* step,
                  int32_t* def, int32_t* flags) override {
        auto it = ranges.find({static_cast<int>(iface), property});
        if (it == ranges.end()) return false;
        *min = it->second.min;
        *max = it->second.max;
        *step = it->second.step;
        *def = it->second.def;
        *flags = it->second.capsFlags;
        return true;
    }
    void Get(PropertyInterface iface, long property, int32_t* value, int32_t* flags) override {
        auto it = ranges.find({static_cast<int>(iface), property});
        if (it == ranges.end()) return;
        *value = it->second.value;
        *flags = it->second.currentFlags;
    }
    void Set(PropertyInterface iface, long property, long value, long flags) override {
        calls.push_back(std::string(iface == PropertyInterface::CameraControl ? "cc " : "pa ") +
                        std::to_string(property) + " " + std::to_string(value) + " " +
                        std::to_string(flags));
    }
    void Debug(const std::string& line) override { debug.push_back(line); }
};

FakeCamera TypicalCamera() {
    FakeCamera cam;
    cam.Define(kPropExposure, {-13, -1, 1, -6, 3, -5, 1});
    cam.Define(kPropWhiteBalance, {2800, 6500, 10, 4600, 3, 5000, 2});
    cam.Define(kPropGain, {0, 100, 1, 10, 2, 40, 2});
    cam.Define(kPropBrightness, {-64, 64, 1, 0, 2, 12, 2});
    cam.Define(kPropContrast, {0, 95, 1, 32, 2, 50, 2});
    cam.Define(kPropHue, {-180, 180, 1, 0, 2, 5, 2});
    cam.Define(kPropSaturation, {0, 128, 1, 64, 2, 70, 2});
    cam.Define(kPropSharpness, {0, 7, 1, 3, 2, 6, 2});
    cam.Define(kPropGamma, {72, 500, 1, 100, 2, 120, 2});
    cam.Define(kPropBacklight, {0, 2, 1, 1, 2, 1, 2});
    cam.Define(kPropPowerLine, {1, 2, 1, 1, 2, 2, 2});
    return cam;
}

TEST(CameraProperties, ReadAllFillsRecordsWithAutoBitsAndDebugLines) {
    FakeCamera cam = TypicalCamera();
    CameraProperties props;
    props.ReadAll(cam);
    const CameraProperty& exposure = props[kPropExposure];
    EXPECT_EQ(exposure.min, -13);
    EXPECT_EQ(exposure.max, -1);
    EXPECT_EQ(exposure.defaultValue, -6);
    EXPECT_EQ(exposure.value, -5);
    EXPECT_EQ(exposure.flags, 1);  // the current flags replace the capability flags
    EXPECT_EQ(exposure.autoCapable, 1);
    EXPECT_EQ(exposure.autoOn, 1);
    EXPECT_EQ(props[kPropWhiteBalance].autoCapable, 1);
    EXPECT_EQ(props[kPropWhiteBalance].autoOn, 0);
    EXPECT_EQ(props[kPropContrast].value, 50);
    EXPECT_EQ(props[kPropPowerLine].value, 2);
    ASSERT_EQ(cam.debug.size(), 4u);
    EXPECT_EQ(cam.debug[0], "IID_IAMCameraControl -13 -1 1 -6 0 3\r\n");
    EXPECT_EQ(cam.debug[1], "IID_IAMCameraControl -13 -1 1 -6 -5 1\r\n");
    EXPECT_EQ(cam.debug[2], "VideoProcAmp_WhiteBalance 2800 6500 10 4600 2\r\n");
    EXPECT_EQ(cam.debug[3], "VideoProcAmp_Contrast 0 95 1 32 50 2\r\n");
}

TEST(CameraProperties, CameraWithoutCameraControl) {
    FakeCamera cam = TypicalCamera();
    cam.hasCameraControl = false;
    CameraProperties props;
    props.ReadAll(cam);
    EXPECT_EQ(props[kPropExposure].max, 0);
    EXPECT_EQ(props[kPropExposure].value, 0);
    EXPECT_EQ(props[kPropBrightness].value, 12);
    props.SetAuto(cam, kPropExposure, true);
    props.SetManual(cam, kPropExposure, -3);
    EXPECT_TRUE(cam.calls.empty());
    EXPECT_EQ(props[kPropExposure].autoOn, 0);
}

TEST(CameraProperties, AutoOnThenOffGoesToTheClampedDefault) {
    FakeCamera cam = TypicalCamera();
    cam.Define(kPropWhiteBalance, {2800, 4000, 10, 4600, 3, 3000, 2});  // default above max
    CameraProperties props;
    props.ReadAll(cam);
    props.SetManual(cam, kPropWhiteBalance, 3100);
    props.SetAuto(cam, kPropWhiteBalance, true);
    props.SetAuto(cam, kPropWhiteBalance, false);
    const std::vector<std::string> expected = {"pa 7 3100 2", "pa 7 0 1", "pa 7 4000 2"};
    EXPECT_EQ(cam.calls, expected);
    EXPECT_EQ(props[kPropWhiteBalance].value, 4000);
    EXPECT_EQ(props[kPropWhiteBalance].autoOn, 0);

    // An inverted range: max wins.
    cam.Define(kPropExposure, {5, 1, 1, 0, 3, 2, 2});
    props.ReadAll(cam);
    cam.calls.clear();
    props.SetAuto(cam, kPropExposure, false);
    EXPECT_EQ(cam.calls, std::vector<std::string>{"cc 4 1 2"});

    // Auto applies to exposure and white balance only.
    cam.calls.clear();
    props.SetAuto(cam, kPropGain, true);
    EXPECT_TRUE(cam.calls.empty());
}

TEST(CameraProperties, ResetTouchesOnlyTheSevenPictureControlsInOrder) {
    FakeCamera cam = TypicalCamera();
    CameraProperties props;
    props.ReadAll(cam);
    props.ResetToDefaults(cam);
    const std::vector<std::string> expected = {"pa 9 10 2", "pa 0 0 2",   "pa 1 32 2", "pa 2 0 2",
                                               "pa 3 64 2", "pa 4 3 2",   "pa 5 100 2"};
    EXPECT_EQ(cam.calls, expected);
    EXPECT_EQ(props[kPropExposure].value, -5);
    EXPECT_EQ(props[kPropWhiteBalance].value, 5000);
    EXPECT_EQ(props[kPropGain].value, 10);
}

TEST(CameraProperties, PowerLineAndCloseZeroing) {
    FakeCamera cam = TypicalCamera();
    CameraProperties props;
    props.ReadAll(cam);
    props.SetPowerLine(cam, 0);
    props.SetPowerLine(cam, 1);
    props.SetPowerLine(cam, 5);  // not a choice: ignored
    EXPECT_EQ(cam.calls, (std::vector<std::string>{"pa 13 1 2", "pa 13 2 2"}));
    EXPECT_EQ(props[kPropPowerLine].value, 2);

    props.ZeroForClose();
    EXPECT_EQ(props[kPropGain].max, 0);
    EXPECT_EQ(props[kPropPowerLine].value, 0);
    EXPECT_EQ(props[kPropWhiteBalance].value, 5000);
    EXPECT_EQ(props[kPropBacklight].value, 1);
}

TEST(CameraProperties, NamesAndLabels) {
    EXPECT_EQ(kPropertyNames[0].controlId, 1061);
    EXPECT_STREQ(kPropertyNames[8].key, "gamma");
    EXPECT_EQ(PlatformPropertyOf(kPropertyNames[8].index), 5);
    EXPECT_EQ(PropertyLabel(u"Gain:", -12), u"Gain:  -12");
}

}  // namespace

namespace {

// A microscope with focus and zoom but no pan, tilt, roll or iris, after an earlier camera
// that had white balance: what the new one reports decides what is restored and shown.
TEST(CameraProperties, RestoreClampsIntoTheReportedRangeAndSkipsWhatIsNotReported) {
    FakeCamera cam = TypicalCamera();
    cam.Define(kPropFocus, {0, 255, 1, 128, 3, 100, 1});
    cam.Define(kPropZoom, {100, 200, 10, 100, 2, 100, 2});
    CameraProperties props;
    props.ReadAll(cam);
    EXPECT_TRUE(props.Reported(kPropFocus));
    EXPECT_TRUE(props.Reported(kPropZoom));
    EXPECT_FALSE(props.Reported(kPropPan));
    EXPECT_FALSE(props.Reported(kPropColorEnable));
    EXPECT_EQ(props[kPropFocus].autoOn, 1);

    props.Restore(cam, kPropZoom, 400, false);       // beyond the narrower range
    props.Restore(cam, kPropFocus, 77, false);       // leaves auto
    props.Restore(cam, kPropGain, -5, false);        // below the range
    props.Restore(cam, kPropWhiteBalance, 0, true);  // auto where offered
    props.Restore(cam, kPropBrightness, 0, true);    // no auto offered: left alone
    props.Restore(cam, kPropPan, 30, false);         // not reported: left alone
    props.Restore(cam, kPropPowerLine, 1, false);
    const std::vector<std::string> expected = {"cc 3 200 2", "cc 6 77 2", "pa 9 0 2", "pa 7 0 1",
                                               "pa 13 1 2"};
    EXPECT_EQ(cam.calls, expected);
    EXPECT_EQ(props[kPropZoom].value, 200);
    EXPECT_EQ(props[kPropFocus].autoOn, 0);
    EXPECT_EQ(props[kPropWhiteBalance].autoOn, 1);

    // Every reported property back at its default in manual mode.
    cam.calls.clear();
    props.ResetAllToDefaults(cam);
    EXPECT_EQ(cam.calls.size(), 13u);  // the eleven of the Color section, focus and zoom
    EXPECT_EQ(cam.calls.front(), "cc 4 -6 2");
    EXPECT_EQ(props[kPropWhiteBalance].autoOn, 0);
    EXPECT_EQ(props[kPropFocus].value, 128);

    // Closed, and opened on a camera without camera control: nothing of it is reported.
    props.ZeroForClose();
    EXPECT_FALSE(props.Reported(kPropGain));
    cam.hasCameraControl = false;
    props.ReadAll(cam);
    EXPECT_FALSE(props.Reported(kPropFocus));
    EXPECT_TRUE(props.Reported(kPropGain));
}

}  // namespace
