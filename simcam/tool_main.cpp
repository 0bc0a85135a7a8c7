// simcam.exe: plugs, unplugs, configures and triggers simulated cameras.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "simcam/camera_config.h"
#include "simcam/camera_store.h"
#include "simcam/registration.h"

namespace {

// Exit codes.
constexpr int kOk = 0;
constexpr int kBadInput = 1;     // usage, unknown option, invalid value, unknown camera
constexpr int kFailed = 2;       // the system refused (registry, COM)
constexpr int kNoListener = 3;   // still: no running still stream for this camera

const char kUsage[] =
    "usage:\n"
    "  simcam plug NAME [--vid HEX] [--pid HEX] [--friendly TEXT] [--formats LIST]\n"
    "                   [--fps N] [--mode live|colorbar|bad|stalled|nohuffman] [--no-still] [--no-procamp]\n"
    "                   [--no-cameracontrol] [--videoinfo2] [KEY=VALUE...]\n"
    "  simcam unplug NAME|--all\n"
    "  simcam still NAME\n"
    "  simcam set NAME KEY=VALUE...\n"
    "  simcam show NAME\n"
    "  simcam list\n"
    "LIST is e.g. MJPG:1920x1080,YUY2:640x480. KEYs: friendly vid pid formats fps mode still\n"
    "procamp cameracontrol videoinfo2, and per property (brightness contrast hue saturation\n"
    "sharpness gamma whitebalance backlight gain powerline colorenable exposure pan tilt roll\n"
    "zoom iris focus) NAME, NAME.min, NAME.max,\n"
    "NAME.step, NAME.default, NAME.caps (none|manual|auto|auto+manual), NAME.mode (auto|manual).\n";

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "simcam: %s\n", message.c_str());
    return code;
}

int Usage(const std::string& message) {
    std::fprintf(stderr, "simcam: %s\n%s", message.c_str(), kUsage);
    return kBadInput;
}

std::wstring DllPath() {
    wchar_t exe[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return L"";
    std::wstring path(exe, n);
    path.erase(path.find_last_of(L"\\/") + 1);
    return path + L"simcam.dll";
}

bool SplitKeyValue(const std::string& arg, std::string* key, std::string* value) {
    const size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    *key = arg.substr(0, eq);
    *value = arg.substr(eq + 1);
    return true;
}

// Applies KEY=VALUE arguments; the first problem ends it.
bool ApplyAll(CameraConfig* config, const std::vector<std::string>& settings, std::string* error) {
    for (const std::string& s : settings) {
        std::string key, value;
        if (!SplitKeyValue(s, &key, &value)) {
            *error = "'" + s + "' is not KEY=VALUE";
            return false;
        }
        if (!ApplySetting(config, key, value, error)) return false;
    }
    const std::string problem = CheckConfig(*config);
    if (!problem.empty()) *error = problem;
    return problem.empty();
}

int CheckedName(const std::vector<std::string>& args, std::string* name) {
    if (args.size() < 2) return Usage("missing camera NAME");
    *name = args[1];
    if (!IsValidCameraName(*name))
        return Usage("'" + *name + "' is not a camera name (1.." + std::to_string(kMaxNameChars) +
                     " letters, digits, '-', '_' or '.')");
    return kOk;
}

int Plug(const std::vector<std::string>& args) {
    std::string name;
    if (int rc = CheckedName(args, &name)) return rc;
    struct ValueOption {
        const char* option;
        const char* key;
    };
    static const ValueOption kValueOptions[] = {
        {"--vid", "vid"},       {"--pid", "pid"}, {"--friendly", "friendly"},
        {"--formats", "formats"}, {"--fps", "fps"}, {"--mode", "mode"},
    };
    struct FlagOption {
        const char* option;
        const char* setting;
    };
    static const FlagOption kFlagOptions[] = {
        {"--no-still", "still=off"},
        {"--no-procamp", "procamp=off"},
        {"--no-cameracontrol", "cameracontrol=off"},
        {"--videoinfo2", "videoinfo2=on"},
    };
    std::vector<std::string> settings;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool known = false;
        for (const ValueOption& o : kValueOptions) {
            if (a != o.option) continue;
            if (i + 1 >= args.size()) return Usage(a + " needs a value");
            settings.push_back(std::string(o.key) + "=" + args[++i]);
            known = true;
        }
        for (const FlagOption& o : kFlagOptions) {
            if (a != o.option) continue;
            settings.push_back(o.setting);
            known = true;
        }
        if (known) continue;
        if (a.rfind("--", 0) == 0 || a.find('=') == std::string::npos)
            return Usage("unknown option '" + a + "'");
        settings.push_back(a);
    }
    CameraConfig config = DefaultCameraConfig();
    std::string error;
    if (!ApplyAll(&config, settings, &error)) return Fail(kBadInput, error);
    const std::wstring dll = DllPath();
    if (GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES)
        return Fail(kFailed, "simcam.dll is not next to simcam.exe");
    if (IsPlugged(name)) return Fail(kBadInput, "camera " + name + " is plugged in already");
    if (!PlugCamera(name, config, dll, &error)) return Fail(kFailed, error);
    std::printf("plugged %s: %s\n", name.c_str(), InstanceName(name, config).c_str());
    return kOk;
}

