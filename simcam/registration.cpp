#include "simcam/registration.h"

#include <dbt.h>
#include <objbase.h>
#include <strmif.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cstddef>
#include <cstdio>
#include <vector>

#include "simcam/camera_store.h"

const char kDefaultCameraName[] = "Simcam";

namespace {

const wchar_t kInstanceRoot[] = L"CLSID\\{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\Instance\\";
const GUID kCaptureInterfaceClass = {
    0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
constexpr UINT kNotifyTimeoutMs = 1000;

std::wstring GuidText(REFGUID guid) {
    wchar_t buf[40];
    StringFromGUID2(guid, buf, 40);
    return buf;
}

std::wstring ClassKeyPath(const std::string& name) {
    return L"CLSID\\" + GuidText(CameraClsid(name));
}

bool WriteSz(HKEY key, const wchar_t* value, const std::wstring& text) {
    return RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

std::wstring ReadSz(HKEY root, const std::wstring& path, const wchar_t* value) {
    wchar_t buf[512];
    DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
    if (RegGetValueW(root, path.c_str(), value, RRF_RT_REG_SZ, &type, buf, &size) !=
        ERROR_SUCCESS)
        return L"";
    buf[size / sizeof(wchar_t)] = L'\0';
    return buf;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool RegisterComClass(const std::string& name, const std::string& instance,
                   const std::wstring& dllPath) {
    HKEY cls = nullptr, server = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, ClassKeyPath(name).c_str(), 0, nullptr, 0, KEY_WRITE,
                        nullptr, &cls, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = WriteSz(cls, nullptr, L"Tessaloom Simcam camera " + Widen(name)) &&
              WriteSz(cls, L"SimcamCamera", Widen(name)) &&
              WriteSz(cls, L"Instance", Widen(instance));
    ok = ok && RegCreateKeyExW(cls, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &server,
                               nullptr) == ERROR_SUCCESS;
    if (ok) {
        ok = WriteSz(server, nullptr, dllPath) && WriteSz(server, L"ThreadingModel", L"Both");
        RegCloseKey(server);
    }
    RegCloseKey(cls);
    return ok;
}

HRESULT RegisterDevice(const std::string& name, const CameraConfig& config,
                       const std::string& instance) {
    IFilterMapper2* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
    if (FAILED(hr)) return hr;
    const REGPINTYPES types[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_MJPG},
                                 {&MEDIATYPE_Video, &MEDIASUBTYPE_YUY2}};
    REGFILTERPINS2 pin = {};
    pin.dwFlags = REG_PINFLAG_B_OUTPUT;
    pin.cInstances = 1;
    pin.nMediaTypes = 2;
    pin.lpMediaType = types;
    pin.clsPinCategory = &PIN_CATEGORY_CAPTURE;
    REGFILTER2 filter = {};
    filter.dwVersion = 2;
    filter.dwMerit = MERIT_DO_NOT_USE;
    filter.cPins2 = 1;
    filter.rgPins2 = &pin;
    const CLSID clsid = CameraClsid(name);
    hr = mapper->RegisterFilter(clsid, Widen(config.friendlyName).c_str(), nullptr,
                                &CLSID_VideoInputDeviceCategory, Widen(instance).c_str(), &filter);
    mapper->Release();
    return hr;
}

// Deleting the instance key directly: the mapper's own unregistration overruns a fixed
// buffer on Wine for names as long as a USB device path.
void RemoveRegistration(const std::string& name, const std::wstring& instance) {
    if (!instance.empty())
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (kInstanceRoot + instance).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyPath(name).c_str());
}

struct NotifyContext {
    WPARAM event;
    DEV_BROADCAST_DEVICEINTERFACE_W* message;
};

void Notify(HWND hwnd, const NotifyContext* ctx) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(hwnd, WM_DEVICECHANGE, ctx->event, reinterpret_cast<LPARAM>(ctx->message),
                        SMTO_ABORTIFHUNG, kNotifyTimeoutMs, &result);
}

BOOL CALLBACK NotifyChild(HWND hwnd, LPARAM param) {
    Notify(hwnd, reinterpret_cast<const NotifyContext*>(param));
    return TRUE;
}

BOOL CALLBACK NotifyTopLevel(HWND hwnd, LPARAM param) {
    Notify(hwnd, reinterpret_cast<const NotifyContext*>(param));
    EnumChildWindows(hwnd, NotifyChild, param);  // all descendants
    return TRUE;
}

}  // namespace

