// Which video-input devices are microscope cameras of ours: USB vendor/product ids read
// from the device path, and the friendly-name rules.
#pragma once
#include <string>
#include <string_view>

struct UsbIds {
    std::u16string vendor;   // hexadecimal text as it appears in the path
    std::u16string product;
};

constexpr size_t kMaxDevicePathChars = 511;

// False for paths longer than 511 characters or without the "vid_…&…&…#…#" shape.
bool ParseUsbIds(std::u16string_view devicePath, UsbIds* ids);

// Base-16 conversion of each text (stopping at the first non-hex character), looked up
// in the table of accepted cameras.
bool IsAcceptedUsbId(std::u16string_view vendor, std::u16string_view product);

// Empty names and built-in cameras ("Integrated", "Microsoft" anywhere) are never listed.
bool IsExcludedFriendlyName(std::u16string_view friendlyName);

// The whole acceptance rule for a device that passed the name filter.
bool IsAcceptedDevice(std::u16string_view friendlyName, std::u16string_view devicePath);
