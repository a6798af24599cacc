// The start-up sequence of the engine: the mode, the folders of the run, the
// container copied out of the engine's own file, the support archive, the
// dialogs, the hand-off to the script engine, clean-up and the exit code.
#include "startup/startup.hpp"

#include "commands/windows_handlers.hpp"
#include "container/container.hpp"
#include "container/image.hpp"
#include "core/text.hpp"
#include "engine/bootstrap.hpp"
#include "engine/run.hpp"
#include "l10n/builtin_messages.hpp"
#include "media/extract.hpp"
#include "startup/command_line.hpp"
#include "startup/preload.hpp"
#include "startup/run_platform.hpp"
#include "startup/run_report.hpp"
#include "startup/session.hpp"
#include "startup/startup_windows.hpp"
#include "startup/trace.hpp"
#include "sysinfo/sysinfo.hpp"
#include "win/file.hpp"
#include "win/message.hpp"
#include "win/registry.hpp"

#include <windows.h>

#include <exception>
#include <optional>
#include <stdexcept>

namespace velmora {
namespace {

constexpr std::uint32_t kExitUnexpected = 11;
constexpr std::uint32_t kExitNoContainer = 13;
constexpr std::uint32_t kExitNoSupportArchive = 14;
constexpr std::uint32_t kExitSupportArchiveFailed = 15;

// Ends the sequence at once with an exit code: steps after it do not run,
// so the support folder stays behind for inspection.
struct EndNow {
    std::uint32_t code;
    std::wstring message;
};

// The temporary folder in its long form, with a trailing backslash, created if missing.
std::wstring TemporaryFolder() {
    wchar_t buffer[MAX_PATH + 2];
    const DWORD n = ::GetTempPathW(MAX_PATH + 2, buffer);
    if (n == 0 || n > MAX_PATH + 1) throw std::runtime_error("GetTempPathW failed");
    std::wstring folder(buffer, n);
    ::CreateDirectoryW(win::LongPath(folder).c_str(), nullptr);  // already there is fine
    const DWORD need = ::GetLongPathNameW(folder.c_str(), nullptr, 0);
    if (need != 0) {
        std::wstring longForm(need, L'\0');
        const DWORD got = ::GetLongPathNameW(folder.c_str(), longForm.data(), need);
        if (got != 0 && got < need) folder = longForm.substr(0, got);
    }
    return win::WithBackslash(folder);
}


// Windows 7 and later group the engine's taskbar button as a host program's;
// Windows Vista's compatibility assistant is told the setup ran. Failures
// change nothing about the run.
void RegisterWithShell(const OsVersion& os, const std::wstring& enginePath) {
    if (os.major > 6 || (os.major == 6 && os.minor > 0)) {
        win::WriteStringValue(HKEY_CLASSES_ROOT, L"Applications\\" + win::FileNameOf(enginePath), L"IsHostApp", L"");
    } else if (os.major == 6 && os.minor == 0) {
        win::WriteDwordValue(HKEY_CURRENT_USER,
                             L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Compatibility "
                             L"Assistant\\Persisted",
                             enginePath, 32);
    }
}

// The archive library may carry the built-in message translations after its
// own image; they are handed to the message loader through "lang.loc".
void LoadBuiltinTranslations(const Session& s) {
    const auto library = win::ReadFileBytes(s.engineFolder + L"qox.lib");
    if (!library) return;
    const auto end = container::ImageEnd(*library);
    if (!end || *end >= library->size()) return;
    const std::wstring file = s.tempFolder + L"lang.loc";
    if (win::WriteFileBytes(file, std::string_view(*library).substr(static_cast<std::size_t>(*end)))) {
        l10n::LoadBuiltinMessages(file);
    }
    win::DeleteFileIfExists(file);
}

// The first "qox<n>" that names neither a file nor a folder in the temporary
// folder. Creating the folder is the test, so two runs starting at the same
// moment cannot both take the same n.
std::wstring CreateSupportFolder(const std::wstring& temp) {
    for (unsigned n = 1; n < 1000000; ++n) {
        const std::wstring path = temp + L"qox" + std::to_wstring(n);
        if (::GetFileAttributesW(win::LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        if (::CreateDirectoryW(win::LongPath(path).c_str(), nullptr)) return path + L"\\";
        if (::GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("the support folder cannot be created");
    }
    throw std::runtime_error("no free support folder name");
}

// Where the engine image ends, from its own headers as loaded in memory.
std::uint64_t StubSize() {
    const auto base = reinterpret_cast<const char*>(::GetModuleHandleW(nullptr));
    MEMORY_BASIC_INFORMATION region{};
    if (base == nullptr || ::VirtualQuery(base, &region, sizeof region) == 0) {
        throw std::runtime_error("the engine cannot read its own headers");
    }
    const auto size =
        static_cast<std::size_t>(region.RegionSize - (base - static_cast<const char*>(region.BaseAddress)));
    const auto end = container::ImageEnd(std::string_view(base, size));
    if (!end) throw std::runtime_error("the engine's own headers are not those of an image");
    return *end;
}

void FailWith(const std::wstring& message, std::uint32_t code) {
    win::ShowError(message, StartupOwnerWindow());
    throw EndNow{code, message};
}

// Copies the container out of the engine file to "qox.tmp" and reads it.
void ReadOwnContainer(Session& s, const std::wstring& enginePath) {
    Trace(L"    <StubSize>");
    const std::uint64_t stub = StubSize();
    auto file = win::ReadFileBytes(enginePath);
    if (!file) throw std::runtime_error("the engine cannot read its own file");
    if (file->size() == stub) FailWith(L"For internal use only", kExitNoContainer);
    if (file->size() < stub) throw std::runtime_error("the engine file is shorter than its own image");
    Trace(L"    </StubSize>");

    Trace(L"    <StubData>");
    // The copy goes into this run's own support folder: under one shared
    // name in the temporary folder, two setups started at the same moment
    // would overwrite (or be refused) each other's copy.
    const std::wstring copy = s.supportFolder + L"qox.tmp";
    if (!win::WriteFileBytes(copy, std::string_view(*file).substr(static_cast<std::size_t>(stub)))) {
        throw std::runtime_error("the container cannot be written to the temporary folder");
    }
    file.reset();
    Trace(L"    </StubData>");

    Trace(L"    <GlobalLists>");
    auto bytes = win::ReadFileBytes(copy);
    win::DeleteFileIfExists(copy);
    if (!bytes) throw std::runtime_error("the container copy cannot be read");
    s.container = std::make_unique<container::Container>(container::ReadContainer(*bytes));
    Trace(L"    </GlobalLists>");
}

void UnpackSupportArchive(const Session& s) {
    Trace(L"    <ExtractArchive>");
    if (!win::FileExists(s.supportArchivePath)) FailWith(L"Setup resource not found", kExitNoSupportArchive);
    media::ExtractRequest request;
    request.archive = s.supportArchivePath;
    request.destination = s.supportFolder;
    request.overwrite = true;
    request.keepPaths = true;
    const bool loaded = media::LoadArchiveLibrary(s.engineFolder);
    if (!loaded || !media::ExtractArchive(request).empty()) {
        FailWith(L"Setup resource decompression failure", kExitSupportArchiveFailed);
    }
    Trace(L"    </ExtractArchive>");
    LoadStartupLogo(s.supportFolder + L"velmora.png");
}

// The Windows Installer package and patch beside the engine go into the
// support folder; a missing one is not an error.
void CopyInstallerFiles(const Session& s) {
    Trace(L"    <ResourcePath>");
    for (const wchar_t* extension : {L".msi", L".msp"}) {
        const std::wstring name = s.engineBaseName + extension;
        if (win::FileExists(s.engineFolder + name) &&
            !win::CopyFileReplacing(s.engineFolder + name, s.supportFolder + name)) {
            throw std::runtime_error("the Windows Installer file " + text::ToUtf8(name) +
                                     " cannot be copied to the support folder");
        }
    }
    Trace(L"    </ResourcePath>");
}

void LoadDialogs(const Session& s) {
    Trace(L"    <Dialogs>");
    const int count = static_cast<int>(CountActiveDialogs(*s.container));
    int position = 1;
    SetStartupProgress(count, position);
    PreloadDialogs(*s.container, s.supportFolder, [&position, count] { SetStartupProgress(count, ++position); });
    Trace(L"    </Dialogs>");
}

// Three passes, each recreating the folder, as a file still held open by a
// program the script started may go away between them; then the folder.
void RemoveSupportFolder(const Session& s, bool mediaRemoved = false) {
    Trace(L"  <CachedSupportDir>");
    if (!s.supportFolder.empty() && win::FolderExists(s.supportFolder)) {
        for (int pass = 0; pass < 3; ++pass) {
            win::EmptyFolder(s.supportFolder);
            ::CreateDirectoryW(win::LongPath(s.supportFolder).c_str(), nullptr);
        }
        win::RemoveFolderTree(s.supportFolder);
    }
    Trace(L"  </CachedSupportDir>");
    if (mediaRemoved) {
        Trace(L"  <RemovableMediaPrematureEject>");
        Trace(L"  </RemovableMediaPrematureEject>");
    }
    Trace(L"</Velmora>");
}

}  // namespace

namespace {

// How the script run ended, for the run report.
void ReportOutcome(RunReport& report, const engine::RunOutcome& outcome) {
    switch (outcome.end) {
        case engine::RunEnd::Completed:
        case engine::RunEnd::MediaRemoved: report.end = outcome.terminated ? L"terminated" : L"completed"; break;
        case engine::RunEnd::CompileFailed: report.end = L"compileError"; break;
        case engine::RunEnd::SecondInstance: report.end = L"secondInstance"; break;
        case engine::RunEnd::Cancelled: report.end = L"cancelled"; break;
        case engine::RunEnd::RuntimeError: report.end = L"runtimeError"; break;
    }
    report.message = outcome.message;
    report.commandIndex = outcome.index;
    report.sourceFile = outcome.sourceFile;
    report.sourceLine = outcome.sourceLine;
}

// Ends the process at once with this code, after the report.
[[noreturn]] void TerminateNow(const RunReport& report, std::uint32_t code) {
    WriteRunReport(report, code);
    ::TerminateProcess(::GetCurrentProcess(), code);
    ::ExitProcess(code);
}

}  // namespace

std::uint32_t RunEngine() {
    Session& s = TheSession();
    RunReport report;
    try {
        const CommandLine cl = ParseCommandLine(::GetCommandLineW());
        if (cl.outOfProcessExtract) return media::RunOutOfProcessExtractor(cl.parameterFile);
        report.path = ReportPathOf(SplitArguments(::GetCommandLineW()));

        const std::wstring enginePath = win::ModulePath(nullptr);
        if (enginePath.empty()) throw std::runtime_error("the engine cannot find its own file");
        s.os = sysinfo::QueryOsVersion();
        RegisterWithShell(s.os, enginePath);

        s.supportFolder.clear();
        s.engineFolder = win::FolderOf(enginePath);
        const std::wstring fileName = win::FileNameOf(enginePath);
        const auto dot = fileName.rfind(L'.');
        s.engineBaseName = dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
        s.tempFolder = TemporaryFolder();
        s.supportArchivePath = s.engineFolder + s.engineBaseName + L".res";

        LoadBuiltinTranslations(s);

        s.commandLineText = cl.text;
        s.silent = cl.silent;
        s.gpoPath = cl.gpoPath;
        s.wrapperPath = cl.wrapperPath;
        s.mediaOverride = cl.mediaOverride;
        s.commandLineAssignments = cl.assignments;
        SetTracePath(cl.tracePath);

        Trace(L"<Velmora>");
        Trace(L"    <SupportDir>");
        s.supportFolder = CreateSupportFolder(s.tempFolder);
        Trace(L"    </SupportDir>");
        Trace(L"  <SetupSplash>");
        bool secondInstance = false;
        if (!cl.noStartupWindows) ShowStartupWindows(s.engineFolder + L"setup.bmp");

        try {
            ReadOwnContainer(s, enginePath);
            report.haveSetup = true;
            report.title = s.container->title;
            report.version = s.container->version;
            report.productCode = s.container->productCode;
            report.revisionCode = s.container->revisionCode;
            UnpackSupportArchive(s);
            CopyInstallerFiles(s);
            s.dataFolder = s.engineFolder + L"data\\";
            s.initialDataFolder = s.dataFolder;
            LoadDialogs(s);
            CloseStartupWindows();
            Trace(L"  </SetupSplash>");

            Trace(L"  <RunScript>");
            commands::InstallWindowsHandlers();
            WindowsRunPlatform platform(*s.container);
            const engine::RunOutcome outcome =
                engine::RunScript(*s.container, s.supportFolder + s.engineBaseName + L".msi", platform);
            ReportOutcome(report, outcome);
            // A script that does not compile never runs: the process ends
            // at once, shows nothing and leaves the support folder.
            if (outcome.end == engine::RunEnd::CompileFailed) TerminateNow(report, engine::kExitCompileFailed);
            secondInstance = outcome.end == engine::RunEnd::SecondInstance;
            engine::WriteEngineCache();
            Trace(L"  </RunScript>");
            if (outcome.end == engine::RunEnd::MediaRemoved) {
                // The medium the setup started from is gone: the process
                // finishes here, before anything could read from it again.
                Trace(L"  <Free>");
                s.container.reset();
                Trace(L"  </Free>");
                RemoveSupportFolder(s, true);
                TerminateNow(report, s.exitCode);
            }

            Trace(L"  <Free>");
            s.container.reset();
            Trace(L"  </Free>");
        } catch (const EndNow&) {
            throw;
        } catch (const std::exception& e) {
            CloseStartupWindows();
            const std::wstring message = L"Runtime error in install: " + text::FromUtf8(e.what());
            win::ShowError(message);
            s.exitCode = kExitUnexpected;
            report.end = L"startupFailure";
            report.message = message;
        }
        RemoveSupportFolder(s);
        if (secondInstance) TerminateNow(report, 0);
        WriteRunReport(report, s.exitCode);
        return s.exitCode;
    } catch (const EndNow& end) {
        CloseStartupWindows();
        report.message = end.message;
        WriteRunReport(report, end.code);
        return end.code;
    } catch (const std::exception& e) {
        report.message = text::FromUtf8(e.what());
        WriteRunReport(report, kExitUnexpected);
        return kExitUnexpected;
    }
}

}  // namespace velmora
