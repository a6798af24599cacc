// The predefined variables: what the script engine puts into the store
// before the first command of a run, phase by phase, and what it refreshes
// before every command.
//
// Platform-bound (the values come from the system queries and the session);
// the store itself is core. The execution loop calls the phases in this
// order:
//   ClearVariables();
//   SetPredefinedVariables(Phase::Workers, run);
//   SetPredefinedVariables(Phase::PreInitialization, run);
//   ... bootstrap sets its values here (phase "Bootstrap") ...
//   SetPredefinedVariables(Phase::Initialization, run);
//   SetPredefinedVariables(Phase::CommandLine, run);
// PreparePredefinedVariables does exactly that, with the bootstrap as a call.
#pragma once

#include "container/container.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::vars {

enum class Phase {
    Workers,            // reserved worker variables, written without protection
    PreInitialization,  // TARGETDIR, STARTMENU, ALLUSERS
    Initialization,     // engine settings and session values
    CommandLine,        // the NAME=VALUE assignments of the command line
};

// The phase name, which is also the origin of the phase's writes.
std::wstring_view PhaseOrigin(Phase phase);

// What the run hands to the phases besides the session.
struct RunValues {
    const container::Container* container = nullptr;  // title, version, company; none gives empty texts
    std::wstring msiFile;                             // the package path handed to the script engine
    std::wstring knownTargetFolder;                   // the default target folder known so far (empty on a first run)
};

struct PredefinedValue {
    std::wstring name;
    std::wstring value;
    bool onlyWhenUndefined = false;  // a default that keeps a value defined earlier
};

// The values of a phase, in the order they are set (the command-line phase
// lists the assignments, names upper-cased).
std::vector<PredefinedValue> PredefinedValues(Phase phase, const RunValues& run);

// Writes the values of one phase to the store.
void SetPredefinedVariables(Phase phase, const RunValues& run);

// Every phase in order, after emptying the store; `bootstrap` runs between
// "Pre-Initialization" and "Initialization" (it may be empty).
void PreparePredefinedVariables(const RunValues& run, const std::function<void()>& bootstrap);

// Before every command: DATE and TIME anew, then LOGGED, SILENT, TITLE and
// VORPLOGO copied to the trace log path, the silent flag and the caption.
void RefreshBeforeCommand();

// The current date and time in the user's short date and time formats.
std::wstring CurrentDateText();
std::wstring CurrentTimeText();

// Notices changes of a watched variable (LANGUAGE, OVERRIDECACHE) between
// two looks, for the loop to act on them once.
class WatchedVariable {
public:
    explicit WatchedVariable(std::wstring name) : name_(std::move(name)) {}
    // True when the value differs from the one of the previous call (the
    // first call compares against the empty text).
    bool Changed();
    const std::wstring& Last() const { return last_; }

private:
    std::wstring name_;
    std::wstring last_;
};

}  // namespace velmora::vars
