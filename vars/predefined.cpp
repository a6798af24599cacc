#include "vars/predefined.hpp"

#include "core/text.hpp"
#include "startup/session.hpp"
#include "startup/trace.hpp"
#include "sysinfo/sysinfo.hpp"
#include "vars/variables.hpp"
#include "win/file.hpp"
#include "win/handle.hpp"

#include <windows.h>

namespace velmora::vars {
namespace {

using DwmIsCompositionEnabledFn = HRESULT(WINAPI*)(BOOL*);
using IsThemeActiveFn = BOOL(WINAPI*)();

std::wstring ContainerText(const RunValues& run, std::wstring container::Container::*field) {
    return run.container != nullptr ? run.container->*field : std::wstring();
}

std::wstring EngineFile() {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 6; ++attempt) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);  // the name was cut: ask again with more room
    }
    return {};
}

// A function of a system library that the process may not have loaded yet;
// the library is held only for the call.
template <typename Function, typename Call>
bool CallSystemLibrary(const wchar_t* library, const char* name, Call call) {
    const std::wstring system = sysinfo::SystemFolder();
    if (system.empty()) return false;
    const win::Module module(::LoadLibraryW((system + library).c_str()));
    if (!module) return false;
    const auto function =
        reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module.get(), name)));
    return function != nullptr && call(function);
}

bool CompositionEnabled() {
    return CallSystemLibrary<DwmIsCompositionEnabledFn>(L"dwmapi.dll", "DwmIsCompositionEnabled", [](auto f) {
        BOOL enabled = FALSE;
        return SUCCEEDED(f(&enabled)) && enabled;
    });
}

// Without composition the dialog runtime still draws glass frames itself,
// on Vista and later, while a visual style is active.
bool VisualStylesActive() {
    const OsVersion os = sysinfo::QueryOsVersion();
    if (!sysinfo::IsNtFamily(os) || os.major < 6) return false;
    return CallSystemLibrary<IsThemeActiveFn>(L"uxtheme.dll", "IsThemeActive", [](auto f) { return f() != FALSE; });
}

std::wstring FolderOrEmpty(const std::wstring& path) { return path.empty() ? path : win::FolderOf(path); }
std::wstring FileNameOrEmpty(const std::wstring& path) { return path.empty() ? path : win::FileNameOf(path); }

std::wstring LocaleText(bool date) {
    wchar_t buffer[128] = {};
    const int n = date ? ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, 128)
                       : ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, buffer, 128);
    return n > 0 ? std::wstring(buffer) : std::wstring();
}


std::vector<PredefinedValue> PreInitializationValues(const RunValues& run) {
    return {
        {L"TARGETDIR", run.knownTargetFolder},
        {L"STARTMENU", ContainerText(run, &container::Container::title)},
        // IsAdmin is false on the older family.
        {L"ALLUSERS", BoolToText(sysinfo::IsAdmin())},
    };
}

