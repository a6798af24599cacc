// Starts a program, waits for it and writes its full 32-bit exit code to a
// file, since Wine hands only the low 8 bits of a process's status to Linux.
//
//   launcher.exe CODE-FILE PROGRAM [ARGS...]
//
// Everything after CODE-FILE is passed on as the child's command line,
// unchanged, so a test controls its quoting exactly. The child inherits the
// standard handles, so console output reaches the caller.
#include <windows.h>

#include "tests/wine/skip_argument.hpp"

#include <cstdio>
#include <string>

namespace {


std::wstring Unquote(std::wstring s) {
    if (s.size() >= 2 && s.front() == L'"' && s.back() == L'"') s = s.substr(1, s.size() - 2);
    return s;
}

int Fail(const char* what) {
    std::fprintf(stderr, "launcher: %s failed (error %lu)\n", what, GetLastError());
    return 120;
}

}  // namespace

int wmain() {
    const wchar_t* raw = GetCommandLineW();
    const wchar_t* codeArg = SkipArgument(raw);
    const wchar_t* rest = SkipArgument(codeArg);
    std::wstring codeFile(codeArg, rest);
    while (!codeFile.empty() && (codeFile.back() == L' ' || codeFile.back() == L'\t')) codeFile.pop_back();
    codeFile = Unquote(codeFile);
    if (codeFile.empty() || *rest == L'\0') {
        std::fprintf(stderr, "usage: launcher CODE-FILE PROGRAM [ARGS...]\n");
        return 2;
    }

    std::wstring commandLine(rest);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        return Fail("CreateProcessW");
    }
    CloseHandle(pi.hThread);
    DWORD code = 0;
    const bool waited = WaitForSingleObject(pi.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                        GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    if (!waited) return Fail("waiting for the program");

    HANDLE out = CreateFileW(codeFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return Fail("CreateFileW");
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%lu\n", static_cast<unsigned long>(code));
    DWORD written = 0;
    const bool ok = WriteFile(out, text, static_cast<DWORD>(n), &written, nullptr) && written == static_cast<DWORD>(n);
    CloseHandle(out);
    if (!ok) return Fail("WriteFile");
    return static_cast<int>(code & 0xFF);
}