int Unplug(const std::vector<std::string>& args) {
    if (args.size() == 2 && args[1] == "--all") {
        int rc = kOk;
        for (const std::string& name : ListCameraNames()) {
            std::string error;
            if (UnplugCamera(name, &error))
                std::printf("unplugged %s\n", name.c_str());
            else
                rc = Fail(kFailed, error);
        }
        return rc;
    }
    std::string name;
    if (int rc = CheckedName(args, &name)) return rc;
    if (args.size() > 2) return Usage("unplug takes one camera NAME");
    std::string error;
    if (!UnplugCamera(name, &error)) return Fail(kBadInput, error);
    std::printf("unplugged %s\n", name.c_str());
    return kOk;
}

int Still(const std::vector<std::string>& args) {
    std::string name;
    if (int rc = CheckedName(args, &name)) return rc;
    if (args.size() > 2) return Usage("still takes one camera NAME");
    CameraConfig config;
    if (!LoadCameraConfig(name, &config)) return Fail(kBadInput, "no camera " + name);
    if (!config.stillPin) return Fail(kBadInput, "camera " + name + " has no still pin");
    HANDLE trigger = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, StillTriggerName(name).c_str());
    if (trigger == nullptr)
        return Fail(kNoListener, "no program is streaming from the still pin of " + name);
    const BOOL released = ReleaseSemaphore(trigger, 1, nullptr);
    CloseHandle(trigger);
    if (!released) return Fail(kFailed, "the still trigger of " + name + " is full");
    std::printf("still %s\n", name.c_str());
    return kOk;
}

int SetCommand(const std::vector<std::string>& args) {
    std::string name;
    if (int rc = CheckedName(args, &name)) return rc;
    if (args.size() < 3) return Usage("set needs KEY=VALUE");
    CameraConfig config;
    if (!LoadCameraConfig(name, &config)) return Fail(kBadInput, "no camera " + name);
    const CameraConfig before = config;
    std::string error;
    if (!ApplyAll(&config, std::vector<std::string>(args.begin() + 2, args.end()), &error))
        return Fail(kBadInput, error);
    // A new name or id is a different device: it leaves and arrives like one.
    const bool newIdentity = config.friendlyName != before.friendlyName ||
                             config.vendorId != before.vendorId ||
                             config.productId != before.productId;
    if (newIdentity && IsPlugged(name)) {
        if (!UnplugCamera(name, &error) || !PlugCamera(name, config, DllPath(), &error))
            return Fail(kFailed, error);
    } else if (!SaveCameraConfig(name, config)) {
        return Fail(kFailed, "cannot write the configuration of " + name);
    }
    std::printf("set %s\n", name.c_str());
    return kOk;
}

void PrintSummary(const std::string& name, const CameraConfig& c) {
    std::printf("%s\t%s\t\"%s\"\t%04X:%04X\t%d fps\t%s\t%s%s%s%s\n", name.c_str(),
                IsPlugged(name) ? "plugged" : "unplugged", c.friendlyName.c_str(), c.vendorId,
                c.productId, c.fps, ModeName(c.mode), FormatsToText(c.formats).c_str(),
                c.stillPin ? " still" : "", c.procAmp ? " procamp" : "",
                c.cameraControl ? " cameracontrol" : "");
}

int Show(const std::vector<std::string>& args) {
    std::string name;
    if (int rc = CheckedName(args, &name)) return rc;
    CameraConfig c;
    if (!LoadCameraConfig(name, &c)) return Fail(kBadInput, "no camera " + name);
    PrintSummary(name, c);
    std::printf("instance=%s\n", InstanceName(name, c).c_str());
    for (int i = 0; i < kPropertyCount; ++i) {
        const PropertyState& p = c.props[i];
        std::printf("%s=%d min=%d max=%d step=%d default=%d caps=%s mode=%s\n",
                    kPropertyInfo[i].key, p.value, p.min, p.max, p.step, p.def,
                    FlagsToText(p.caps).c_str(), FlagsToText(p.flags).c_str());
    }
    return kOk;
}

int List() {
    for (const std::string& name : ListCameraNames()) {
        CameraConfig c;
        if (LoadCameraConfig(name, &c)) PrintSummary(name, c);
    }
    return kOk;
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("missing command");
    const std::string& command = args[0];
    if (command == "plug") return Plug(args);
    if (command == "unplug") return Unplug(args);
    if (command == "still") return Still(args);
    if (command == "set") return SetCommand(args);
    if (command == "show") return Show(args);
    if (command == "list") return args.size() == 1 ? List() : Usage("list takes no arguments");
    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return kOk;
    }
    return Usage("unknown command '" + command + "'");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(Narrow(argv[i]));
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int rc = Run(args);
    if (SUCCEEDED(com)) CoUninitialize();
    std::fflush(stdout);
    return rc;
}
