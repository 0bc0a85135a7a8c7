#include "capture/device_ids.h"

#include <cstdint>

namespace {

struct AcceptedRange {
    uint32_t vendor;
    uint32_t firstProduct;
    uint32_t lastProduct;
};

constexpr AcceptedRange kAccepted[] = {
    {0x055E, 0xA160, 0xA19B}, {0x05E3, 0xF12A, 0xF12A}, {0x05E3, 0xF12B, 0xF12B},
    {0x05E3, 0x0515, 0x0515}, {0x0BDA, 0x2076, 0x2076}, {0x1224, 0x2A25, 0x2A25},
    {0x1224, 0x2825, 0x2825}, {0x1B3F, 0x2002, 0x2002}, {0x1BCF, 0x0B09, 0x0B09},
    {0x32E6, 0x9005, 0x9005}, {0x4C4A, 0x4755, 0x4755},
};

constexpr std::u16string_view kMakersCameraName = u"ZEBCAMERA";

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Like a base-16 strtoul: optional leading blanks and "0x", stops at the first non-digit,
// saturates instead of overflowing.
uint32_t ParseHex(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
        i + 2 < text.size() && HexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = HexDigit(text[i]);
        if (d < 0) break;
        value = value * 16 + static_cast<uint64_t>(d);
        if (value > UINT32_MAX) return UINT32_MAX;
    }
    return static_cast<uint32_t>(value);
}

}  // namespace

bool ParseUsbIds(std::u16string_view path, UsbIds* ids) {
    if (path.size() > kMaxDevicePathChars) return false;
    const size_t vid = path.find(u"vid_");
    if (vid == std::u16string_view::npos) return false;
    const size_t vendorStart = vid + 4;
    const size_t vendorEnd = path.find(u'&', vendorStart);
    if (vendorEnd == std::u16string_view::npos) return false;
    // The product text starts after "&pid_" (an ampersand and a four-character key).
    const size_t productStart = vendorEnd + 5;
    if (productStart > path.size()) return false;
    const size_t productEnd = path.find(u'&', productStart);
    if (productEnd == std::u16string_view::npos) return false;
    const size_t firstHash = path.find(u'#', productEnd + 1);
    if (firstHash == std::u16string_view::npos) return false;
    if (path.find(u'#', firstHash + 1) == std::u16string_view::npos) return false;
    if (ids != nullptr) {
        ids->vendor.assign(path.substr(vendorStart, vendorEnd - vendorStart));
        ids->product.assign(path.substr(productStart, productEnd - productStart));
    }
    return true;
}

bool IsAcceptedUsbId(std::u16string_view vendor, std::u16string_view product) {
    const uint32_t v = ParseHex(vendor);
    const uint32_t p = ParseHex(product);
    for (const AcceptedRange& r : kAccepted) {
        if (r.vendor == v && p >= r.firstProduct && p <= r.lastProduct) return true;
    }
    return false;
}

bool IsExcludedFriendlyName(std::u16string_view name) {
    return name.empty() || name.find(u"Integrated") != std::u16string_view::npos ||
           name.find(u"Microsoft") != std::u16string_view::npos;
}

bool IsAcceptedDevice(std::u16string_view friendlyName, std::u16string_view devicePath) {
    if (IsExcludedFriendlyName(friendlyName)) return false;
    UsbIds ids;
    if (!ParseUsbIds(devicePath, &ids)) return false;
    return IsAcceptedUsbId(ids.vendor, ids.product) || friendlyName == kMakersCameraName;
}
