// The preview branch's sample callback: one static object for the program's lifetime.
#pragma once
#include "pipeline/sample_callback_base.h"

class GrabberCallback final : public StaticSampleGrabberCB {
public:
    STDMETHODIMP BufferCB(double sampleTime, BYTE* buffer, LONG length) override;
};

extern GrabberCallback g_grabberCallback;
