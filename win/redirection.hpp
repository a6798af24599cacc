// The 64-bit file-system mode: while the session platform is not "Win32"
// and the engine runs as a 32-bit process on 64-bit Windows, file and folder
// commands see the native system folders, not the 32-bit redirected ones.
// Every file command opens one bracket for its work; this is the only place
// that switches redirection.
#pragma once

#include <windows.h>

namespace velmora::win {

class FileSystemBracket {
public:
    FileSystemBracket();
    ~FileSystemBracket();
    FileSystemBracket(const FileSystemBracket&) = delete;
    FileSystemBracket& operator=(const FileSystemBracket&) = delete;

    // Whether this bracket switched redirection off (the outermost one does).
    bool Active() const { return active_; }

private:
    bool active_ = false;
    PVOID old_ = nullptr;
};

// True when the 32-bit engine runs on 64-bit Windows.
bool IsWow64Process();

}  // namespace velmora::win
