// Drives the simulated camera's control tool from a Windows test.
#pragma once
#include <windows.h>

#include <string>

#include "pipeline/video_format.h"
#include "win/win_test_support.h"

// A Unix build path as Wine's Z: drive shows it.
inline std::wstring WindowsPathOf(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* p = unixPath; *p != '\0'; ++p) path += *p == '/' ? L'\\' : wchar_t(*p);
    return path;
}

// What a program run by a test printed and returned.
struct ProgramResult {
    DWORD code = 0xFFFFFFFF;
    std::string output;  // stdout and stderr
};
using SimcamResult = ProgramResult;

// Runs a command line (a Windows program, or a Unix one, which Wine starts directly),
// pumping messages meanwhile: the simulated camera's tool sends device notifications to this
// process's windows and waits for them to be handled.
inline ProgramResult RunProgram(const std::wstring& commandLine, DWORD timeoutMs = 60000) {
    ProgramResult result;
    wchar_t outPath[MAX_PATH], tempDir[MAX_PATH];
    GetTempPathW(MAX_PATH, tempDir);
    GetTempFileNameW(tempDir, L"run", 0, outPath);
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE out = CreateFileW(outPath, GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY, nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &si, &pi)) {
        PumpUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, timeoutMs);
        GetExitCodeProcess(pi.hProcess, &result.code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    SetFilePointer(out, 0, nullptr, FILE_BEGIN);
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(out, buf, sizeof buf, &n, nullptr) && n > 0) result.output.append(buf, n);
    CloseHandle(out);
    DeleteFileW(outPath);
    return result;
}

inline SimcamResult RunSimcam(const std::wstring& args) {
    return RunProgram(L"\"" + WindowsPathOf(SIMCAM_DIR) + L"\\simcam.exe\" " + args);
}

// Pumps messages until the open camera has published `count` new frames.
inline bool NewFramesArrive(int count, DWORD timeoutMs) {
    LONG last = g_pipeline.ring.publishedIndex;
    int changes = 0;
    return PumpUntil([&] {
        if (g_pipeline.ring.publishedIndex != last) {
            last = g_pipeline.ring.publishedIndex;
            ++changes;
        }
        return changes >= count;
    }, timeoutMs);
}
