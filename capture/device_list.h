// The accepted cameras, in a stable order across re-enumerations. Main thread only.
#pragma once
#include <windows.h>
#include <strmif.h>

#include <string>
#include <vector>

#include "capture/format_map.h"

struct DeviceEntry {
    IMoniker* moniker = nullptr;
    IBaseFilter* filter = nullptr;  // bound when the device is opened or its formats listed
    std::wstring devicePath;
    std::wstring friendlyName;
    FormatMap yuy2Formats;
    FormatMap mjpgFormats;
    int32_t stale = 0;
};

// Owns the references of its entries; entries are never copied.
class DeviceList {
public:
    DeviceList() = default;
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    ~DeviceList() { Clear(); }

    void Enumerate();
    int FindDevice(IMoniker* moniker) const;
    void Clear();

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    DeviceEntry& operator[](size_t i) { return *entries_[i]; }
    const DeviceEntry& operator[](size_t i) const { return *entries_[i]; }

private:
    void RemoveAt(size_t i);
    std::vector<DeviceEntry*> entries_;
};

extern DeviceList g_deviceList;

// Binds the entry's capture filter if not bound yet; false when binding fails.
bool BindDeviceFilter(DeviceEntry& entry);
