#include "win/message.hpp"

#include "startup/session.hpp"

#include <windows.h>

namespace velmora::win {

void ShowError(const std::wstring& text, void* owner) {
    if (TheSession().silent) return;
    const std::wstring caption = MessageCaption();
    // A box that cannot be shown (no desktop) changes nothing about the run.
    ::MessageBoxW(static_cast<HWND>(owner), text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace velmora::win
