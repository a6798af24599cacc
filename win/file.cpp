#include "win/file.hpp"

#include "win/handle.hpp"

#include <windows.h>

#include <limits>
#include <vector>

namespace velmora::win {

std::wstring FullPath(const std::wstring& path) {
    const DWORD need = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (need == 0) return path;
    std::wstring full(need, L'\0');
    const DWORD got = ::GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return path;
    full.resize(got);
    return full;
}

std::wstring ExtendedPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    // The prefix switches off the system's own normalisation, so the name is
    // made full (backslashes, no "." or "..") first.
    const std::wstring full = FullPath(path);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring LongPath(const std::wstring& path) {
    // Short names need nothing.
    return path.size() < MAX_PATH - 12 ? path : ExtendedPath(path);
}

bool FileExists(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(LongPath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FolderExists(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(LongPath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    FileHandle file(::CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > std::numeric_limits<std::size_t>::max() / 2) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD read = 0;
        if (!::ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr)) return std::nullopt;
        if (read == 0) break;  // the file shrank while we read it
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, std::string_view bytes) {
    FileHandle file(::CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

bool DeleteFileIfExists(const std::wstring& path) {
    if (::DeleteFileW(LongPath(path).c_str())) return true;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
    if (!::CopyFileW(LongPath(from).c_str(), LongPath(to).c_str(), FALSE)) return false;
    return ::SetFileAttributesW(LongPath(to).c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

namespace {

// A folder in the "\\?\" form without its trailing backslash: names found
// inside it may make a full path longer than the classic limit even when the
// folder's own name is short.
std::wstring PrefixedFolder(std::wstring folder) {
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return ExtendedPath(folder);
}

bool DeleteOne(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    // A link to a folder is removed as a link: its target is never entered.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ::RemoveDirectoryW(path.c_str()) != 0;
    return ::DeleteFileW(path.c_str()) != 0;
}

}  // namespace

bool EmptyFolder(const std::wstring& folder) {
    // Depth first with an explicit stack, so a deep tree cannot exhaust the
    // thread's stack. Each entry is visited twice: once to list it, once
    // (after its contents) to remove it.
    struct Pending {
        std::wstring path;
        bool listed;
    };
    const std::wstring root = PrefixedFolder(folder);
    std::vector<Pending> stack{{root, false}};
    bool ok = true;
    while (!stack.empty()) {
        Pending top = stack.back();
        stack.pop_back();
        if (top.listed) {
            if (top.path != root) ok = DeleteOne(top.path, FILE_ATTRIBUTE_DIRECTORY) && ok;
            continue;
        }
        stack.push_back({top.path, true});
        WIN32_FIND_DATAW found{};
        FindHandle find(::FindFirstFileExW((top.path + L"\\*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0));
        if (!find) {
            ok = ok && ::GetLastError() == ERROR_FILE_NOT_FOUND;
            continue;
        }
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = top.path + L"\\" + name;
            const bool folderEntry = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                                     (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
            if (folderEntry) {
                if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
                    ::SetFileAttributesW(path.c_str(), found.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
                }
                stack.push_back({path, false});
            } else {
                ok = DeleteOne(path, found.dwFileAttributes) && ok;
            }
        } while (::FindNextFileW(find.get(), &found));
    }
    return ok;
}

bool RemoveFolderTree(const std::wstring& folder) {
    EmptyFolder(folder);
    const std::wstring path = PrefixedFolder(folder);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::RemoveDirectoryW(path.c_str()) || !FolderExists(folder);
}

std::wstring FolderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring FileNameOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring WithBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path.push_back(L'\\');
    return path;
}

std::wstring ModulePath(void* module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(static_cast<HMODULE>(module), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // the name was cut short: try a larger buffer
    }
}

}  // namespace velmora::win
