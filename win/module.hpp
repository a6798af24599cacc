// Functions that not every supported Windows exports, bound at the call.
#pragma once

#include <windows.h>

namespace velmora::win {

// The function `name` of a module the process has already loaded (kernel32,
// ntdll, user32...), or null when the module or the export is missing.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) noexcept {
    const HMODULE m = ::GetModuleHandleW(module);
    if (m == nullptr) return nullptr;
    // Through a plain function type, which every function pointer converts to.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(m, name)));
}

}  // namespace velmora::win
