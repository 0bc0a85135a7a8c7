// Snapshot enumerators of a filter's pins and of a pin's media types.
#pragma once
#include <windows.h>
#include <strmif.h>

#include <vector>

#include "simcam/camera_config.h"

// Holds a reference to every pin for its lifetime.
HRESULT CreatePinEnum(const std::vector<IPin*>& pins, IEnumPins** out);

HRESULT CreateMediaTypeEnum(const std::vector<SimFormat>& formats, int fps, bool videoInfo2,
                            IEnumMediaTypes** out);
