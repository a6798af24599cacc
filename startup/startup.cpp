// The start-up sequence of the engine: command line, folders, the container
// copied out of the engine's own file and read, and the exit code.
#include "startup/startup.hpp"

#include "container/container.hpp"
#include "container/image.hpp"
#include "core/text.hpp"
#include "startup/command_line.hpp"
#include "startup/session.hpp"
#include "startup/trace.hpp"
#include "win/file.hpp"
#include "win/message.hpp"

#include <windows.h>

#include <exception>
#include <optional>
#include <stdexcept>

namespace velmora {
namespace {

constexpr std::uint32_t kExitUnexpected = 11;
constexpr std::uint32_t kExitNoContainer = 13;

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) throw std::runtime_error("GetModuleFileNameW failed");
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // the name was cut short: try a larger buffer
    }
}

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

void RecordWindowsVersion(OsVersion& os) {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    // The engine's manifest declares every Windows version, so the answer is true.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return;
#pragma GCC diagnostic pop
    os.major = info.dwMajorVersion;
    os.minor = info.dwMinorVersion;
    os.build = info.dwBuildNumber;
    os.platformId = info.dwPlatformId;
    os.servicePack = info.szCSDVersion;
    os.servicePackMajor = info.wServicePackMajor;
    os.servicePackMinor = info.wServicePackMinor;
    os.suiteMask = info.wSuiteMask;
    os.productType = info.wProductType;
}

// Where the engine image ends, from its own headers as loaded in memory.
std::uint64_t StubSize() {
    const auto base = reinterpret_cast<const char*>(::GetModuleHandleW(nullptr));
    MEMORY_BASIC_INFORMATION region{};
    if (base == nullptr || ::VirtualQuery(base, &region, sizeof region) == 0) {
        throw std::runtime_error("the engine cannot read its own headers");
    }
    const auto size = static_cast<std::size_t>(region.RegionSize - (base - static_cast<const char*>(region.BaseAddress)));
    const auto end = container::ImageEnd(std::string_view(base, size));
    if (!end) throw std::runtime_error("the engine's own headers are not those of an image");
    return *end;
}

void TraceContainerSummary(const container::Container& c) {
    // Until the script engine runs the commands, the run reports what it read.
    Trace(L"    <Container commands=\"" + text::ToDecimal(static_cast<std::int64_t>(c.CommandCount())) +
          L"\" title=\"" + c.title + L"\" version=\"" + c.version + L"\" product=\"" + c.productCode + L"\">");
    for (std::size_t i = 0; i < c.CommandCount(); ++i) {
        Trace(L"      <Command index=\"" + text::ToDecimal(static_cast<std::int64_t>(i)) + L"\" name=\"" +
              c.commandNames[i] + L"\"" + (c.IsCommentedOut(i) ? L" disabled=\"TRUE\"" : L"") + L"/>");
    }
    Trace(L"    </Container>");
}

// Copies the container out of the engine file to "qox.tmp" and reads it.
// Returns false when the engine carries no container.
bool ReadOwnContainer(Session& s, const std::wstring& enginePath) {
    Trace(L"    <StubSize>");
    const std::uint64_t stub = StubSize();
    auto file = win::ReadFileBytes(enginePath);
    if (!file) throw std::runtime_error("the engine cannot read its own file");
    if (file->size() == stub) return false;
    if (file->size() < stub) throw std::runtime_error("the engine file is shorter than its own image");
    Trace(L"    </StubSize>");

    Trace(L"    <StubData>");
    const std::wstring copy = s.tempFolder + L"qox.tmp";
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
    return true;
}

}  // namespace

std::uint32_t RunEngine() {
    Session& s = TheSession();
    try {
        const std::wstring enginePath = ModulePath(nullptr);
        RecordWindowsVersion(s.os);
        s.supportFolder.clear();
        s.engineFolder = win::FolderOf(enginePath);
        const std::wstring fileName = win::FileNameOf(enginePath);
        const auto dot = fileName.rfind(L'.');
        s.engineBaseName = dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
        s.tempFolder = TemporaryFolder();
        s.supportArchivePath = s.engineFolder + s.engineBaseName + L".res";

        const CommandLine cl = ParseCommandLine(::GetCommandLineW());
        s.commandLineText = cl.text;
        s.silent = cl.silent;
        s.gpoPath = cl.gpoPath;
        s.wrapperPath = cl.wrapperPath;
        s.mediaOverride = cl.mediaOverride;
        s.commandLineAssignments = cl.assignments;
        SetTracePath(cl.tracePath);

        Trace(L"<Velmora>");
        Trace(L"  <SetupSplash>");
        try {
            if (!ReadOwnContainer(s, enginePath)) {
                win::ShowError(L"For internal use only");
                return kExitNoContainer;
            }
            Trace(L"  </SetupSplash>");
            Trace(L"  <RunScript>");
            TraceContainerSummary(*s.container);
            Trace(L"  </RunScript>");
            Trace(L"  <Free>");
            s.container.reset();
            Trace(L"  </Free>");
        } catch (const std::exception& e) {
            // A broken container or an unreadable file: reported, and the run ends.
            win::ShowError(L"Runtime error in install: " + text::FromUtf8(e.what()));
            s.exitCode = kExitUnexpected;
        }
        Trace(L"</Velmora>");
        return s.exitCode;
    } catch (const std::exception&) {
        return kExitUnexpected;
    }
}

}  // namespace velmora
