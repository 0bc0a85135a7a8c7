#include "capture/device_list.h"

#include <uuids.h>

#include <cstdio>

#include "capture/device_ids.h"

DeviceList g_deviceList;

namespace {

std::u16string_view View(const std::wstring& s) {
    return {reinterpret_cast<const char16_t*>(s.c_str()), s.size()};
}

std::wstring ReadFriendlyName(IMoniker* moniker, bool* opened) {
    std::wstring name;
    IPropertyBag* bag = nullptr;
    *opened = SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                               reinterpret_cast<void**>(&bag))) &&
              bag != nullptr;
    if (!*opened) return name;
    VARIANT v;
    VariantInit(&v);
    if (SUCCEEDED(bag->Read(L"FriendlyName", &v, nullptr)) && v.vt == VT_BSTR && v.bstrVal) {
        name.assign(v.bstrVal, SysStringLen(v.bstrVal));
    }
    VariantClear(&v);
    bag->Release();
    return name;
}

std::wstring ReadDisplayName(IMoniker* moniker) {
    std::wstring path;
    LPOLESTR display = nullptr;
    if (SUCCEEDED(moniker->GetDisplayName(nullptr, nullptr, &display)) && display != nullptr) {
        path = display;
        CoTaskMemFree(display);
    }
    return path;
}

}  // namespace

void DeviceList::RemoveAt(size_t i) {
    DeviceEntry* e = entries_[i];
    if (e->filter != nullptr) e->filter->Release();
    if (e->moniker != nullptr) e->moniker->Release();
    delete e;
    entries_.erase(entries_.begin() + static_cast<ptrdiff_t>(i));
}

void DeviceList::Clear() {
    while (!entries_.empty()) RemoveAt(entries_.size() - 1);
}

int DeviceList::FindDevice(IMoniker* moniker) const {
    if (moniker == nullptr) return -1;
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i]->moniker != nullptr && entries_[i]->moniker->IsEqual(moniker) == S_OK) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void DeviceList::Enumerate() {
    for (DeviceEntry* e : entries_) e->stale = 1;

    ICreateDevEnum* devEnum = nullptr;
    IEnumMoniker* category = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICreateDevEnum, reinterpret_cast<void**>(&devEnum));
    if (SUCCEEDED(hr)) hr = devEnum->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &category, 0);
    if (hr != S_OK || category == nullptr) {
        if (category != nullptr) category->Release();
        if (devEnum != nullptr) devEnum->Release();
        Clear();
        return;
    }

    IMoniker* moniker = nullptr;
    while (category->Next(1, &moniker, nullptr) == S_OK) {
        bool opened = false;
        const std::wstring friendly = ReadFriendlyName(moniker, &opened);
        if (!opened) {
            moniker->Release();
            continue;
        }
        OutputDebugStringW(friendly.c_str());
        OutputDebugStringW(L"----\r\n");
        std::wstring path;
        if (!IsExcludedFriendlyName(View(friendly))) path = ReadDisplayName(moniker);
        if (path.empty() || !IsAcceptedDevice(View(friendly), View(path))) {
            moniker->Release();
            continue;
        }
        const int known = FindDevice(moniker);
        if (known >= 0) {
            entries_[static_cast<size_t>(known)]->stale = 0;
            moniker->Release();
            continue;
        }
        auto* entry = new DeviceEntry;
        entry->moniker = moniker;  // the list keeps the enumerator's reference
        entry->devicePath = path;
        entry->friendlyName = friendly;
        entries_.push_back(entry);
    }
    category->Release();
    devEnum->Release();

    for (size_t i = entries_.size(); i-- > 0;) {
        if (entries_[i]->stale) RemoveAt(i);
    }
}

bool BindDeviceFilter(DeviceEntry& entry) {
    if (entry.filter != nullptr) return true;
    if (entry.moniker == nullptr) return false;
    IBindCtx* context = nullptr;
    HRESULT hr = CreateBindCtx(0, &context);
    if (SUCCEEDED(hr)) {
        hr = entry.moniker->BindToObject(context, nullptr, IID_IBaseFilter,
                                         reinterpret_cast<void**>(&entry.filter));
        context->Release();
    }
    if (FAILED(hr) || entry.filter == nullptr) {
        entry.filter = nullptr;
        char line[160];
        std::snprintf(line, sizeof line, "%x %x %x %x %x %x %x %x\r\n",
                      static_cast<unsigned>(hr), static_cast<unsigned>(MK_E_NOOBJECT),
                      static_cast<unsigned>(MK_E_EXCEEDEDDEADLINE),
                      static_cast<unsigned>(MK_E_CONNECTMANUALLY),
                      static_cast<unsigned>(MK_E_INTERMEDIATEINTERFACENOTSUPPORTED),
                      static_cast<unsigned>(E_UNEXPECTED), static_cast<unsigned>(E_OUTOFMEMORY),
                      static_cast<unsigned>(STG_E_ACCESSDENIED));
        OutputDebugStringA(line);
        return false;
    }
    OutputDebugStringA("moniker->BindToObject -- OK\r\n");
    return true;
}