std::vector<PredefinedValue> InitializationValues(const RunValues& run) {
    const Session& s = TheSession();
    const std::wstring exeFile = EngineFile();
    const std::wstring exeDir = FolderOrEmpty(exeFile);
    const std::wstring gpoPath = FolderOrEmpty(s.gpoPath);
    const std::wstring sfxPath = FolderOrEmpty(s.wrapperPath);
    // A reference, resolved by substitution wherever it is used.
    const std::wstring setupPath = !gpoPath.empty() ? L"$GPOPATH$" : !sfxPath.empty() ? L"$SFXPATH$" : L"$EXEDIR$";
    const bool glass = CompositionEnabled() || VisualStylesActive();
    return {
        {L"VORP_TIMEOUT", L"10"},
        {L"VORP_COMPRESS_INSTALLER_CACHE", L"FALSE"},
        {L"VORP_DISABLE_ROLLBACK", L"FALSE"},
        {L"VORP_DISABLE_VISTA_RESTART_MANAGER", L"FALSE"},
        {L"CHARSET_OVERRIDE", L""},
        {L"NATIVE_ENGINE", L"FALSE", true},
        {L"NATIVE_LOGGING", L""},
        {L"NATIVE_ROLLBACK", L"TRUE"},
        {L"NATIVE_HARDLINK", L"TRUE"},
        {L"NATIVE_ERROR", L"PROMPT"},
        {L"NATIVE_OVERWRITE", L"PROMPT"},
        {L"NATIVE_OVERWRITE_OLDER", L"FALSE"},
        {L"NATIVE_PROGRESS", L"0"},
        {L"DELAYUNTIL_APPLYCHANGES", L"FALSE"},
        {L"NATIVE_OVERRIDE_PERMISSIONS", L"FALSE"},
        {L"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", L"FALSE"},
        {L"IISHOST", L"localhost"},
        {L"OVERRIDECACHE", L"", true},
        {L"VORPLOGO", L""},
        {L"SELECTED", L"0"},
        {L"WINDOWHANDLE", L"0"},
        {L"EXEFILE", exeFile},
        {L"EXEDIR", exeDir},
        {L"PROGRESSTEXT", L""},
        {L"PROGRESSMODE", L""},
        {L"CUSTOM_TASKBAR_PROGRESS_ENABLED", L"FALSE"},
        {L"CUSTOM_TASKBAR_PROGRESS_PERCENT", L"0"},
        {L"CUSTOM_TASKBAR_PROGRESS_MAX", L"100"},
        {L"ABORT", L"FALSE"},
        {L"PROGRESS", L"0"},
        {L"LASTERROR", L""},
        {L"LICENSE", L"FALSE"},
        {L"USERNAME", sysinfo::RegisteredOwner()},
        {L"USERCOMPANY", sysinfo::RegisteredOrganization()},
        {L"COPYWEBLOCK", L""},
        {L"REBOOTCOMPUTER", L"FALSE"},
        {L"RUNAPP", L"TRUE"},
        {L"WIZARD", L"NEXT"},
        {L"FX", L"SLIDE"},
        {L"FXGROUND", L"BACKGROUND"},
        {L"FXTIME", L"1000"},
        {L"VERSION", ContainerText(run, &container::Container::version)},
        {L"SILENT", BoolToText(s.silent)},
        // Before the first command the trace path is still the command line's.
        {L"LOGGED", TracePath()},
        {L"CMDLINE", s.commandLineText},
        {L"REBOOTNOW", L"OK"},
        {L"SFXPATH", sfxPath},
        {L"SFXFILE", FileNameOrEmpty(s.wrapperPath)},
        {L"GPOPATH", gpoPath},
        {L"SETUPPATH", setupPath},
        {L"COMPLETE", L"TRUE"},
        {L"NEWLINE", L"\r\n"},
        {L"MINIMUM", L"FALSE"},
        {L"PERSONALIZED", L"FALSE"},
        {L"MODIFY", L"TRUE"},
        {L"GLASS", BoolToText(glass)},
        {L"REPAIR", L"FALSE"},
        {L"REMOVE", L"FALSE"},
        {L"ROOTDIR", exeDir},
        {L"TITLE", ContainerText(run, &container::Container::title)},
        {L"COMPANY", ContainerText(run, &container::Container::publisher)},
        {L"ADVERTISE", L"FALSE"},
        {L"DATE", CurrentDateText()},
        {L"TIME", CurrentTimeText()},
        {L"TEMPDIR", s.tempFolder},
        {L"ABORTONERROR", L"TRUE"},
        {L"ABORTEDONERROR", L"FALSE"},
        {L"SAVEDATA", L"FALSE"},
        {L"SUPPORTDIR", s.supportFolder},
        {L"MSIFILE", run.msiFile},
        {L"LANGUAGE", L""},
    };
}


}  // namespace

std::wstring_view PhaseOrigin(Phase phase) {
    switch (phase) {
    case Phase::PreInitialization: return L"Pre-Initialization";
    case Phase::Initialization: return L"Initialization";
    }
    return L"";
}

std::vector<PredefinedValue> PredefinedValues(Phase phase, const RunValues& run) {
    switch (phase) {
    case Phase::PreInitialization: return PreInitializationValues(run);
    case Phase::Initialization: return InitializationValues(run);
    }
    return {};
}

void SetPredefinedVariables(Phase phase, const RunValues& run) {
    const std::wstring_view origin = PhaseOrigin(phase);
    for (const PredefinedValue& v : PredefinedValues(phase, run)) {
        if (v.onlyWhenUndefined && VariableExists(v.name)) continue;
        SetVariable(v.name, v.value, origin);
    }
}

std::wstring CurrentDateText() { return LocaleText(true); }
std::wstring CurrentTimeText() { return LocaleText(false); }

}  // namespace velmora::vars
