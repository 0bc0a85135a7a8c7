#include "simcam/camera_config.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

// Platform numbers: the proc-amp properties 0..9 and 13, the camera-control ones 0..6.
const PropertyInfo kPropertyInfo[kPropertyCount] = {
    {"brightness", false, 0},   {"contrast", false, 1},  {"hue", false, 2},
    {"saturation", false, 3},   {"sharpness", false, 4}, {"gamma", false, 5},
    {"whitebalance", false, 7}, {"backlight", false, 8}, {"gain", false, 9},
    {"powerline", false, 13},   {"exposure", true, 4},   {"colorenable", false, 6},
    {"pan", true, 0},           {"tilt", true, 1},       {"roll", true, 2},
    {"zoom", true, 3},          {"iris", true, 5},       {"focus", true, 6},
};

namespace {

PropertyState Prop(int min, int max, int step, int def, int caps = kFlagManual,
                   int flags = kFlagManual) {
    PropertyState p;
    p.min = min;
    p.max = max;
    p.step = step;
    p.def = def;
    p.caps = caps;
    p.value = def;
    p.flags = flags;
    return p;
}

std::string Upper(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Whole-string decimal integer within [lo, hi].
bool ParseInt(const std::string& text, long lo, long hi, int* out) {
    if (text.empty() || text.size() > 12) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
    *out = static_cast<int>(v);
    return true;
}

bool ParseBool(const std::string& text, bool* out) {
    const std::string t = Lower(text);
    if (t == "1" || t == "on" || t == "yes" || t == "true") {
        *out = true;
        return true;
    }
    if (t == "0" || t == "off" || t == "no" || t == "false") {
        *out = false;
        return true;
    }
    return false;
}

// Scene value for a camera value: default -> neutral, range ends -> scene range ends.
int MapToScene(const PropertyState& p, int sceneMin, int sceneNeutral, int sceneMax) {
    const double v = p.value;
    if (v >= p.def) {
        if (p.max <= p.def) return sceneNeutral;
        return sceneNeutral +
               static_cast<int>((v - p.def) * (sceneMax - sceneNeutral) / (p.max - p.def) + 0.5);
    }
    if (p.min >= p.def) return sceneNeutral;
    return sceneNeutral -
           static_cast<int>((p.def - v) * (sceneNeutral - sceneMin) / (p.def - p.min) + 0.5);
}

}  // namespace

CameraConfig DefaultCameraConfig() {
    CameraConfig c;
    c.friendlyName = "Simcam Microscope";
    c.vendorId = 0x055E;
    c.productId = 0xA160;
    c.formats = {{SimSubtype::Mjpg, 1920, 1080},
                 {SimSubtype::Mjpg, 1280, 720},
                 {SimSubtype::Mjpg, 640, 480},
                 {SimSubtype::Yuy2, 640, 480},
                 {SimSubtype::Yuy2, 320, 240}};
    c.fps = 30;
    // The first five ranges are the scene's own, so the defaults render it unchanged.
    c.props[kPropBrightness] = Prop(-64, 64, 1, 0);
    c.props[kPropContrast] = Prop(0, 95, 1, 32);
    c.props[kPropHue] = Prop(-2000, 2000, 1, 0);
    c.props[kPropSaturation] = Prop(0, 128, 1, 64);
    c.props[kPropSharpness] = Prop(0, 7, 1, 3);
    c.props[kPropGamma] = Prop(72, 500, 1, 100);
    c.props[kPropWhiteBalance] =
        Prop(2800, 6500, 10, 4600, kFlagAuto | kFlagManual, kFlagAuto);
    c.props[kPropBacklight] = Prop(0, 2, 1, 1);
    c.props[kPropGain] = Prop(0, 100, 1, 0);
    c.props[kPropPowerLine] = Prop(0, 2, 1, 1);
    c.props[kPropExposure] = Prop(-13, -1, 1, -6, kFlagAuto | kFlagManual, kFlagAuto);
    // A microscope with a motorised focus and an optical zoom; the rest is there to be
    // switched on (caps) by a test.
    c.props[kPropFocus] = Prop(0, 255, 1, 128, kFlagAuto | kFlagManual);
    c.props[kPropZoom] = Prop(100, 400, 10, 100);
    c.props[kPropColorEnable] = Prop(0, 1, 1, 1, 0);
    c.props[kPropPan] = Prop(-180, 180, 1, 0, 0);
    c.props[kPropTilt] = Prop(-180, 180, 1, 0, 0);
    c.props[kPropRoll] = Prop(-180, 180, 1, 0, 0);
    c.props[kPropIris] = Prop(10, 160, 1, 40, 0);
    return c;
}

bool IsValidCameraName(const std::string& name) {
    if (name.empty() || name.size() > kMaxNameChars) return false;
    for (char c : name) {
        const bool ok = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
                        c == '.';
        if (!ok) return false;
    }
    return true;
}

bool ParseUsbId(const std::string& text, uint16_t* id, std::string* error) {
    if (text.empty() || text.size() > 4) {
        *error = "'" + text + "' is not a USB id (one to four hexadecimal digits)";
        return false;
    }
    unsigned v = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            *error = "'" + text + "' is not a USB id (one to four hexadecimal digits)";
            return false;
        }
        v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                               ? c - '0'
                                               : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    *id = static_cast<uint16_t>(v);
    return true;
}

