// The predefined variables that come from the system and the session: the
// phases "Pre-Initialization" (TARGETDIR, STARTMENU, ALLUSERS) and
// "Initialization" (engine settings and session values). The script run
// calls them in its preparation, around bootstrap, and writes the reserved
// worker variables and the command-line assignments itself.
//
// Platform-bound (the values come from the system queries and the session);
// the store itself is core.
#pragma once

#include "container/container.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::vars {

enum class Phase {
    PreInitialization,  // TARGETDIR, STARTMENU, ALLUSERS
    Initialization,     // engine settings and session values
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

// The values of a phase, in the order they are set.
std::vector<PredefinedValue> PredefinedValues(Phase phase, const RunValues& run);

// Writes the values of one phase to the store.
void SetPredefinedVariables(Phase phase, const RunValues& run);

// The current date and time in the user's short date and time formats.
std::wstring CurrentDateText();
std::wstring CurrentTimeText();

}  // namespace velmora::vars
