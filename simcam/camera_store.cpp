#include "simcam/camera_store.h"

const wchar_t kCamerasKeyPath[] = L"Software\\Tessaloom Simcam\\Cameras";

namespace {

// Property fields in the order of PropertyState, as DWORD values of the property's subkey.
const wchar_t* const kPropFields[] = {L"Min", L"Max", L"Step", L"Default",
                                     L"Caps", L"Value", L"Mode"};

int* PropField(PropertyState& p, int i) {
    int* fields[] = {&p.min, &p.max, &p.step, &p.def, &p.caps, &p.value, &p.flags};
    return fields[i];
}

std::wstring CameraKeyPath(const std::string& name) {
    return std::wstring(kCamerasKeyPath) + L"\\" + Widen(name);
}

class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (h_ != nullptr) RegCloseKey(h_);
    }
    bool Open(HKEY parent, const std::wstring& path, REGSAM access) {
        return RegOpenKeyExW(parent, path.c_str(), 0, access, &h_) == ERROR_SUCCESS;
    }
    bool Create(HKEY parent, const std::wstring& path) {
        return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                               nullptr, &h_, nullptr) == ERROR_SUCCESS;
    }
    HKEY get() const { return h_; }

private:
    HKEY h_ = nullptr;
};

bool ReadDword(HKEY key, const wchar_t* name, int* out) {
    DWORD v = 0, size = sizeof v, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD)
        return false;
    *out = static_cast<int>(v);
    return true;
}

bool ReadBool(HKEY key, const wchar_t* name, bool* out) {
    int v = 0;
    if (!ReadDword(key, name, &v)) return false;
    *out = v != 0;
    return true;
}

bool ReadString(HKEY key, const wchar_t* name, std::string* out) {
    wchar_t buf[1024];
    DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    buf[size / sizeof(wchar_t)] = L'\0';
    *out = Narrow(buf);
    return true;
}

bool WriteDword(HKEY key, const wchar_t* name, int value) {
    const DWORD v = static_cast<DWORD>(value);
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v) ==
           ERROR_SUCCESS;
}

bool WriteString(HKEY key, const wchar_t* name, const std::string& value) {
    const std::wstring w = Widen(value);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                          static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void LoadProperties(HKEY camera, PropertyState props[kPropertyCount]) {
    for (int i = 0; i < kPropertyCount; ++i) {
        Key key;
        if (!key.Open(camera, L"Properties\\" + Widen(kPropertyInfo[i].key), KEY_READ)) continue;
        for (int f = 0; f < 7; ++f) ReadDword(key.get(), kPropFields[f], PropField(props[i], f));
    }
}

bool SavePropertyUnder(HKEY camera, int property, const PropertyState& state) {
    Key key;
    if (!key.Create(camera, L"Properties\\" + Widen(kPropertyInfo[property].key))) return false;
    PropertyState copy = state;
    bool ok = true;
    for (int f = 0; f < 7; ++f) ok &= WriteDword(key.get(), kPropFields[f], *PropField(copy, f));
    return ok;
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return L"";
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return "";
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n,
                        nullptr, nullptr);
    return out;
}

bool LoadCameraConfig(const std::string& name, CameraConfig* config) {
    Key key;
    if (!key.Open(HKEY_CURRENT_USER, CameraKeyPath(name), KEY_READ)) return false;
    CameraConfig c = DefaultCameraConfig();
    HKEY h = key.get();
    ReadString(h, L"FriendlyName", &c.friendlyName);
    int v = 0;
    if (ReadDword(h, L"VendorId", &v)) c.vendorId = static_cast<uint16_t>(v);
    if (ReadDword(h, L"ProductId", &v)) c.productId = static_cast<uint16_t>(v);
    std::string text, error;
    if (ReadString(h, L"Formats", &text)) ParseFormats(text, &c.formats, &error);
    ReadDword(h, L"Fps", &c.fps);
    ReadBool(h, L"StillPin", &c.stillPin);
    ReadBool(h, L"ProcAmp", &c.procAmp);
    ReadBool(h, L"CameraControl", &c.cameraControl);
    ReadBool(h, L"VideoInfo2", &c.videoInfo2);
    if (ReadString(h, L"Mode", &text)) ParseMode(text, &c.mode);
    LoadProperties(h, c.props);
    *config = c;
    return true;
}

bool SaveCameraConfig(const std::string& name, const CameraConfig& c) {
    Key key;
    if (!key.Create(HKEY_CURRENT_USER, CameraKeyPath(name))) return false;
    HKEY h = key.get();
    bool ok = WriteString(h, L"FriendlyName", c.friendlyName);
    ok &= WriteDword(h, L"VendorId", c.vendorId);
    ok &= WriteDword(h, L"ProductId", c.productId);
    ok &= WriteString(h, L"Formats", FormatsToText(c.formats));
    ok &= WriteDword(h, L"Fps", c.fps);
    ok &= WriteDword(h, L"StillPin", c.stillPin);
    ok &= WriteDword(h, L"ProcAmp", c.procAmp);
    ok &= WriteDword(h, L"CameraControl", c.cameraControl);
    ok &= WriteDword(h, L"VideoInfo2", c.videoInfo2);
    ok &= WriteString(h, L"Mode", ModeName(c.mode));
    for (int i = 0; i < kPropertyCount; ++i) ok &= SavePropertyUnder(h, i, c.props[i]);
    return ok;
}

bool DeleteCameraConfig(const std::string& name) {
    const LSTATUS s = RegDeleteTreeW(HKEY_CURRENT_USER, CameraKeyPath(name).c_str());
    return s == ERROR_SUCCESS || s == ERROR_FILE_NOT_FOUND;
}

bool LoadLiveState(const std::string& name, SimMode* mode, PropertyState props[kPropertyCount]) {
    Key key;
    if (!key.Open(HKEY_CURRENT_USER, CameraKeyPath(name), KEY_READ)) return false;
    std::string text;
    if (ReadString(key.get(), L"Mode", &text)) ParseMode(text, mode);
    LoadProperties(key.get(), props);
    return true;
}

bool SaveProperty(const std::string& name, int property, const PropertyState& state) {
    Key key;
    if (!key.Open(HKEY_CURRENT_USER, CameraKeyPath(name), KEY_READ | KEY_WRITE)) return false;
    return SavePropertyUnder(key.get(), property, state);
}

std::vector<std::string> ListCameraNames() {
    std::vector<std::string> names;
    Key key;
    if (!key.Open(HKEY_CURRENT_USER, kCamerasKeyPath, KEY_READ)) return names;
    for (DWORD i = 0;; ++i) {
        wchar_t buf[256];
        DWORD len = 256;
        if (RegEnumKeyExW(key.get(), i, buf, &len, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(Narrow(buf));
    }
    return names;
}
