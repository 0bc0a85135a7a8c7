#include "capture/camera_properties.h"

#include <cstdio>

const PropertyName kPropertyNames[kNamedPropertyCount] = {
    {1061, "exposure", kPropExposure},     {1062, "white balance", kPropWhiteBalance},
    {1063, "gain", kPropGain},             {1064, "brightness", kPropBrightness},
    {1065, "contrast", kPropContrast},     {1066, "hue", kPropHue},
    {1067, "saturation", kPropSaturation}, {1068, "sharpness", kPropSharpness},
    {1069, "gamma", kPropGamma},
};

namespace {

// Platform numbers in the owning interface: CameraControl_* for exposure, pan, tilt, roll,
// zoom, iris and focus, VideoProcAmp_* for the others.
constexpr long kPlatformNumber[kPropertyCount] = {
    4,   // exposure
    7,   // white balance
    9,   // gain
    0,   // brightness
    1,   // contrast
    2,   // hue
    3,   // saturation
    4,   // sharpness
    5,   // gamma
    8,   // backlight compensation
    13,  // power-line frequency
    6,   // colour enable
    0,   // pan
    1,   // tilt
    2,   // roll
    3,   // zoom
    5,   // iris
    6,   // focus
};

// Names in stored texts; never change one, or remembered settings are lost.
constexpr const char* kStoredName[kPropertyCount] = {
    "exposure",   "whitebalance", "gain",  "brightness", "contrast",  "hue",
    "saturation", "sharpness",    "gamma", "backlight",  "powerline", "colorenable",
    "pan",        "tilt",         "roll",  "zoom",       "iris",      "focus",
};

std::string Format(const char* format, int a, int b, int c, int d, int e, int f = 0) {
    char line[128];
    std::snprintf(line, sizeof line, format, a, b, c, d, e, f);
    return line;
}

}  // namespace

PropertyInterface InterfaceOf(PropertyIndex index) {
    switch (index) {
        case kPropExposure:
        case kPropPan:
        case kPropTilt:
        case kPropRoll:
        case kPropZoom:
        case kPropIris:
        case kPropFocus:
            return PropertyInterface::CameraControl;
        default:
            return PropertyInterface::VideoProcAmp;
    }
}

long PlatformPropertyOf(PropertyIndex index) { return kPlatformNumber[index]; }

const char* StoredNameOf(PropertyIndex index) { return kStoredName[index]; }

bool PropertyOfStoredName(std::string_view name, PropertyIndex* index) {
    for (int i = 0; i < kPropertyCount; ++i) {
        if (name == kStoredName[i]) {
            *index = static_cast<PropertyIndex>(i);
            return true;
        }
    }
    return false;
}

int32_t ClampedToRange(const CameraProperty& record, int64_t value) {
    if (value < record.min) value = record.min;
    if (value > record.max) value = record.max;  // max wins when the range is inverted
    return static_cast<int32_t>(value);
}

void CameraProperties::ReadOne(PropertyBackend& backend, PropertyIndex index) {
    CameraProperty& p = records_[index];
    const PropertyInterface iface = InterfaceOf(index);
    if (backend.GetRange(iface, kPlatformNumber[index], &p.min, &p.max, &p.step, &p.defaultValue,
                         &p.flags)) {
        reported_ |= 1u << index;
    }
    p.autoCapable = p.flags & kPropertyFlagAuto;
    backend.Get(iface, kPlatformNumber[index], &p.value, &p.flags);
    p.autoOn = p.flags & kPropertyFlagAuto;
}

void CameraProperties::ReadAll(PropertyBackend& backend) {
    reported_ = 0;
    if (backend.Has(PropertyInterface::CameraControl)) {
        CameraProperty& e = records_[kPropExposure];
        if (backend.GetRange(PropertyInterface::CameraControl, kPlatformNumber[kPropExposure],
                             &e.min, &e.max, &e.step, &e.defaultValue, &e.flags)) {
            reported_ |= 1u << kPropExposure;
        }
        e.autoCapable = e.flags & kPropertyFlagAuto;
        const char* line = "IID_IAMCameraControl %d %d %d %d %d %d\r\n";
        backend.Debug(Format(line, e.min, e.max, e.step, e.defaultValue, e.value, e.flags));
        backend.Get(PropertyInterface::CameraControl, kPlatformNumber[kPropExposure], &e.value,
                    &e.flags);
        e.autoOn = e.flags & kPropertyFlagAuto;
        backend.Debug(Format(line, e.min, e.max, e.step, e.defaultValue, e.value, e.flags));
    }
    if (backend.Has(PropertyInterface::CameraControl)) {
        for (PropertyIndex index :
             {kPropPan, kPropTilt, kPropRoll, kPropZoom, kPropIris, kPropFocus})
            ReadOne(backend, index);
    }
    if (!backend.Has(PropertyInterface::VideoProcAmp)) return;
    ReadOne(backend, kPropColorEnable);
    const PropertyIndex order[] = {kPropGain,     kPropWhiteBalance, kPropSaturation, kPropContrast,
                                   kPropHue,      kPropBrightness,   kPropSharpness,  kPropGamma,
                                   kPropPowerLine, kPropBacklight};
    for (PropertyIndex index : order) {
        ReadOne(backend, index);
        const CameraProperty& p = records_[index];
        if (index == kPropWhiteBalance) {
            backend.Debug(Format("VideoProcAmp_WhiteBalance %d %d %d %d %d\r\n", p.min, p.max,
                                 p.step, p.defaultValue, p.flags));
        } else if (index == kPropContrast) {
            backend.Debug(Format("VideoProcAmp_Contrast %d %d %d %d %d %d\r\n", p.min, p.max,
                                 p.step, p.defaultValue, p.value, p.flags));
        }
    }
}

