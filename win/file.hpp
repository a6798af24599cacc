// File helpers every module uses: long-path names and whole-file reads and
// writes. Paths longer than the classic limit reach the system through the
// "\\?\" form, built here and nowhere else.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velmora::win {

// The path in the form the wide file functions accept at any length: full,
// with backslashes, and with the "\\?\" (or "\\?\UNC\") prefix when it is long.
std::wstring LongPath(const std::wstring& path);

bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

// The whole file, or nullopt when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::wstring& path);

// Replaces the file with these bytes. False on any failure.
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);

// Deletes a file; false when it could not be deleted (a missing file counts as deleted).
bool DeleteFileIfExists(const std::wstring& path);

// The folder of a path, with its trailing backslash ("C:\a\b.exe" -> "C:\a\").
std::wstring FolderOf(const std::wstring& path);
// The file name of a path ("C:\a\b.exe" -> "b.exe").
std::wstring FileNameOf(const std::wstring& path);
// The path with a trailing backslash added if it has none.
std::wstring WithBackslash(std::wstring path);

}  // namespace velmora::win
