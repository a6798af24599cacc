#include "engine/run.hpp"

#include "commands/command.hpp"
#include "container/settings.hpp"
#include "core/script_error.hpp"
#include "core/system.hpp"
#include "core/text.hpp"
#include "engine/compiler.hpp"
#include "startup/session.hpp"
#include "startup/trace.hpp"
#include "vars/eval.hpp"
#include "vars/expand.hpp"
#include "vars/variables.hpp"

#include <unordered_map>
#include <unordered_set>

namespace velmora::engine {
namespace {

constexpr std::uint32_t kMessageInterval = 315;  // ms between message pumps of the loop
constexpr std::size_t kSearchPumpStride = 313;   // commands examined between pumps of a block search
constexpr std::uint32_t kClockInterval = 1000;   // ms between readings of the date and time

bool IsLoopOpener(std::wstring_view name) { return name == L"While" || name == L"Repeat" || name == L"For Each"; }
bool IsLoopCloser(std::wstring_view name) { return name == L"Wend" || name == L"Until" || name == L"Next"; }

struct LoopEntry {
    std::wstring_view kind;  // "While", "Repeat" or "For Each"
    std::size_t opener;      // the command that opened it
    bool operator==(const LoopEntry&) const = default;
};

struct ForEachState {
    std::wstring variable;
    std::wstring remaining;
    std::wstring separator;
};

struct ConditionalState {
    bool skipToBranch = false;  // a condition was false: find the next branch
    bool skipToEnd = false;     // a branch that ran reached its chain's Else or Else If
    std::size_t pendingElseIf = SIZE_MAX;  // the Else If that a branch search stopped on
};

// What an include script saves of its caller's state.
struct IncludeRecord {
    std::vector<LoopEntry> loops;
    std::vector<ForEachState> forEach;
    ConditionalState conditional;
};

// The run ends at once (Terminate Install, Terminate with Exit Code).
struct EndOfRun {};

std::int64_t IncludeLevelOf(const std::wstring& line) {
    const auto star = line.rfind(L'*');
    if (star == std::wstring::npos) return 0;
    return text::ParseInt64(std::wstring_view(line).substr(star + 1)).value_or(0);
}

std::wstring IncludeResultOf(const std::wstring& line) {
    const auto star = line.rfind(L'*');
    return star == std::wstring::npos ? line : line.substr(0, star);
}

class Run {
public:
    Run(const container::Container& c, RunPlatform& platform) : c_(c), platform_(platform) {
        for (const auto& name : c.pluginNames) plugins_.insert(name);
    }

    RunOutcome Execute();

private:
    bool Prepare(RunOutcome& outcome);
    void Loop();
    void RefreshSession();
    void TrackIncludeLevel();
    void Dispatch(std::size_t i);
    bool ControlFlow(std::size_t i, const std::wstring& name);
    void EndRun(bool traceExit);

    const std::wstring& P(std::size_t i, std::size_t k) const { return c_.Parameter(i, k); }
    bool Condition(std::size_t i) const {
        return EvaluateCondition({P(i, 1), P(i, 2), P(i, 3), P(i, 4)});
    }
    bool Active(std::size_t j) const { return !c_.IsCommentedOut(j) && c_.commandNames[j] != L"Ignore"; }

    // Conditionals.
    void ResolveSkip();
    // Loops: the partner of a loop command, skipping nested loops.
    std::size_t FindCloser(std::size_t from);
    std::size_t FindOpener(std::size_t from);
    void ForEach(std::size_t i);
    void LeaveInnermostLoop();