void CameraProperties::SetManual(PropertyBackend& backend, PropertyIndex index, int32_t value) {
    const PropertyInterface iface = InterfaceOf(index);
    if (!backend.Has(iface)) return;
    backend.Set(iface, kPlatformNumber[index], value, kPropertyFlagManual);
    records_[index].value = value;
}

void CameraProperties::SetAuto(PropertyBackend& backend, PropertyIndex index, bool on) {
    if (index != kPropExposure && index != kPropWhiteBalance) return;
    SwitchAuto(backend, index, on);
}

void CameraProperties::SwitchAuto(PropertyBackend& backend, PropertyIndex index, bool on) {
    const PropertyInterface iface = InterfaceOf(index);
    if (!backend.Has(iface)) return;
    CameraProperty& p = records_[index];
    p.autoOn = on ? 1 : 0;
    p.value = ClampedToRange(p, p.defaultValue);
    if (on) {
        backend.Set(iface, kPlatformNumber[index], 0, kPropertyFlagAuto);
    } else {
        backend.Set(iface, kPlatformNumber[index], p.value, kPropertyFlagManual);
    }
}

void CameraProperties::SetPowerLine(PropertyBackend& backend, int choice) {
    if (!backend.Has(PropertyInterface::VideoProcAmp)) return;
    if (choice != 0 && choice != 1) return;
    backend.Set(PropertyInterface::VideoProcAmp, kPlatformNumber[kPropPowerLine], choice + 1,
                kPropertyFlagManual);
    records_[kPropPowerLine].value = choice + 1;
}

void CameraProperties::ResetToDefaults(PropertyBackend& backend) {
    if (!backend.Has(PropertyInterface::VideoProcAmp)) return;
    const PropertyIndex order[] = {kPropGain,       kPropBrightness, kPropContrast, kPropHue,
                                   kPropSaturation, kPropSharpness,  kPropGamma};
    for (PropertyIndex index : order) {
        CameraProperty& p = records_[index];
        p.value = p.defaultValue;
        backend.Set(PropertyInterface::VideoProcAmp, kPlatformNumber[index], p.value,
                    kPropertyFlagManual);
    }
}

void CameraProperties::SetManualMode(PropertyBackend& backend, PropertyIndex index, int32_t value) {
    const PropertyInterface iface = InterfaceOf(index);
    if (!backend.Has(iface)) return;
    CameraProperty& p = records_[index];
    backend.Set(iface, kPlatformNumber[index], value, kPropertyFlagManual);
    p.value = value;
    p.autoOn = 0;
    p.flags = kPropertyFlagManual;
}

void CameraProperties::ResetAllToDefaults(PropertyBackend& backend) {
    for (int i = 0; i < kPropertyCount; ++i) {
        const auto index = static_cast<PropertyIndex>(i);
        if (Reported(index))
            SetManualMode(backend, index, ClampedToRange(records_[i], records_[i].defaultValue));
    }
}

void CameraProperties::Restore(PropertyBackend& backend, PropertyIndex index, int32_t value,
                               bool autoOn) {
    if (!Reported(index)) return;
    if (!autoOn) {
        SetManualMode(backend, index, ClampedToRange(records_[index], value));
    } else if (records_[index].autoCapable != 0) {
        SwitchAuto(backend, index, true);
    }
}

void CameraProperties::ZeroForClose() {
    reported_ = 0;
    for (int i = 0; i < kPropertyCount; ++i) {
        if (i == kPropWhiteBalance || i == kPropBacklight) continue;
        records_[i] = CameraProperty{};
    }
}

std::u16string PropertyLabel(const std::u16string& name, int32_t value) {
    char number[16];
    std::snprintf(number, sizeof number, "%ld", static_cast<long>(value));
    std::u16string label = name + u"  ";
    for (const char* c = number; *c != '\0'; ++c) label.push_back(static_cast<char16_t>(*c));
    return label;
}
