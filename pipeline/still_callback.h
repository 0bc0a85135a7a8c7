// The still branch's sample callback: turns each still sample into the still image.
#pragma once
#include "pipeline/sample_callback_base.h"

#include <cstddef>
#include <cstdint>

class StillCallback final : public StaticSampleGrabberCB {
public:
    STDMETHODIMP BufferCB(double sampleTime, BYTE* buffer, LONG length) override;
};

extern StillCallback g_stillCallback;

// The saver holds the still image while it reads it; a still arriving meanwhile waits
// instead of freeing the pixels under the reader.
const uint8_t* Pipeline_LockStillImage(size_t* size);
void Pipeline_UnlockStillImage();
