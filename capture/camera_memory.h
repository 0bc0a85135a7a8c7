// What the user set on each camera, so that a camera opened again (after a replug, a format
// change or a restart) comes back as it was left. Cameras are told apart by their device
// path, not their friendly name: identical microscopes share a name.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "capture/camera_properties.h"

// "vid:pid:instance" in lower case from a device path such as
// ...\usb#vid_055e&pid_a160&mi_00#6&dd311d91&0&0000#{...}; empty for a path of another shape.
std::string CameraMemoryKey(std::u16string_view devicePath);

struct RememberedSetting {
    PropertyIndex index;
    int32_t value;  // meaningless while autoOn
    bool autoOn;
};

class CameraMemory {
public:
    static constexpr size_t kMaxCameras = 16;

    // Records the setting (replacing the property's earlier one) and makes the camera the
    // newest; the oldest beyond kMaxCameras is forgotten. An empty key records nothing.
    void Remember(const std::string& key, const RememberedSetting& setting);
    // The camera's settings in the order they were first set; empty for an unknown camera.
    std::vector<RememberedSetting> SettingsOf(const std::string& key) const;
    // Makes a known camera the newest; false when it was unknown or newest already.
    bool Touch(const std::string& key);
    size_t size() const { return cameras_.size(); }

    // One camera per entry, newest first: key|name=value,name=auto,...;
    std::string ToText() const;
    // Keeps what reads well: an entry without a key or a malformed item is skipped, not the
    // whole text.
    static CameraMemory FromText(std::string_view text);

private:
    struct Camera {
        std::string key;
        std::vector<RememberedSetting> settings;
    };
    std::vector<Camera> cameras_;  // newest first
};
