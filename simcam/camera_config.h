// What one simulated camera offers and how it is set: formats, ids, frame rate, pins,
// picture properties and picture mode. Portable: the filter and the control tool share it,
// and the registry code only stores and loads it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "simcam/scene.h"

enum class SimSubtype { Mjpg, Yuy2 };

struct SimFormat {
    SimSubtype subtype = SimSubtype::Mjpg;
    int width = 0;
    int height = 0;

    bool operator==(const SimFormat& o) const {
        return subtype == o.subtype && width == o.width && height == o.height;
    }
};

// live: the microscope scene; colorbar: the test frame; bad: a cycle of damaged samples
// (wrong-size, truncated and corrupt MJPG, short YUY2) between good ones; stalled: plugged
// and running but sending nothing, like a camera whose sensor hung; nohuffman: the live scene
// with MJPG samples that leave out their Huffman tables, as many cameras send them.
enum class SimMode { Live, ColorBar, Bad, Stalled, NoHuffman };

// The camera properties, in the order the control tool lists them.
enum SimProperty {
    kPropBrightness,
    kPropContrast,
    kPropHue,
    kPropSaturation,
    kPropSharpness,
    kPropGamma,
    kPropWhiteBalance,
    kPropBacklight,
    kPropGain,
    kPropPowerLine,
    kPropExposure,
    kPropColorEnable,
    kPropPan,
    kPropTilt,
    kPropRoll,
    kPropZoom,
    kPropIris,
    kPropFocus,
    kPropertyCount
};

// Capability and current-mode flags share the platform's values: 1 auto, 2 manual.
constexpr int kFlagAuto = 1;
constexpr int kFlagManual = 2;

struct PropertyInfo {
    const char* key;      // name in the control tool and the registry
    bool cameraControl;   // owned by the camera-control interface, else by the proc-amp one
    long platformId;      // the property's number in that interface
};
extern const PropertyInfo kPropertyInfo[kPropertyCount];

// Range and state of one property. caps 0 means the camera does not support it.
struct PropertyState {
    int min = 0;
    int max = 0;
    int step = 1;
    int def = 0;
    int caps = kFlagManual;
    int value = 0;
    int flags = kFlagManual;
};

struct CameraConfig {
    std::string friendlyName;  // UTF-8
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::vector<SimFormat> formats;  // in the camera's own order
    int fps = 30;
    bool stillPin = true;
    bool procAmp = true;
    bool cameraControl = true;
    bool videoInfo2 = false;  // capabilities described with the second video-info header
    SimMode mode = SimMode::Live;
    PropertyState props[kPropertyCount];
};

constexpr int kMinFps = 1;
constexpr int kMaxFps = 120;
constexpr int kMinSide = 16;
constexpr int kMaxWidth = 7680;
constexpr int kMaxHeight = 4320;
constexpr size_t kMaxFormats = 32;
constexpr size_t kMaxNameChars = 40;
constexpr size_t kMaxFriendlyChars = 120;

CameraConfig DefaultCameraConfig();

// Camera names become registry keys and kernel-object names: letters, digits, '-', '_', '.'.
bool IsValidCameraName(const std::string& name);

// "055E" style ids: one to four hexadecimal digits.
bool ParseUsbId(const std::string& text, uint16_t* id, std::string* error);

// "MJPG:1920x1080,YUY2:640x480"; refuses unknown subtypes, impossible sizes, duplicates.
bool ParseFormats(const std::string& text, std::vector<SimFormat>* formats, std::string* error);
std::string FormatsToText(const std::vector<SimFormat>& formats);
const char* SubtypeName(SimSubtype subtype);

bool ParseMode(const std::string& text, SimMode* mode);
const char* ModeName(SimMode mode);

// One `key=value` of the control tool's set command, checked against the rest of the
// configuration so that a camera never holds an inconsistent state. Keys: friendly, vid,
// pid, formats, fps, mode, still, procamp, cameracontrol, videoinfo2, and per property
// NAME (current value, switches to manual), NAME.min/.max/.step/.default,
// NAME.caps (none|manual|auto|auto+manual), NAME.mode (auto|manual).
bool ApplySetting(CameraConfig* config, const std::string& key, const std::string& value,
                  std::string* error);

// Empty when consistent, else what is wrong.
std::string CheckConfig(const CameraConfig& config);

int FindProperty(const std::string& key);  // index or -1

// Flags text as the tool shows and parses it: "none", "manual", "auto", "auto+manual".
std::string FlagsToText(int flags);
bool ParseFlags(const std::string& text, int* flags);

// Device-interface path part of the instance name, e.g.
// usb#vid_055e&pid_a160&mi_00#6&1a2b3c4d&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}.
// The serial part comes from the camera name so that identical cameras differ.
std::string InstanceName(const std::string& cameraName, const CameraConfig& config);

// 64-bit FNV-1a over the upper-cased name: the stable identity of a camera.
uint64_t CameraNameHash(const std::string& cameraName);

// The scene's picture controls from the camera's properties: each property's default
// maps to the scene's neutral value and its range ends to the scene's range ends.
SceneControls SceneControlsFor(const PropertyState props[kPropertyCount]);

// Size in bytes of a frame buffer able to hold any sample of this format.
size_t MaxSampleBytes(const SimFormat& format);
