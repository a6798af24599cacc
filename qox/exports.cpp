// The exports of qox.lib, stdcall and undecorated. Each runs its work inside
// one boundary that turns every failure into the call's error code, so no
// exception ever leaves the library.
#include "qox/library.hpp"

#include <new>

namespace velmora::qox {
namespace {

// The code of the calling thread's last call; the engine reads it right after.
thread_local DWORD t_lastError = kOk;

template <typename Work>
BOOL Guarded(Work&& work) {
    t_lastError = kOk;
    try {
        work();
        return TRUE;
    } catch (const Failure& f) {
        t_lastError = f.code;
    } catch (const std::bad_alloc&) {
        t_lastError = kOutOfMemory;
    } catch (...) {
        t_lastError = kUnexpected;
    }
    return FALSE;
}

std::wstring Text(const wchar_t* s) {
    if (s == nullptr || *s == L'\0') throw Failure{kInvalidArgument};
    return s;
}

}  // namespace
}  // namespace velmora::qox

using namespace velmora::qox;

extern "C" {

__declspec(dllexport) BOOL WINAPI Set7zipDllDirectory(const wchar_t* folder) {
    return Guarded([&] {
        if (const DWORD code = LoadSevenZip(Text(folder)); code != kOk) throw Failure{code};
    });
}

// The four zero arguments are reserved.
__declspec(dllexport) BOOL WINAPI TestArchive(const wchar_t* archive, DWORD, DWORD, DWORD, DWORD,
                                              const wchar_t* password, PasswordCallback passwordCallback,
                                              ProgressCallback progress) {
    return Guarded([&] {
        Operation op(password, passwordCallback, progress, nullptr);
        Test(op, Text(archive));
    });
}

// The four zero arguments are reserved.
__declspec(dllexport) void* WINAPI OpenListArchive(const wchar_t* archive, DWORD, PasswordCallback passwordCallback,
                                                   DWORD, DWORD, DWORD, const wchar_t* password,
                                                   const ListItem** items, DWORD* count) {
    ItemList* list = nullptr;
    Guarded([&] {
        if (items == nullptr || count == nullptr) throw Failure{kInvalidArgument};
        *items = nullptr;
        *count = 0;
        Operation op(password, passwordCallback, nullptr, nullptr);
        list = OpenList(op, Text(archive));
        *items = list->entries.empty() ? nullptr : list->entries.data();
        *count = static_cast<DWORD>(list->entries.size());
    });
    return list;
}

__declspec(dllexport) BOOL WINAPI CloseListArchive(void* handle) {
    return Guarded([&] {
        if (handle == nullptr) throw Failure{kInvalidArgument};
        delete static_cast<ItemList*>(handle);
    });
}

__declspec(dllexport) BOOL WINAPI ExtractArchive(const wchar_t* archive, DWORD mode, const wchar_t* destination,
                                                 const TargetFiles* targets, DWORD pathFlag,
                                                 const wchar_t* password, PasswordCallback passwordCallback,
                                                 ProgressCallback progress, TickCallback tick,
                                                 OverwriteCallback overwrite) {
    return Guarded([&] {
        Operation op(password, passwordCallback, progress, tick);
        Extract(op, Text(archive), mode, Text(destination), targets, pathFlag, overwrite);
    });
}

// The last argument is reserved.
__declspec(dllexport) BOOL WINAPI CreateArchive(const wchar_t* archive, DWORD modeCode, const TargetFiles* includes,
                                                const TargetFiles* excludes, DWORD pathMode,
                                                const wchar_t* switches, const wchar_t* password,
                                                ProgressCallback progress, TickCallback tick, DWORD) {
    return Guarded([&] {
        Operation op(password, nullptr, progress, tick);
        Create(op, Text(archive), modeCode, includes, excludes, pathMode, switches);
    });
}

// The three zero arguments after the list are reserved.
__declspec(dllexport) BOOL WINAPI DeleteFromArchive(const wchar_t* archive, DWORD mode, const TargetFiles* targets,
                                                    DWORD, DWORD, DWORD, const wchar_t* password,
                                                    PasswordCallback passwordCallback, ProgressCallback progress,
                                                    TickCallback tick) {
    return Guarded([&] {
        Operation op(password, passwordCallback, progress, tick);
        Delete(op, Text(archive), mode, targets);
    });
}

__declspec(dllexport) DWORD WINAPI GetLastArchiveError() { return t_lastError; }

}  // extern "C"
