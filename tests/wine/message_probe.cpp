// Starts a program, waits for the message box it shows, prints the box's
// caption and text, presses its OK button and hands back the program's exit
// code. Lets the end-to-end tests check what an interactive run says.
//
//   message_probe.exe SECONDS PROGRAM [ARGS...]
//
// Prints "caption: ..." and "text: ..." as UTF-8 lines (the box of the
// program's process only), or "no message box" when none appears in time.
#include <windows.h>

#include "tests/wine/skip_argument.hpp"

#include <cstdio>
#include <string>

namespace {


std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring WindowText(HWND w) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(w, buffer, 1024);
    return buffer;
}

struct Search {
    DWORD process;
    HWND box;
};

BOOL CALLBACK FindBox(HWND w, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (owner == search->process && std::wstring(cls) == L"#32770" && IsWindowVisible(w)) {
        search->box = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK PrintStatic(HWND w, LPARAM) {
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    // Line breaks of the text print as line feeds, whatever the box holds.
    std::wstring text = WindowText(w);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r') {
            if (i + 1 < text.size() && text[i + 1] == L'\n') text.erase(i + 1, 1);
            text[i] = L'\n';
        }
    }
    if (std::wstring(cls) == L"Static" && !text.empty()) std::printf("text: %s\n", Utf8(text).c_str());
    return TRUE;
}

}  // namespace

int wmain() {
    const wchar_t* raw = GetCommandLineW();
    const wchar_t* secondsArg = SkipArgument(raw);
    const wchar_t* rest = SkipArgument(secondsArg);
    const int seconds = _wtoi(secondsArg);
    if (*rest == L'\0') {
        std::fprintf(stderr, "usage: message_probe SECONDS PROGRAM [ARGS...]\n");
        return 2;
    }
    std::wstring commandLine(rest);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "message_probe: CreateProcessW failed (%lu)\n", GetLastError());
        return 120;
    }
    CloseHandle(pi.hThread);
    Search search{pi.dwProcessId, nullptr};
    for (int waited = 0; waited < seconds * 10 && search.box == nullptr; ++waited) {
        if (WaitForSingleObject(pi.hProcess, 100) == WAIT_OBJECT_0) break;
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    }
    if (search.box != nullptr) {
        Sleep(200);  // let the box finish drawing its controls
        std::printf("caption: %s\n", Utf8(WindowText(search.box)).c_str());
        EnumChildWindows(search.box, PrintStatic, 0);
        std::fflush(stdout);
        PostMessageW(search.box, WM_COMMAND, IDOK, 0);
    } else {
        std::printf("no message box\n");
    }
    std::fflush(stdout);
    DWORD code = 0;
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 124);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}
