// Folder queries and the versions of the browser and the web server.
#include "sysinfo/sysinfo.hpp"

#include "win/com.hpp"
#include "win/file.hpp"
#include "win/handle.hpp"
#include "win/module.hpp"
#include "win/registry.hpp"
#include "win/version_info.hpp"

#include <shlobj.h>

#include <vector>

namespace velmora::sysinfo {
namespace {

using GetSystemWow64DirectoryFn = UINT(WINAPI*)(LPWSTR, UINT);
using SHGetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

constexpr wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// A folder text from a "fill this buffer" system function that returns the
// length it wrote, or the size it needs when the buffer is too small.
template <typename Query>
std::wstring FolderFrom(Query query) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const UINT length = query(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return win::WithBackslash(std::wstring(buffer.data(), length));
        buffer.resize(length + 1);
    }
    return {};
}

std::wstring FromShell(int csidl) {
    win::CoTaskMemory<ITEMIDLIST> list;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl, list.put())) || list.get() == nullptr) return {};
    wchar_t path[MAX_PATH + 1] = {};
    if (!::SHGetPathFromIDListW(list.get(), path) || path[0] == L'\0') return {};
    return path;
}

// The shell folder library answers for systems whose shell predates a folder.
std::wstring FromShellFolderLibrary(int csidl) {
    const std::wstring system = SystemFolder();
    if (system.empty()) return {};
    const win::Module library(::LoadLibraryW((system + L"shfolder.dll").c_str()));
    if (!library) return {};
    const auto query = reinterpret_cast<SHGetFolderPathFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library.get(), "SHGetFolderPathW")));
    if (query == nullptr) return {};
    wchar_t path[MAX_PATH + 1] = {};
    if (FAILED(query(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) || path[0] == L'\0') return {};
    return path;
}

}  // namespace

std::wstring SpecialFolder(int csidl, REGSAM view) {
    // In 64-bit mode the registry view names the 64-bit program folders,
    // which the shell of a 32-bit process never reports.
    const wchar_t* value = csidl == CSIDL_PROGRAM_FILES          ? L"ProgramFilesDir"
                           : csidl == CSIDL_PROGRAM_FILES_COMMON ? L"CommonFilesDir"
                                                                 : nullptr;
    if (value != nullptr) {
        const auto folder = win::ReadStringValue(HKEY_LOCAL_MACHINE, kCurrentVersionKey, value, view);
        if (folder && !folder->empty()) return win::WithBackslash(*folder);
    }
    std::wstring folder = FromShell(csidl);
    if (folder.empty()) folder = FromShellFolderLibrary(csidl);
    return folder.empty() ? folder : win::WithBackslash(folder);
}

std::wstring DefaultProgramFolder(REGSAM view) {
    if (IsNtFamily(QueryOsVersion()) && !IsAdmin()) {
        std::wstring documents = SpecialFolder(CSIDL_PERSONAL, view);
        if (documents.empty()) return {};
        documents.pop_back();  // its backslash: the parent is wanted
        return win::FolderOf(documents);
    }
    return SpecialFolder(CSIDL_PROGRAM_FILES, view);
}

std::wstring SystemFolder() {
    return FolderFrom([](wchar_t* b, UINT n) { return ::GetSystemDirectoryW(b, n); });
}

std::wstring WindowsFolder() {
    return FolderFrom([](wchar_t* b, UINT n) { return ::GetWindowsDirectoryW(b, n); });
}

std::wstring Wow64SystemFolder() {
    if (!IsWindows64()) return {};
    const auto query = win::SystemFunction<GetSystemWow64DirectoryFn>(L"kernel32.dll", "GetSystemWow64DirectoryW");
    if (query == nullptr) return {};
    wchar_t buffer[MAX_PATH + 1] = {};
    const UINT length = query(buffer, static_cast<UINT>(std::size(buffer)));
    if (length == 0 || length > MAX_PATH) return {};
    return win::WithBackslash(std::wstring(buffer, length));
}

DottedVersion BrowserDllVersion() {
    const std::wstring system = SystemFolder();
    if (system.empty()) return {};
    const auto parts = win::VersionResource(system + L"shdocvw.dll").FileVersion();
    if (!parts) return {};
    return {(*parts)[0], (*parts)[1], (*parts)[2], (*parts)[3]};
}

DottedVersion BrowserRegistryVersion() {
    const auto text = win::ReadStringValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Internet Explorer", L"Version");
    return text ? SplitDottedVersion(*text) : DottedVersion{};
}

std::optional<int> WebServerVersion() {
    constexpr wchar_t kKey[] = L"SOFTWARE\\Microsoft\\InetStp";
    if (!win::KeyExists(HKEY_LOCAL_MACHINE, kKey)) return std::nullopt;
    const auto major = win::ReadDwordValue(HKEY_LOCAL_MACHINE, kKey, L"MajorVersion").value_or(0);
    const auto minor = win::ReadDwordValue(HKEY_LOCAL_MACHINE, kKey, L"MinorVersion").value_or(0);
    return static_cast<int>(major * 10 + minor);
}

}  // namespace velmora::sysinfo
