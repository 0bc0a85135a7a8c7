#include "app/format_settings.h"

RequestedFormat RequestedFormatFromSettings(const AppSettings& settings) {
    RequestedFormat format;
    format.subtype = settings.mjpg == 1 ? kSubtypeMjpg : kSubtypeYuy2;
    format.width = settings.width;
    format.height = settings.height;
    format.interpolated = settings.interpolated;
    return format;
}

void StoreRequestedFormat(const RequestedFormat& format, AppSettings& settings) {
    settings.mjpg = SameSubtype(format.subtype, kSubtypeMjpg) ? 1 : 0;
    settings.width = format.width;
    settings.height = format.height;
    settings.interpolated = format.interpolated;
}
