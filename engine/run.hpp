// The script run: preparation (compilation, predefined variables, bootstrap,
// labels, single instance, command-line assignments), then the
// fetch-and-dispatch loop over the command list with the control-flow
// commands, and the end of the run.
#pragma once

#include "container/container.hpp"

#include <cstdint>
#include <string>

namespace velmora::engine {

// What the run asks of the system and of the parts that arrive later. The
// defaults do nothing, so the portable core runs scripts on its own (tests);
// the engine supplies the Windows implementation.
class RunPlatform {
public:
    virtual ~RunPlatform() = default;

    // Preparation.
    virtual void ClearRunLists() {}
    virtual void PreInitialization() {}   // TARGETDIR, STARTMENU, ALLUSERS
    virtual void Bootstrap() {}           // product identity and maintenance state
    virtual void Initialization() {}      // engine settings and session values
    // Patch-run recognition, resume entries, command headers; false when the
    // user cancelled the language choice (the run then ends).
    virtual bool AfterInitialization() { return true; }

    // Before every command.
    virtual void PumpMessages() {}
    virtual void RefreshSessionValues() {}  // UNINSTALLLINK, ENGINECACHE
    virtual void ApplyCacheOverride() {}
    virtual void ReloadTranslations(const std::wstring& /*language*/) {}
    virtual void PushProgress() {}
    virtual std::wstring ShortDate() { return {}; }
    virtual std::wstring ShortTime() { return {}; }

    // The single-instance marker in the temporary folder.
    virtual bool MarkerExists(const std::wstring& /*path*/) { return false; }
    virtual void CreateMarker(const std::wstring& /*path*/) {}
    virtual void DeleteMarker(const std::wstring& /*path*/) {}

    // A plug-in command: found under its folder line and run on a worker.
    virtual void RunPlugin(std::size_t /*command*/) {}

    // The runtime error box (not called on a silent run).
    virtual void ShowRuntimeError(const std::wstring& /*text*/) {}

    // End of the run: close a text file left open, release the dialogs,
    // hide the tray icon.
    virtual void CleanUp() {}
    // The medium the setup was started from was removed.
    virtual bool MediaRemoved() { return false; }
};

enum class RunEnd {
    Completed,       // out of commands, Terminate Install or Terminate with Exit Code
    CompileFailed,   // the process ends at once with exit code 314
    SecondInstance,  // another instance of this build runs: the process ends with 0
    Cancelled,       // the language choice was cancelled
    RuntimeError,    // a command raised an error; the exit code is kept
    MediaRemoved,    // the run ended on a removed medium
};

struct RunOutcome {
    RunEnd end = RunEnd::Completed;
    bool terminated = false;       // ended by Terminate Install or Terminate with Exit Code
    std::wstring message;          // compile error or runtime error text
    std::int64_t index = -1;       // the offending command
    std::wstring sourceFile;       // of a runtime error: project file name without folder and extension
    std::int64_t sourceLine = 0;   // 1-based
};

inline constexpr std::uint32_t kExitCompileFailed = 314;

// Runs the script of the container to its end. The exit code goes to the
// session. `msiPackage` becomes MSIFILE.
RunOutcome RunScript(const container::Container& container, const std::wstring& msiPackage, RunPlatform& platform);

}  // namespace velmora::engine
