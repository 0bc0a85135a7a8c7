// The camera's picture controls: one record per property, read when a graph is built and
// changed through a few operations with exact platform calls. The platform interfaces sit
// behind PropertyBackend so the rules are testable without a camera.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

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
    // Read after the eleven above, for the camera settings dialog.
    kPropColorEnable,
    kPropPan,
    kPropTilt,
    kPropRoll,
    kPropZoom,
    kPropIris,
    kPropFocus,
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
// A fixed ASCII name for stored texts ("whitebalance", "focus"); nothing for an unknown name.
const char* StoredNameOf(PropertyIndex index);
bool PropertyOfStoredName(std::string_view name, PropertyIndex* index);

class PropertyBackend {
public:
    virtual ~PropertyBackend() = default;
    virtual bool Has(PropertyInterface iface) = 0;
    // Calls whose results the program does not examine: a failing call leaves the outputs.
    // True when the camera reported the property.
    virtual bool GetRange(PropertyInterface iface, long property, int32_t* min, int32_t* max,
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
    // The same for any property the camera offers auto for.
    void SwitchAuto(PropertyBackend& backend, PropertyIndex index, bool on);
    // 0 selects 50 Hz, 1 selects 60 Hz.
    void SetPowerLine(PropertyBackend& backend, int choice);
    // The seven picture controls only.
    void ResetToDefaults(PropertyBackend& backend);
    // Every reported property to its default (clamped) in manual mode, auto switched off.
    void ResetAllToDefaults(PropertyBackend& backend);
    // A remembered state written back: `value` clamped into the reported range in manual
    // mode, or auto where the camera offers it. Unreported properties are left alone.
    void Restore(PropertyBackend& backend, PropertyIndex index, int32_t value, bool autoOn);
    // At close: everything but white balance and backlight compensation.
    void ZeroForClose();

    // The open camera reported the property when the graph was built.
    bool Reported(PropertyIndex index) const { return (reported_ >> index) & 1u; }
    const CameraProperty& operator[](PropertyIndex index) const { return records_[index]; }
    CameraProperty& operator[](PropertyIndex index) { return records_[index]; }

private:
    void ReadOne(PropertyBackend& backend, PropertyIndex index);
    void SetManualMode(PropertyBackend& backend, PropertyIndex index, int32_t value);
    CameraProperty records_[kPropertyCount] = {};
    uint32_t reported_ = 0;  // bit per PropertyIndex
};

// The default, or any value, clamped into the record's range (max wins when it is inverted).
int32_t ClampedToRange(const CameraProperty& record, int64_t value);

// The label a slider shows: the localized name, two blanks and the value.
std::u16string PropertyLabel(const std::u16string& name, int32_t value);
