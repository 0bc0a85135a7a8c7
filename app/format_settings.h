// The requested stream format as the settings keep it between runs.
#pragma once
#include "capture/format_map.h"
#include "settings/app_settings.h"

// MJPG when `mjpg` is 1, YUY2 otherwise.
RequestedFormat RequestedFormatFromSettings(const AppSettings& settings);
void StoreRequestedFormat(const RequestedFormat& format, AppSettings& settings);
