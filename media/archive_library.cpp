#include "media/archive_library.hpp"

#include "core/text.hpp"
#include "win/file.hpp"
#include "win/handle.hpp"

#include <windows.h>
#include <shlobj.h>

#include <mutex>

namespace velmora::media {
namespace {

std::mutex g_lock;
win::Module g_module;  // kept until the process ends
ArchiveLibrary g_library;
bool g_loaded = false;

template <typename Fn>
bool Bind(HMODULE module, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return fn != nullptr;
}

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

}  // namespace

std::wstring SevenZipFolder() {
    std::wstring base = ShellFolder(CSIDL_LOCAL_APPDATA);
    if (base.empty()) base = ShellFolder(CSIDL_APPDATA);
    if (base.empty()) return {};
    return win::WithBackslash(base) + L"REZUZ\\";
}

bool LoadArchiveLibrary(const std::wstring& folder) {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_loaded) return true;
    win::Module module(::LoadLibraryW((win::WithBackslash(folder) + L"qox.lib").c_str()));
    if (!module) return false;
    ArchiveLibrary lib;
    const HMODULE m = module.get();
    if (!Bind(m, "Set7zipDllDirectory", lib.Set7zipDllDirectory) || !Bind(m, "TestArchive", lib.TestArchive) ||
        !Bind(m, "OpenListArchive", lib.OpenListArchive) || !Bind(m, "CloseListArchive", lib.CloseListArchive) ||
        !Bind(m, "ExtractArchive", lib.ExtractArchive) || !Bind(m, "CreateArchive", lib.CreateArchive) ||
        !Bind(m, "DeleteFromArchive", lib.DeleteFromArchive) ||
        !Bind(m, "GetLastArchiveError", lib.GetLastArchiveError)) {
        return false;
    }
    const std::wstring sevenZip = SevenZipFolder();
    if (sevenZip.empty()) return false;
    if (!::CreateDirectoryW(sevenZip.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return false;
    // An old 7z.dll goes first, so the library writes its own. Another engine
    // process may still have it loaded; then it stays, and the library uses
    // it only when it is the same file.
    win::DeleteFileIfExists(sevenZip + L"7z.dll");
    if (!lib.Set7zipDllDirectory(sevenZip.c_str())) return false;
    g_module = std::move(module);
    g_library = lib;
    g_loaded = true;
    return true;
}

const ArchiveLibrary* TheArchiveLibrary() {
    std::lock_guard<std::mutex> lock(g_lock);
    return g_loaded ? &g_library : nullptr;
}

std::wstring LastArchiveErrorText() {
    const ArchiveLibrary* lib = TheArchiveLibrary();
    return L"#" + text::ToDecimal(lib != nullptr ? lib->GetLastArchiveError() : qox::kNoSevenZip);
}

}  // namespace velmora::media
