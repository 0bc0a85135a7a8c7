// The COM in-process server: one class per plugged camera, all served by this DLL.
#include <windows.h>
#include <olectl.h>

#include <new>
#include <string>

#include "simcam/camera_store.h"
#include "simcam/filter.h"
#include "simcam/registration.h"

HMODULE g_simcamModule = nullptr;

namespace {

LONG g_objects = 0;
LONG g_locks = 0;

class ClassFactory final : public IClassFactory {
public:
    ClassFactory(const std::string& camera, REFCLSID clsid) : camera_(camera), clsid_(clsid) {
        SimcamObjectCreated();
    }
    ~ClassFactory() { SimcamObjectDestroyed(); }
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return SimcamFilter::Create(camera_, clsid_, riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_locks);
        else
            InterlockedDecrement(&g_locks);
        return S_OK;
    }

private:
    LONG refs_ = 1;
    const std::string camera_;
    const CLSID clsid_;
};

std::wstring ModulePath() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(g_simcamModule, path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

// Registration may run in a process that has not started COM (an installer's thread).
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

}  // namespace

void SimcamObjectCreated() { InterlockedIncrement(&g_objects); }
void SimcamObjectDestroyed() { InterlockedDecrement(&g_objects); }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_simcamModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    const std::string camera = CameraNameForClsid(clsid);
    if (camera.empty()) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) ClassFactory(camera, clsid);
    if (factory == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

// Plugs the default camera, keeping a configuration it already has.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
    ComScope com;
    CameraConfig config;
    if (!LoadCameraConfig(kDefaultCameraName, &config) || !CheckConfig(config).empty())
        config = DefaultCameraConfig();
    if (IsPlugged(kDefaultCameraName)) return S_OK;
    std::string error;
    return PlugCamera(kDefaultCameraName, config, ModulePath(), &error) ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
    ComScope com;
    std::string error;
    UnplugCamera(kDefaultCameraName, &error);  // fails only when there is nothing to remove
    return S_OK;
}