    const container::Container& c_;
    RunPlatform& platform_;
    std::unordered_set<std::wstring, text::CaseInsensitiveHash, text::CaseInsensitiveEqual> plugins_;
    std::unordered_map<std::wstring, std::size_t> labels_;
    std::size_t next_ = 0;
    std::size_t current_ = 0;  // the command being run
    ConditionalState conditional_;
    std::vector<LoopEntry> loops_;
    std::vector<ForEachState> forEach_;
    std::int64_t includeLevel_ = 0;
    std::vector<IncludeRecord> includes_;
    bool singleInstance_ = false;
    std::wstring marker_;
    std::uint32_t lastPump_ = 0;
    std::uint32_t lastClock_ = 0;
    bool clockRead_ = false;
    std::wstring date_, time_, language_;
};

RunOutcome Run::Execute() {
    RunOutcome outcome;
    if (!Prepare(outcome)) return outcome;
    try {
        Loop();
        EndRun(true);
    } catch (const EndOfRun&) {
        outcome.terminated = true;
        EndRun(true);
    } catch (const std::exception& e) {
        // A command raised an error: the run ends with the error box, and
        // the exit code stays as it was.
        const std::size_t i = current_;
        outcome.end = RunEnd::RuntimeError;
        outcome.index = static_cast<std::int64_t>(i);
        outcome.message = text::FromUtf8(e.what());
        const std::wstring position = i < c_.sourcePositions.size() ? c_.sourcePositions[i] : std::wstring();
        const auto star = position.rfind(L'*');
        std::wstring file = position.substr(0, star);
        file = file.substr(file.find_last_of(L"\\/:") == std::wstring::npos ? 0 : file.find_last_of(L"\\/:") + 1);
        if (const auto dot = file.rfind(L'.'); dot != std::wstring::npos) file.resize(dot);
        outcome.sourceFile = file;
        outcome.sourceLine =
            star == std::wstring::npos ? 0 : text::ParseInt64(std::wstring_view(position).substr(star + 1)).value_or(-1) + 1;
        if (!TheSession().silent) {
            platform_.ShowRuntimeError(L"Runtime error in setup script:\r\rSource File: " + outcome.sourceFile +
                                       L"\rLine Number: " + text::ToDecimal(outcome.sourceLine) + L"\r\r" +
                                       outcome.message);
        }
        EndRun(false);
    }
    if (outcome.end == RunEnd::Completed && platform_.MediaRemoved()) outcome.end = RunEnd::MediaRemoved;
    return outcome;
}

bool Run::Prepare(RunOutcome& outcome) {
    Session& s = TheSession();
    Trace(L"    <Variables>");
    platform_.ClearRunLists();
    Trace(L"    </Variables>");

    Trace(L"    <CompileScript>");
    const CompileResult compiled = CompileScript(c_);
    if (!compiled.Succeeded()) {
        outcome.end = RunEnd::CompileFailed;
        outcome.index = compiled.index;
        outcome.message = compiled.message;
        return false;
    }
    Trace(L"    </CompileScript>");

    ClearVariables();
    const std::wstring tick = text::ToDecimal(sys::TickCount());
    TVariableManager& store = Variables();
    store.SetItem(L"VORP_thProgress", L"0");
    store.SetItem(L"VORP_thMax", L"100");
    store.SetItem(L"VORP_thMin", L"0");
    store.SetItem(L"VORP_thProgressText", L"");
    store.SetItem(L"VORP_thFinished", L"FALSE");
    store.SetItem(L"VORP_thCancelled", L"FALSE");
    store.SetItem(L"VORP_IsCancelled", L"FALSE");
    store.SetItem(L"VORP_LastDelegateTick", tick);
    store.SetItem(L"VORP_LastActiveTick", tick);
    platform_.PreInitialization();

    Trace(L"    <BootStrap>");
    platform_.Bootstrap();
    Trace(L"    </BootStrap>");

    for (std::size_t i = 0; i < c_.CommandCount(); ++i) {
        if (c_.commandNames[i] == L"Label") labels_.try_emplace(text::Upper(P(i, 1)), i);
    }

    singleInstance_ = container::SingleInstanceSetting(c_.settings);
    if (singleInstance_) {
        marker_ = s.tempFolder + c_.revisionCode + L".qox";
        if (platform_.MarkerExists(marker_)) {
            outcome.end = RunEnd::SecondInstance;
            singleInstance_ = false;  // the marker is the first instance's
            return false;
        }
        platform_.CreateMarker(marker_);
    }

    Trace(L"    <vorp>");
    next_ = 0;
    platform_.Initialization();
    if (!platform_.AfterInitialization()) {
        outcome.end = RunEnd::Cancelled;
        EndRun(true);
        return false;
    }
    const auto& assignments = s.commandLineAssignments;
    for (std::size_t i = 0; i + 1 < assignments.size(); i += 2) {
        const std::wstring name = text::Upper(assignments[i]);
        if (VariableExists(name)) {
            AssignVariable(name, assignments[i + 1], kOriginInjectOverride);
        } else {
            SetVariable(name, assignments[i + 1], kOriginInjectOverride);
        }
    }
    return true;
}

void Run::EndRun(bool traceExit) {
    Trace(L"    </vorp>");
    if (traceExit) Trace(L"    <ExitScript>");
    if (singleInstance_) platform_.DeleteMarker(marker_);
    platform_.CleanUp();
    if (traceExit) Trace(L"    </ExitScript>");
}

void Run::RefreshSession() {
    Session& s = TheSession();
    SetTracePath(GetVariable(L"LOGGED"));
    s.silent = TextToBool(GetVariable(L"SILENT"));
    s.captionTitle = GetVariable(L"TITLE");
    s.captionLogo = text::SameText(GetVariable(L"VORPLOGO"), L"TRUE");
}

void Run::Loop() {
    const std::size_t count = c_.CommandCount();
    while (next_ < count) {
        const std::uint32_t now = sys::TickCount();
        if (now - lastPump_ >= kMessageInterval) {
            platform_.PumpMessages();
            lastPump_ = now;
        }
        RefreshSession();
        platform_.ApplyCacheOverride();
        // The short date and time change slowly; the system is asked again
        // once a second, and the variables are set before every command.
        if (!clockRead_ || now - lastClock_ >= kClockInterval) {
            date_ = platform_.ShortDate();
            time_ = platform_.ShortTime();
            lastClock_ = now;
            clockRead_ = true;
        }
        SetVariable(L"DATE", date_, L"Initialization");
        SetVariable(L"TIME", time_, L"Initialization");
        if (const std::wstring language = GetVariable(L"LANGUAGE"); language != language_) {
            language_ = language;
            platform_.ReloadTranslations(language);
        }
        platform_.RefreshSessionValues();

        ResolveSkip();
        if (next_ >= count) break;
        TrackIncludeLevel();

        const std::size_t i = next_++;
        current_ = i;
        if (!Active(i)) continue;
        AssignVariable(L"ABORT", TextToBool(GetVariable(L"VORP_IsCancelled")) ? L"TRUE" : L"FALSE", L"Cancel State");
        platform_.PushProgress();
        Dispatch(i);
    }
}

void Run::TrackIncludeLevel() {
    if (next_ >= c_.includes.size()) return;
    const std::int64_t level = IncludeLevelOf(c_.includes[next_]);
    if (level > includeLevel_) {
        includes_.push_back({loops_, forEach_, conditional_});
    } else if (level < includeLevel_ && !includes_.empty()) {
        IncludeRecord& saved = includes_.back();
        loops_ = std::move(saved.loops);
        forEach_ = std::move(saved.forEach);
        conditional_ = saved.conditional;
        includes_.pop_back();
    }
    includeLevel_ = level;
}

void Run::Dispatch(std::size_t i) {
    const std::wstring& name = c_.commandNames[i];
    if (!plugins_.empty() && plugins_.count(name) != 0) {
        platform_.RunPlugin(i);
        return;
    }
    if (ControlFlow(i, name)) return;
    if (const commands::Handler handler = commands::FindHandler(name)) {
        commands::CommandContext context(c_, i);
        handler(context);
    }
}

// A conditional chain: If and Wizard Loop open a level, End closes one;
// loops have closers of their own and do not count.
void Run::ResolveSkip() {
    if (!conditional_.skipToBranch && !conditional_.skipToEnd) return;
    const bool toBranch = conditional_.skipToBranch;
    conditional_.skipToBranch = conditional_.skipToEnd = false;
    int level = 0;
    for (std::size_t j = next_; j < c_.CommandCount(); ++j) {
        if (!Active(j)) continue;
        const std::wstring& name = c_.commandNames[j];
        if (name == L"If" || name == L"Wizard Loop") {
            ++level;
        } else if (name == L"End") {
            if (level == 0) {
                next_ = j + 1;
                return;
            }
            --level;
        } else if (level == 0 && toBranch && name == L"Else") {
            next_ = j + 1;
            return;
        } else if (level == 0 && toBranch && name == L"Else If") {
            next_ = j;  // it runs next, and its condition decides
            conditional_.pendingElseIf = j;
            return;
        }
    }
    throw ScriptError("End of the conditional not found");
}

std::size_t Run::FindCloser(std::size_t from) {
    int depth = 0;
    for (std::size_t j = from + 1, examined = 1; j < c_.CommandCount(); ++j, ++examined) {
        if (examined % kSearchPumpStride == 0) platform_.PumpMessages();
        if (c_.IsCommentedOut(j)) continue;
        const std::wstring& name = c_.commandNames[j];
        if (IsLoopOpener(name)) {
            ++depth;
        } else if (IsLoopCloser(name)) {
            if (depth == 0) return j;
            --depth;
        }
    }
    throw ScriptError("The end of the loop was not found");
}

std::size_t Run::FindOpener(std::size_t from) {
    int depth = 0;
    for (std::size_t j = from, examined = 1; j-- > 0; ++examined) {
        if (examined % kSearchPumpStride == 0) platform_.PumpMessages();
        if (c_.IsCommentedOut(j)) continue;
        const std::wstring& name = c_.commandNames[j];
        if (IsLoopCloser(name)) {
            ++depth;
        } else if (IsLoopOpener(name)) {
            if (depth == 0) return j;
            --depth;
        }
    }
    throw ScriptError("The start of the loop was not found");
}

void Run::ForEach(std::size_t i) {
    const std::wstring variable = VariableNameOf(P(i, 1));
    ForEachState* state = nullptr;
    for (auto& s : forEach_) {
        if (text::SameText(s.variable, variable)) state = &s;
    }
    if (state == nullptr) {
        loops_.push_back({L"For Each", i});
        forEach_.push_back({variable, ExpandVariables(P(i, 3)), ExpandVariables(P(i, 2))});
        state = &forEach_.back();
    }
    std::wstring& rest = state->remaining;
    const std::wstring& separator = state->separator;
    std::wstring item;
    if (separator.empty()) {
        item = std::move(rest);
        rest.clear();
    } else {
        std::size_t start = 0;
        while (rest.compare(start, separator.size(), separator) == 0) start += separator.size();
        const auto cut = rest.find(separator, start);
        if (cut != std::wstring::npos) {
            item = rest.substr(start, cut - start);
            rest.erase(0, cut + separator.size());
        } else {
            item = rest.substr(start);
            rest = separator;  // the next arrival finds nothing
        }
    }
    if (!item.empty()) {
        AssignVariable(variable, item, L"For Each Action");
        return;
    }
    next_ = FindCloser(i) + 1;
    LeaveInnermostLoop();
}

// Removes the innermost loop's entry (and a For Each's state and variable).
void Run::LeaveInnermostLoop() {
    if (loops_.empty()) return;
    if (loops_.back().kind == L"For Each" && !forEach_.empty()) {
        DeleteVariable(forEach_.back().variable);
        forEach_.pop_back();
    }
    loops_.pop_back();
}

bool Run::ControlFlow(std::size_t i, const std::wstring& name) {
    if (name == L"Comment" || name == L"Ignore" || name == L"Label" || name == L"End") return true;
    if (name == L"If") {
        if (!Condition(i)) conditional_.skipToBranch = true;
    } else if (name == L"Else If") {
        if (conditional_.pendingElseIf == i) {
            conditional_.pendingElseIf = SIZE_MAX;
            if (!Condition(i)) conditional_.skipToBranch = true;
        } else {
            conditional_.skipToEnd = true;  // the branch before it ran
        }
    } else if (name == L"Else") {
        conditional_.skipToEnd = true;
    } else if (name == L"While") {
        const LoopEntry entry{L"While", i};
        const bool inside = !loops_.empty() && loops_.back() == entry;
        if (Condition(i)) {
            if (!inside) loops_.push_back(entry);
        } else {
            next_ = FindCloser(i) + 1;
            if (inside) loops_.pop_back();
        }
    } else if (name == L"Wend" || name == L"Next") {
        next_ = FindOpener(i);
    } else if (name == L"Repeat") {
        const LoopEntry entry{L"Repeat", i};
        if (loops_.empty() || !(loops_.back() == entry)) loops_.push_back(entry);
    } else if (name == L"Until") {
        if (Condition(i)) {
            if (!loops_.empty() && loops_.back().kind == L"Repeat") loops_.pop_back();
        } else {
            next_ = FindOpener(i);
        }
    } else if (name == L"For Each") {
        ForEach(i);
    } else if (name == L"Break") {
        if (loops_.empty()) return true;
        next_ = FindCloser(i) + 1;
        LeaveInnermostLoop();
    } else if (name == L"Continue") {
        if (!loops_.empty()) next_ = FindOpener(i);
    } else if (name == L"GoTo Label") {
        const auto it = labels_.find(text::Upper(P(i, 1)));
        if (it == labels_.end()) throw ScriptError("LABEL undefined: " + text::ToUtf8(P(i, 1)));
        next_ = it->second;
        conditional_ = {};
    } else if (name == L"Return from Include Script") {
        const std::wstring entry = i < c_.includes.size() ? c_.includes[i] : std::wstring(L"0*0");
        const std::wstring result = IncludeResultOf(entry);
        if (result == L"0") return true;
        const std::int64_t level = IncludeLevelOf(entry);
        std::size_t j = i + 1;
        while (j < c_.CommandCount() && (j >= c_.includes.size() || IncludeLevelOf(c_.includes[j]) != level - 1)) ++j;
        next_ = j;
        if (!result.empty()) {
            const std::wstring origin = name + L" Action";
            if (!VariableExists(result)) SetVariable(text::Upper(result), L"", origin);
            AssignVariable(result, ExpandVariables(P(i, 1)), origin);
        }
    } else if (name == L"Terminate Install") {
        throw EndOfRun{};
    } else if (name == L"Terminate with Exit Code") {
        const std::wstring value = ExpandVariables(P(i, 1));
        const auto code = text::ParseInt64(value);
        if (!code || *code < INT32_MIN || *code > UINT32_MAX) {
            throw ScriptError("'" + text::ToUtf8(value) + "' is not a valid integer value");
        }
        TheSession().exitCode = static_cast<std::uint32_t>(*code);
        throw EndOfRun{};
    } else {
        return false;
    }
    return true;
}

}  // namespace

RunOutcome RunScript(const container::Container& container, const std::wstring& msiPackage, RunPlatform& platform) {
    TheSession().msiPackage = msiPackage;
    TheSession().platform = L"Win32";
    commands::InstallCoreHandlers();
    return Run(container, platform).Execute();
}

}  // namespace velmora::engine
