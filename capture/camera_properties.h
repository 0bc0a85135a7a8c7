// The camera's picture controls: one record per property, read when a graph is built and
// changed through a few operations with exact platform calls. The platform interfaces sit
// behind PropertyBackend so the rules are testable without a camera.
#pragma once
#include <cstdint>
#include <string>

enum PropertyIndex {
    kPropExposure,
    kPropWhiteBalance,
    kPropGain,
    kPropBrightness,
    kPropContrast,
    kPropHue,
    kPropSaturation,
    kPropSharpness,
    kPropGamma,
    kPropBacklight,
    kPropPowerLine,
    kPropertyCount
};

struct CameraProperty {
    int32_t min;
    int32_t max;
    int32_t step;
    int32_t defaultValue;
    int32_t flags;
    int32_t value;
    int32_t autoCapable;
    int32_t autoOn;
};

enum class PropertyInterface { CameraControl, VideoProcAmp };

// Platform flag values shared by both interfaces.
constexpr int32_t kPropertyFlagAuto = 1;
constexpr int32_t kPropertyFlagManual = 2;

struct PropertyName {
    int controlId;
    const char* key;  // also the text key of the slider's label
    PropertyIndex index;
};
constexpr int kNamedPropertyCount = 9;
extern const PropertyName kPropertyNames[kNamedPropertyCount];

// Which interface owns a property and its number there.
PropertyInterface InterfaceOf(PropertyIndex index);
long PlatformPropertyOf(PropertyIndex index);

class PropertyBackend {
public:
    virtual ~PropertyBackend() = default;
    virtual bool Has(PropertyInterface iface) = 0;
    // Calls whose results the program does not examine: a failing call leaves the outputs.
    virtual void GetRange(PropertyInterface iface, long property, int32_t* min, int32_t* max,
                          int32_t* step, int32_t* defaultValue, int32_t* flags) = 0;
    virtual void Get(PropertyInterface iface, long property, int32_t* value, int32_t* flags) = 0;
    virtual void Set(PropertyInterface iface, long property, long value, long flags) = 0;
    virtual void Debug(const std::string& line) = 0;
};

class CameraProperties {
public:
    void ReadAll(PropertyBackend& backend);
    void SetManual(PropertyBackend& backend, PropertyIndex index, int32_t value);
    // Exposure and white balance only; leaving auto puts the camera at the default.
    void SetAuto(PropertyBackend& backend, PropertyIndex index, bool on);
    // 0 selects 50 Hz, 1 selects 60 Hz.
    void SetPowerLine(PropertyBackend& backend, int choice);
    void ResetToDefaults(PropertyBackend& backend);
    // At close: everything but white balance and backlight compensation.
    void ZeroForClose();

    const CameraProperty& operator[](PropertyIndex index) const { return records_[index]; }
    CameraProperty& operator[](PropertyIndex index) { return records_[index]; }

private:
    void ReadOne(PropertyBackend& backend, PropertyIndex index);
    CameraProperty records_[kPropertyCount] = {};
};

// The label a slider shows: the localized name, two blanks and the value.
std::u16string PropertyLabel(const std::u16string& name, int32_t value);
