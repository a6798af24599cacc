#include "win/redirection.hpp"

#include "startup/session.hpp"

namespace velmora::win {
namespace {

// Nesting: only the outermost bracket switches, so that switching off twice
// and back once leaves redirection as it was.
thread_local int g_depth = 0;

using Wow64DisableFn = BOOL(WINAPI*)(PVOID*);
using Wow64RevertFn = BOOL(WINAPI*)(PVOID);
using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);

FARPROC Kernel32(const char* name) {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel == nullptr ? nullptr : ::GetProcAddress(kernel, name);
}

}  // namespace

bool IsWow64Process() {
    // Looked up at run time: older systems do not have it.
    const auto isWow64 = reinterpret_cast<IsWow64Fn>(reinterpret_cast<void*>(Kernel32("IsWow64Process")));
    BOOL wow64 = FALSE;
    return isWow64 != nullptr && isWow64(::GetCurrentProcess(), &wow64) && wow64;
}

FileSystemBracket::FileSystemBracket() {
    if (g_depth++ > 0 || TheSession().platform == L"Win32" || !IsWow64Process()) return;
    const auto disable = reinterpret_cast<Wow64DisableFn>(reinterpret_cast<void*>(Kernel32("Wow64DisableWow64FsRedirection")));
    active_ = disable != nullptr && disable(&old_);
}

FileSystemBracket::~FileSystemBracket() {
    --g_depth;
    if (!active_) return;
    const auto revert = reinterpret_cast<Wow64RevertFn>(reinterpret_cast<void*>(Kernel32("Wow64RevertWow64FsRedirection")));
    if (revert != nullptr) revert(old_);
}

}  // namespace velmora::win
