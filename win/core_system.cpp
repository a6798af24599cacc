// The system interface of the portable core, over Win32.
#include "core/system.hpp"

#include "win/file.hpp"
#include "win/handle.hpp"

#include <windows.h>

namespace velmora::sys {

std::wstring UpperCase(std::wstring_view in) {
    std::wstring out(in);
    if (!out.empty()) ::CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

std::wstring LowerCase(std::wstring_view in) {
    std::wstring out(in);
    if (!out.empty()) ::CharLowerBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

std::uint32_t TickCount() { return ::GetTickCount(); }

bool AppendFileBytes(const std::wstring& path, std::string_view bytes, AppendMode mode) {
    const DWORD disposition = mode == AppendMode::CreateOrTruncate ? CREATE_ALWAYS : OPEN_EXISTING;
    // Appending with FILE_APPEND_DATA alone makes every write land at the end
    // even when two threads write at once; making the file anew needs write access.
    const DWORD access = mode == AppendMode::CreateOrTruncate ? GENERIC_WRITE : FILE_APPEND_DATA;
    win::FileHandle file(::CreateFileW(win::LongPath(path).c_str(), access,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    if (bytes.empty()) return true;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

}  // namespace velmora::sys
