// Device paths and friendly names as the device enumerator hands them over.
#include "capture/device_ids.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    FuzzedDataProvider data(bytes, size);
    const std::u16string name = data.ConsumeBool() ? ConsumeU16(data, 80)
                                                   : ConsumeShapedU16(data, "IntegratedMcoftZEBCAMR ", 80);
    const std::u16string path =
        data.ConsumeBool() ? ConsumeU16(data, 700)
                           : ConsumeShapedU16(data, "usb#vid_pi&m0#{}5e1A9fF", 700);

    UsbIds ids;
    if (ParseUsbIds(path, &ids)) {
        FUZZ_CHECK(path.size() <= kMaxDevicePathChars);
        FUZZ_CHECK(path.find(ids.vendor) != std::u16string::npos);
        FUZZ_CHECK(path.find(ids.product) != std::u16string::npos);
        (void)IsAcceptedUsbId(ids.vendor, ids.product);
    }
    if (IsAcceptedDevice(name, path)) {
        FUZZ_CHECK(!IsExcludedFriendlyName(name));
        FUZZ_CHECK(ParseUsbIds(path, &ids));
        FUZZ_CHECK(IsAcceptedUsbId(ids.vendor, ids.product) || name == u"ZEBCAMERA");
    }
    (void)IsExcludedFriendlyName(name);
    return 0;
}