CLSID CameraClsid(const std::string& name) {
    const uint64_t h = CameraNameHash(name);
    const uint64_t h2 = CameraNameHash(name + "#clsid");
    CLSID clsid;
    clsid.Data1 = 0x7E55A1C0;
    clsid.Data2 = static_cast<unsigned short>(h >> 48);
    clsid.Data3 = static_cast<unsigned short>(h >> 32);
    for (int i = 0; i < 8; ++i) clsid.Data4[i] = static_cast<unsigned char>(h2 >> (8 * i));
    return clsid;
}

std::string CameraNameForClsid(REFCLSID clsid) {
    const std::string name = Narrow(ReadSz(HKEY_CLASSES_ROOT, L"CLSID\\" + GuidText(clsid),
                                           L"SimcamCamera"));
    // Only a class whose id matches its name is one of ours.
    if (name.empty() || !IsValidCameraName(name) || !IsEqualCLSID(CameraClsid(name), clsid))
        return "";
    return name;
}

bool IsPlugged(const std::string& name) {
    const std::wstring instance = ReadSz(HKEY_CLASSES_ROOT, ClassKeyPath(name), L"Instance");
    return !instance.empty() && KeyExists(HKEY_CLASSES_ROOT, kInstanceRoot + instance);
}

bool PlugCamera(const std::string& name, const CameraConfig& config, const std::wstring& dllPath,
                std::string* error) {
    if (!IsValidCameraName(name)) {
        *error = "'" + name + "' is not a camera name (1.." + std::to_string(kMaxNameChars) +
                 " letters, digits, '-', '_' or '.')";
        return false;
    }
    const std::string problem = CheckConfig(config);
    if (!problem.empty()) {
        *error = problem;
        return false;
    }
    if (IsPlugged(name)) {
        *error = "camera " + name + " is plugged in already (unplug it first)";
        return false;
    }
    const std::string instance = InstanceName(name, config);
    if (!SaveCameraConfig(name, config)) {
        *error = "cannot write the configuration under HKEY_CURRENT_USER";
        return false;
    }
    if (!RegisterComClass(name, instance, dllPath)) {
        RemoveRegistration(name, L"");
        DeleteCameraConfig(name);
        *error = "cannot register the camera's class under HKEY_CLASSES_ROOT";
        return false;
    }
    const HRESULT hr = RegisterDevice(name, config, instance);
    if (FAILED(hr)) {
        RemoveRegistration(name, Widen(instance));
        DeleteCameraConfig(name);
        char buf[96];
        std::snprintf(buf, sizeof buf, "registering the video input device failed (0x%08lx)",
                      static_cast<unsigned long>(hr));
        *error = buf;
        return false;
    }
    SendDeviceChange(true, instance);
    return true;
}

bool UnplugCamera(const std::string& name, std::string* error) {
    const std::wstring instance = ReadSz(HKEY_CLASSES_ROOT, ClassKeyPath(name), L"Instance");
    CameraConfig config;
    const bool configured = LoadCameraConfig(name, &config);
    if (instance.empty() && !configured) {
        *error = "camera " + name + " is not plugged in";
        return false;
    }
    const bool wasPlugged = IsPlugged(name);
    RemoveRegistration(name, instance);
    DeleteCameraConfig(name);
    if (wasPlugged) SendDeviceChange(false, Narrow(instance));
    return true;
}

void SendDeviceChange(bool arrival, const std::string& instanceName) {
    const std::wstring path = L"\\\\?\\" + Widen(instanceName) + L"\\global";
    std::vector<unsigned char> buffer(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) +
                                      (path.size() + 1) * sizeof(wchar_t));
    auto* message = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(buffer.data());
    message->dbcc_size = static_cast<DWORD>(buffer.size());
    message->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    message->dbcc_classguid = kCaptureInterfaceClass;
    memcpy(message->dbcc_name, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    NotifyContext ctx = {static_cast<WPARAM>(arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE),
                         message};
    EnumWindows(NotifyTopLevel, reinterpret_cast<LPARAM>(&ctx));
}

std::wstring StillTriggerName(const std::string& name) {
    std::wstring upper = Widen(name);
    CharUpperW(&upper[0]);
    return L"Local\\TessaloomSimcamStill." + upper;
}
