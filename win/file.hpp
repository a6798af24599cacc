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
// The path made full: absolute, backslashes, "." and ".." resolved; the
// path as given when the system cannot do it.
std::wstring FullPath(const std::wstring& path);
// The long form with the prefix whatever the length.
std::wstring ExtendedPath(const std::wstring& path);

bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);

// The whole file, or nullopt when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(const std::wstring& path);

// Replaces the file with these bytes. False on any failure.
bool WriteFileBytes(const std::wstring& path, std::string_view bytes);

// Deletes a file; false when it could not be deleted (a missing file counts as deleted).
bool DeleteFileIfExists(const std::wstring& path);

// Copies a file over any existing one and gives the copy normal attributes.
bool CopyFileReplacing(const std::wstring& from, const std::wstring& to);

// Deletes everything inside a folder (read-only files included), at any depth
// and with names of any length; the folder itself stays. False when anything
// could not be deleted.
bool EmptyFolder(const std::wstring& folder);

// Empties the folder, then removes it. True when it is gone.
bool RemoveFolderTree(const std::wstring& folder);

// The folder of a path, with its trailing backslash ("C:\a\b.exe" -> "C:\a\").
std::wstring FolderOf(const std::wstring& path);
// The file name of a path ("C:\a\b.exe" -> "b.exe").
std::wstring FileNameOf(const std::wstring& path);
// The path with a trailing backslash added if it has none.
std::wstring WithBackslash(std::wstring path);

// The full path of a loaded module's file (null: the program's own); empty on failure.
std::wstring ModulePath(void* module);

}  // namespace velmora::win