const char* SubtypeName(SimSubtype subtype) {
    return subtype == SimSubtype::Mjpg ? "MJPG" : "YUY2";
}

bool ParseFormats(const std::string& text, std::vector<SimFormat>* formats, std::string* error) {
    std::vector<SimFormat> out;
    size_t at = 0;
    while (at <= text.size()) {
        size_t comma = text.find(',', at);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = text.substr(at, comma - at);
        at = comma + 1;
        const size_t colon = item.find(':');
        const size_t x = item.find_first_of("xX", colon == std::string::npos ? 0 : colon);
        if (colon == std::string::npos || x == std::string::npos) {
            *error = "format '" + item + "' is not SUBTYPE:WIDTHxHEIGHT";
            return false;
        }
        SimFormat f;
        const std::string sub = Upper(item.substr(0, colon));
        if (sub == "MJPG") {
            f.subtype = SimSubtype::Mjpg;
        } else if (sub == "YUY2") {
            f.subtype = SimSubtype::Yuy2;
        } else {
            *error = "format '" + item + "': subtype must be MJPG or YUY2";
            return false;
        }
        if (!ParseInt(item.substr(colon + 1, x - colon - 1), 0, INT_MAX, &f.width) ||
            !ParseInt(item.substr(x + 1), 0, INT_MAX, &f.height)) {
            *error = "format '" + item + "': width and height must be whole numbers";
            return false;
        }
        // Both subtypes pack pixels in pairs (4:2:2), so the width must be even.
        if (f.width < kMinSide || f.width > kMaxWidth || f.height < kMinSide ||
            f.height > kMaxHeight || f.width % 2 != 0) {
            char buf[160];
            std::snprintf(buf, sizeof buf,
                          "format '%s': size must be an even width of %d..%d and a height of "
                          "%d..%d",
                          item.c_str(), kMinSide, kMaxWidth, kMinSide, kMaxHeight);
            *error = buf;
            return false;
        }
        for (const SimFormat& seen : out) {
            if (seen == f) {
                *error = "format '" + item + "' is listed twice";
                return false;
            }
        }
        out.push_back(f);
        if (out.size() > kMaxFormats) {
            *error = "too many formats (at most " + std::to_string(kMaxFormats) + ")";
            return false;
        }
        if (comma == text.size()) break;
    }
    *formats = out;
    return true;
}

std::string FormatsToText(const std::vector<SimFormat>& formats) {
    std::string out;
    for (const SimFormat& f : formats) {
        if (!out.empty()) out += ',';
        out += SubtypeName(f.subtype);
        out += ':' + std::to_string(f.width) + 'x' + std::to_string(f.height);
    }
    return out;
}

bool ParseMode(const std::string& text, SimMode* mode) {
    const std::string t = Lower(text);
    if (t == "live") *mode = SimMode::Live;
    else if (t == "colorbar") *mode = SimMode::ColorBar;
    else if (t == "bad") *mode = SimMode::Bad;
    else if (t == "stalled") *mode = SimMode::Stalled;
    else if (t == "nohuffman") *mode = SimMode::NoHuffman;
    else return false;
    return true;
}

const char* ModeName(SimMode mode) {
    switch (mode) {
        case SimMode::ColorBar: return "colorbar";
        case SimMode::Bad: return "bad";
        case SimMode::Stalled: return "stalled";
        case SimMode::NoHuffman: return "nohuffman";
        default: return "live";
    }
}

std::string FlagsToText(int flags) {
    switch (flags & (kFlagAuto | kFlagManual)) {
        case kFlagAuto: return "auto";
        case kFlagManual: return "manual";
        case kFlagAuto | kFlagManual: return "auto+manual";
        default: return "none";
    }
}

bool ParseFlags(const std::string& text, int* flags) {
    const std::string t = Lower(text);
    if (t == "none") *flags = 0;
    else if (t == "manual") *flags = kFlagManual;
    else if (t == "auto") *flags = kFlagAuto;
    else if (t == "auto+manual" || t == "manual+auto") *flags = kFlagAuto | kFlagManual;
    else return false;
    return true;
}

int FindProperty(const std::string& key) {
    for (int i = 0; i < kPropertyCount; ++i)
        if (Lower(key) == kPropertyInfo[i].key) return i;
    return -1;
}

