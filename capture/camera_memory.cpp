#include "capture/camera_memory.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace {

constexpr char kEntryEnd = ';';
constexpr char kKeyEnd = '|';
constexpr char kItemSeparator = ',';
constexpr char kValueSeparator = '=';
constexpr std::string_view kAuto = "auto";

char Lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char>(c - u'A' + 'a') : static_cast<char>(c);
}

// ASCII text of the stored form only: a separator or a non-ASCII unit would break the text.
bool LowerAscii(std::u16string_view text, std::string* out) {
    for (char16_t c : text) {
        if (c <= u' ' || c > u'~' || c == kEntryEnd || c == kKeyEnd || c == kItemSeparator ||
            c == kValueSeparator) {
            return false;
        }
        out->push_back(Lower(c));
    }
    return !text.empty();
}

bool ParseValue(std::string_view text, int32_t* value) {
    if (text.empty() || text.size() > 11) return false;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(copy.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    *value = static_cast<int32_t>(v);
    return true;
}

bool ParseItem(std::string_view item, RememberedSetting* setting) {
    const size_t eq = item.find(kValueSeparator);
    if (eq == std::string_view::npos) return false;
    if (!PropertyOfStoredName(item.substr(0, eq), &setting->index)) return false;
    const std::string_view value = item.substr(eq + 1);
    setting->autoOn = value == kAuto;
    setting->value = 0;
    return setting->autoOn || ParseValue(value, &setting->value);
}

}  // namespace

std::string CameraMemoryKey(std::u16string_view path) {
    const size_t vid =
        path.find(u"vid_") != std::u16string_view::npos ? path.find(u"vid_") : path.find(u"VID_");
    if (vid == std::u16string_view::npos) return "";
    const size_t idsEnd = path.find(u'#', vid);
    if (idsEnd == std::u16string_view::npos) return "";
    const std::u16string_view ids = path.substr(vid, idsEnd - vid);
    size_t pid = ids.find(u"pid_");
    if (pid == std::u16string_view::npos) pid = ids.find(u"PID_");
    const size_t instanceEnd = path.find(u'#', idsEnd + 1);
    if (pid == std::u16string_view::npos || ids.size() < 8 || pid + 8 > ids.size() ||
        instanceEnd == std::u16string_view::npos) {
        return "";
    }
    std::string key;
    if (!LowerAscii(ids.substr(4, 4), &key)) return "";
    key.push_back(':');
    if (!LowerAscii(ids.substr(pid + 4, 4), &key)) return "";
    key.push_back(':');
    if (!LowerAscii(path.substr(idsEnd + 1, instanceEnd - idsEnd - 1), &key)) return "";
    return key;
}

void CameraMemory::Remember(const std::string& key, const RememberedSetting& setting) {
    if (key.empty()) return;
    Touch(key);
    if (cameras_.empty() || cameras_.front().key != key) {
        cameras_.insert(cameras_.begin(), Camera{key, {}});
        if (cameras_.size() > kMaxCameras) cameras_.pop_back();
    }
    std::vector<RememberedSetting>& settings = cameras_.front().settings;
    auto same = std::find_if(settings.begin(), settings.end(),
                             [&](const RememberedSetting& s) { return s.index == setting.index; });
    if (same != settings.end()) {
        *same = setting;
    } else {
        settings.push_back(setting);
    }
}

std::vector<RememberedSetting> CameraMemory::SettingsOf(const std::string& key) const {
    for (const Camera& camera : cameras_) {
        if (camera.key == key) return camera.settings;
    }
    return {};
}

bool CameraMemory::Touch(const std::string& key) {
    auto found = std::find_if(cameras_.begin(), cameras_.end(),
                              [&](const Camera& c) { return c.key == key; });
    if (found == cameras_.end() || found == cameras_.begin()) return false;
    std::rotate(cameras_.begin(), found, found + 1);
    return true;
}

std::string CameraMemory::ToText() const {
    std::string text;
    for (const Camera& camera : cameras_) {
        text += camera.key;
        text += kKeyEnd;
        for (size_t i = 0; i < camera.settings.size(); ++i) {
            const RememberedSetting& s = camera.settings[i];
            if (i > 0) text += kItemSeparator;
            text += StoredNameOf(s.index);
            text += kValueSeparator;
            text += s.autoOn ? std::string(kAuto) : std::to_string(s.value);
        }
        text += kEntryEnd;
    }
    return text;
}

CameraMemory CameraMemory::FromText(std::string_view text) {
    CameraMemory memory;
    // Stored newest first: rebuilt oldest first so that Remember leaves the same order.
    std::vector<std::string_view> entries;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(kEntryEnd, at);
        if (end == std::string_view::npos) end = text.size();
        entries.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const size_t bar = entry->find(kKeyEnd);
        if (bar == 0 || bar == std::string_view::npos) continue;
        const std::string key(entry->substr(0, bar));
        std::string_view items = entry->substr(bar + 1);
        while (!items.empty()) {
            size_t comma = items.find(kItemSeparator);
            if (comma == std::string_view::npos) comma = items.size();
            RememberedSetting setting{};
            if (ParseItem(items.substr(0, comma), &setting)) memory.Remember(key, setting);
            items.remove_prefix(std::min(comma + 1, items.size()));
        }
    }
    return memory;
}
