// Files the program wrote, read by programs we did not write: ImageMagick for photos,
// ffprobe and ffmpeg for videos, run on the Linux side through /bin/sh.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "win/simcam_tool.h"

// "Z:\a\b" as Linux sees it: "/a/b".
inline std::string UnixPathOf(const std::wstring& windowsPath) {
    std::string path;
    for (size_t i = windowsPath.compare(0, 2, L"Z:") == 0 ? 2 : 0; i < windowsPath.size(); ++i) {
        const wchar_t c = windowsPath[i];
        path += c == L'\\' ? '/' : static_cast<char>(c);
    }
    return path;
}

inline std::vector<uint8_t> ReadWholeFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The build tree's scratch folder; in a fresh tree the first test program to run makes it.
inline std::wstring TestFilesFolder() {
    const std::wstring folder = WindowsPathOf(TEST_FILES_DIR);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Runs a Linux shell command and returns its exit code and output. Wine gives no handle to
// wait on for a Linux process, so the shell leaves its exit code in a file when it is done.
inline ProgramResult RunLinuxTool(const std::string& command, DWORD timeoutMs = 120000) {
    static int runs = 0;
    const std::wstring base = TestFilesFolder() + L"\\tool-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++runs);
    const std::wstring out = base + L".out", code = base + L".code";
    const std::string shell = command + " >" + UnixPathOf(out) + " 2>&1; echo $? >" +
                              UnixPathOf(base) + ".tmp && mv " + UnixPathOf(base) + ".tmp " +
                              UnixPathOf(code);
    ProgramResult result;
    std::wstring line = L"/bin/sh -c \"" + std::wstring(shell.begin(), shell.end()) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return result;
    }
    // For a Linux program Wine returns no handles of its own: what it leaves in `pi` can be
    // any handle of this process (the desktop's, once), so closing it breaks the message queue.
    std::string codeText;
    if (!PumpUntil([&] {
            const std::vector<uint8_t> text = ReadWholeFile(code);
            codeText.assign(text.begin(), text.end());
            return codeText.find('\n') != std::string::npos;
        }, timeoutMs)) {
        return result;
    }
    result.code = static_cast<DWORD>(std::strtoul(codeText.c_str(), nullptr, 10));
    const std::vector<uint8_t> output = ReadWholeFile(out);
    result.output.assign(output.begin(), output.end());
    DeleteFileW(out.c_str());
    DeleteFileW(code.c_str());
    return result;
}

// A path quoted for the shell.
inline std::string Quoted(const std::wstring& windowsPath) { return "'" + UnixPathOf(windowsPath) + "'"; }

// ImageMagick's "format width height" of an image, for example "PNG 640 480".
inline std::string IdentifyImage(const std::wstring& path) {
    ProgramResult r = RunLinuxTool("identify -format '%m %w %h' " + Quoted(path));
    return r.code == 0 ? r.output : "identify failed: " + r.output;
}

// The image's pixels as packed top-down BGR, decoded by ImageMagick; empty on failure.
inline std::vector<uint8_t> DecodeImageToBgr(const std::wstring& path, const std::wstring& scratch) {
    DeleteFileW(scratch.c_str());
    const ProgramResult r =
        RunLinuxTool("convert " + Quoted(path) + " -depth 8 bgr:" + Quoted(scratch));
    if (r.code != 0) return {};
    std::vector<uint8_t> pixels = ReadWholeFile(scratch);
    DeleteFileW(scratch.c_str());
    return pixels;
}
