// The variable commands that touch the file system: Convert Path and Get
// Temporary File.
#include "commands/command.hpp"
#include "commands/windows_handlers.hpp"

#include "core/text.hpp"
#include "startup/session.hpp"
#include "vars/expand.hpp"
#include "vars/variables.hpp"
#include "win/file.hpp"
#include "win/handle.hpp"
#include "win/redirection.hpp"

#include <windows.h>

namespace velmora::commands {
namespace {

constexpr DWORD kEnvironmentBuffer = 266240;

bool HasDrivePart(const std::wstring& path) {
    return (path.size() >= 2 && path[1] == L':') || path.rfind(L"\\\\", 0) == 0;
}


std::wstring ShortForm(const std::wstring& path) {
    for (const std::wstring& attempt : {path, win::ExtendedPath(path)}) {
        const DWORD need = ::GetShortPathNameW(attempt.c_str(), nullptr, 0);
        if (need == 0) continue;
        std::wstring out(need, L'\0');
        const DWORD got = ::GetShortPathNameW(attempt.c_str(), out.data(), need);
        if (got == 0 || got >= need) continue;
        out.resize(got);
        if (out.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + out.substr(8);
        if (out.rfind(L"\\\\?\\", 0) == 0) return out.substr(4);
        return out;
    }
    return path;
}

// Each component replaced by its name as the disk stores it, found from the root.
std::wstring LongForm(const std::wstring& path) {
    std::wstring clean;
    for (wchar_t ch : path) {
        if (ch != L'"') clean.push_back(ch);
    }
    std::size_t start = 0;
    if (clean.rfind(L"\\\\", 0) == 0) {
        // A network path: server and share stay as written.
        const auto server = clean.find(L'\\', 2);
        const auto share = server == std::wstring::npos ? std::wstring::npos : clean.find(L'\\', server + 1);
        start = share == std::wstring::npos ? clean.size() : share + 1;
    } else if (clean.size() >= 3 && clean[1] == L':' && clean[2] == L'\\') {
        start = 3;
    }
    std::wstring out = clean.substr(0, start);
    while (start < clean.size()) {
        auto end = clean.find(L'\\', start);
        if (end == std::wstring::npos) end = clean.size();
        const std::wstring component = clean.substr(start, end - start);
        WIN32_FIND_DATAW found{};
        win::FindHandle find(::FindFirstFileW(win::LongPath(out + component).c_str(), &found));
        out += find ? std::wstring(found.cFileName) : component;
        if (end < clean.size()) out += L'\\';
        start = end + 1;
    }
    return out;
}

void ConvertPath(CommandContext& c) {
    win::FileSystemBracket bracket;
    const std::wstring& name = c.Parameter(1);
    std::wstring path = ExpandPath(GetVariable(name));
    {
        std::wstring expanded(kEnvironmentBuffer, L'\0');
        const DWORD n = ::ExpandEnvironmentStringsW(path.c_str(), expanded.data(), kEnvironmentBuffer);
        if (n > 1 && n <= kEnvironmentBuffer) path = expanded.substr(0, n - 1);
    }
    if (!HasDrivePart(path)) path = win::WithBackslash(ExpandPath(GetVariable(L"SETUPPATH"))) + path;
    path = win::FullPath(path);
    std::wstring result;
    if (::GetFileAttributesW(win::LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
        result = c.Parameter(2) == L"TRUE" ? ShortForm(path) : LongForm(path);
    }
    c.Assign(name, result);
}

void GetTemporaryFile(CommandContext& c) {
    win::FileSystemBracket bracket;
    const std::wstring name = VariableNameOf(c.Parameter(1));
    wchar_t file[MAX_PATH + 1] = {};
    // The system makes the empty file; without one the variable holds the empty text.
    const std::wstring folder = TheSession().tempFolder;
    std::wstring result;
    if (!folder.empty() && ::GetTempFileNameW(folder.c_str(), L"qox", 0, file) != 0) result = file;
    SetVariable(text::Upper(name), result, c.Origin());
}

}  // namespace

void InstallWindowsHandlers() {
    SetHandler(L"Convert Path", ConvertPath);
    SetHandler(L"Get Temporary File", GetTemporaryFile);
}

}  // namespace velmora::commands
