// The preview branch's sample callback: one static object for the program's lifetime.
#pragma once
#include <windows.h>
#include <qedit.h>

class GrabberCallback final : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 2; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    STDMETHODIMP BufferCB(double sampleTime, BYTE* buffer, LONG length) override;
};

extern GrabberCallback g_grabberCallback;