bool ApplySetting(CameraConfig* config, const std::string& rawKey, const std::string& value,
                  std::string* error) {
    const std::string key = Lower(rawKey);
    auto bad = [&](const std::string& what) {
        *error = key + "=" + value + ": " + what;
        return false;
    };
    if (key == "friendly") {
        if (value.empty() || value.size() > kMaxFriendlyChars)
            return bad("the friendly name must have 1.." + std::to_string(kMaxFriendlyChars) +
                       " characters");
        config->friendlyName = value;
        return true;
    }
    if (key == "vid") return ParseUsbId(value, &config->vendorId, error);
    if (key == "pid") return ParseUsbId(value, &config->productId, error);
    if (key == "formats") return ParseFormats(value, &config->formats, error);
    if (key == "fps") {
        if (!ParseInt(value, kMinFps, kMaxFps, &config->fps))
            return bad("frame rate must be " + std::to_string(kMinFps) + ".." +
                       std::to_string(kMaxFps));
        return true;
    }
    if (key == "mode") return ParseMode(value, &config->mode) || bad("mode is live, colorbar, bad, stalled or nohuffman");
    bool* flag = key == "still"           ? &config->stillPin
                 : key == "procamp"       ? &config->procAmp
                 : key == "cameracontrol" ? &config->cameraControl
                 : key == "videoinfo2"    ? &config->videoInfo2
                                          : nullptr;
    if (flag != nullptr) return ParseBool(value, flag) || bad("expected on or off");

    const size_t dot = key.find('.');
    const int prop = FindProperty(key.substr(0, dot));
    if (prop < 0) return bad("unknown setting");
    PropertyState& p = config->props[prop];
    const std::string field = dot == std::string::npos ? "" : key.substr(dot + 1);
    int* target = field.empty()       ? &p.value
                  : field == "min"     ? &p.min
                  : field == "max"     ? &p.max
                  : field == "step"    ? &p.step
                  : field == "default" ? &p.def
                                       : nullptr;
    if (target != nullptr) {
        if (!ParseInt(value, -1000000, 1000000, target))
            return bad("expected a whole number of -1000000..1000000");
        if (field.empty()) p.flags = kFlagManual;
        return true;
    }
    if (field == "caps") return ParseFlags(value, &p.caps) || bad("caps is none, manual, auto or auto+manual");
    if (field == "mode") {
        int f = 0;
        if (!ParseFlags(value, &f) || (f != kFlagAuto && f != kFlagManual))
            return bad("mode is auto or manual");
        p.flags = f;
        return true;
    }
    return bad("unknown property field (min, max, step, default, caps, mode)");
}

std::string CheckConfig(const CameraConfig& c) {
    if (c.friendlyName.empty() || c.friendlyName.size() > kMaxFriendlyChars)
        return "the friendly name must have 1.." + std::to_string(kMaxFriendlyChars) +
               " characters";
    if (c.formats.empty()) return "a camera needs at least one format";
    if (c.fps < kMinFps || c.fps > kMaxFps) return "frame rate out of range";
    for (int i = 0; i < kPropertyCount; ++i) {
        const PropertyState& p = c.props[i];
        const std::string name = kPropertyInfo[i].key;
        if (p.caps == 0) continue;  // unsupported: its numbers are not used
        if (p.min > p.max) return name + ": min is above max";
        if (p.step <= 0) return name + ": step must be positive";
        if (p.def < p.min || p.def > p.max) return name + ": default outside min..max";
        if (p.value < p.min || p.value > p.max) return name + ": value outside min..max";
        if ((p.flags & p.caps) != p.flags || p.flags == 0 || p.flags == (kFlagAuto | kFlagManual))
            return name + ": mode " + FlagsToText(p.flags) + " is not one of its caps " +
                   FlagsToText(p.caps);
    }
    return "";
}

uint64_t CameraNameHash(const std::string& cameraName) {
    uint64_t h = 1469598103934665603ull;
    for (char c : Upper(cameraName)) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    return h;
}

std::string InstanceName(const std::string& cameraName, const CameraConfig& config) {
    char buf[128];
    std::snprintf(buf, sizeof buf,
                  "usb#vid_%04x&pid_%04x&mi_00#6&%08x&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}",
                  config.vendorId, config.productId,
                  static_cast<unsigned>(CameraNameHash(cameraName) & 0xFFFFFFFFu));
    return buf;
}

SceneControls SceneControlsFor(const PropertyState props[kPropertyCount]) {
    SceneControls s;
    s.brightness = MapToScene(props[kPropBrightness], -64, 0, 64);
    s.contrast = MapToScene(props[kPropContrast], 0, 32, 95);
    s.saturation = MapToScene(props[kPropSaturation], 0, 64, 128);
    s.sharpness = MapToScene(props[kPropSharpness], 0, 3, 7);
    s.gain = MapToScene(props[kPropGain], 0, 0, 100);
    return s;
}

size_t MaxSampleBytes(const SimFormat& format) {
    return static_cast<size_t>(format.width) * format.height * 2;
}
