// The few services the portable core needs from the operating system.
//
// The core (container, variables, evaluator, compiler, loop, dialog reader)
// never includes <windows.h>. Where it needs the system it calls these
// functions; the Windows build implements them over Win32 (win/core_system.cpp)
// and the host build over the C library (core/system_host.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::sys {

// Locale-aware case mapping of the whole text (every character, not only ASCII).
std::wstring UpperCase(std::wstring_view text);
std::wstring LowerCase(std::wstring_view text);

// Milliseconds since some fixed moment; wraps like the system tick count.
std::uint32_t TickCount();

// How AppendFileBytes treats the file.
enum class AppendMode {
    CreateOrTruncate,  // make the file anew (empty), then write
    ExistingOnly,      // write at the end of an existing file; fail if it is missing
};

// Writes bytes to the file at the path in one open-write-close sequence.
// Returns false on any failure; never throws.
bool AppendFileBytes(const std::wstring& path, std::string_view bytes, AppendMode mode);

}  // namespace velmora::sys
