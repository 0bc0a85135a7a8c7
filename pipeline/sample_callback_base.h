// The sample grabbers' callbacks are static objects that live as long as the program: they
// count no references and answer only their own interface. Subclasses do the buffer work.
#pragma once
#include <windows.h>
#include <qedit.h>

class StaticSampleGrabberCB : public ISampleGrabberCB {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (riid == IID_ISampleGrabberCB || riid == IID_IUnknown) {
            *object = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 2; }
    STDMETHODIMP SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
};
