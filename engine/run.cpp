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

#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace velmora::engine {
namespace {

constexpr std::uint32_t kMessageInterval = 315;  // ms between message pumps of the loop
constexpr std::size_t kSearchPumpStride = 313;   // commands examined between pumps of a block search
constexpr std::uint32_t kClockInterval = 1000;   // ms between readings of the date and time
constexpr std::size_t kClockStride = 16;         // control-flow commands between clock readings

bool IsLoopOpener(std::wstring_view name) { return name == L"While" || name == L"Repeat" || name == L"For Each"; }
bool IsLoopCloser(std::wstring_view name) { return name == L"Wend" || name == L"Until" || name == L"Next"; }

// What each command is, worked out once per run from its name.
enum class Kind : std::uint8_t {
    Nothing,  // Comment, Ignore, Label, End, editor-only entries, names without handler
    Plugin, Handler,
    If, ElseIf, Else, While, Wend, Repeat, Until, ForEach, Next, Break, Continue, GoTo, Return, Terminate,
    TerminateWithCode,
};

Kind ControlKind(std::wstring_view name) {
    static const std::pair<std::wstring_view, Kind> kControl[] = {
        {L"If", Kind::If},           {L"Else If", Kind::ElseIf},   {L"Else", Kind::Else},
        {L"While", Kind::While},     {L"Wend", Kind::Wend},        {L"Repeat", Kind::Repeat},
        {L"Until", Kind::Until},     {L"For Each", Kind::ForEach}, {L"Next", Kind::Next},
        {L"Break", Kind::Break},     {L"Continue", Kind::Continue}, {L"GoTo Label", Kind::GoTo},
        {L"Return from Include Script", Kind::Return}, {L"Terminate Install", Kind::Terminate},
        {L"Terminate with Exit Code", Kind::TerminateWithCode},
    };
    for (const auto& [n, k] : kControl) {
        if (n == name) return k;
    }
    return Kind::Nothing;
}

// The part a command plays in a conditional chain, for the search of the
// branch or end that a skip goes to.
enum class ChainRole : std::uint8_t { None, Opens, End, Else, ElseIf };

ChainRole ChainRoleOf(std::wstring_view name) {
    if (name == L"If" || name == L"Wizard Loop") return ChainRole::Opens;
    if (name == L"End") return ChainRole::End;
    if (name == L"Else") return ChainRole::Else;
    if (name == L"Else If") return ChainRole::ElseIf;
    return ChainRole::None;
}

struct LoopEntry {
    Kind kind;               // While, Repeat or ForEach
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
    Run(const container::Container& c, RunPlatform& platform)
        : c_(c),
          platform_(platform),
          closer_(c.CommandCount(), SIZE_MAX),
          opener_(c.CommandCount(), SIZE_MAX),
          branchSkips_(c.CommandCount()),
          endSkips_(c.CommandCount()) {
        for (const auto& name : c.pluginNames) plugins_.insert(name);
    }

    RunOutcome Execute();

private:
    bool Prepare(RunOutcome& outcome);
    void Loop();
    void RefreshSession();
    void TrackIncludeLevel();
    void Dispatch(std::size_t i);
    void Classify();
    void ControlFlow(std::size_t i, Kind kind);
    void EndRun(bool traceExit);

    const std::wstring& P(std::size_t i, std::size_t k) const { return c_.Parameter(i, k); }
    // The condition of command i, its lines analysed on its first test.
    bool Condition(std::size_t i) {
        std::unique_ptr<PreparedCondition>& prepared = conditions_[i];
        if (!prepared) {
            prepared = std::make_unique<PreparedCondition>(ConditionLines{P(i, 1), P(i, 2), P(i, 3), P(i, 4)});
        }
        return prepared->Evaluate();
    }
    // Not commented out and not Ignore (worked out once, in Classify).
    bool Active(std::size_t j) const { return active_[j]; }

    // Conditionals: where a skip that starts at a command goes on.
    struct SkipTarget {
        std::size_t next = SIZE_MAX;  // SIZE_MAX: not looked for yet
        bool elseIf = false;          // an Else If, whose condition decides
    };
    void ResolveSkip();
    SkipTarget FindSkipTarget(std::size_t from, bool toBranch) const;
    // Loops: the partner of a loop command, skipping nested loops.
    std::size_t FindCloser(std::size_t from);
    std::size_t FindOpener(std::size_t from);
    void ForEach(std::size_t i);
    void LeaveInnermostLoop();

    const container::Container& c_;
    RunPlatform& platform_;
    std::unordered_set<std::wstring, text::CaseInsensitiveHash, text::CaseInsensitiveEqual> plugins_;
    std::vector<Kind> kinds_;
    std::vector<bool> active_;
    std::vector<ChainRole> roles_;
    std::vector<commands::Handler> handlers_;
    std::vector<std::unique_ptr<commands::CommandCache>> caches_;  // each handler's data for its command
    std::vector<std::unique_ptr<PreparedCondition>> conditions_;
    std::vector<std::int64_t> levels_;  // include level of each command
    // Block partners found so far: the command list does not change during a run.
    std::vector<std::size_t> closer_, opener_;
    std::vector<SkipTarget> branchSkips_, endSkips_;
    std::uint64_t seenVersion_ = UINT64_MAX;
    std::wstring tracePath_;
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
    // Commands run since the clock was last read, and whether the last one
    // could take long (a handler or plug-in: anything else is control flow).
    std::size_t sinceClock_ = 0;
    bool mayHaveTakenLong_ = true;
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

void Run::Classify() {
    const std::size_t n = c_.CommandCount();
    kinds_.resize(n);
    active_.resize(n);
    roles_.resize(n);
    handlers_.assign(n, nullptr);
    caches_.clear();
    caches_.resize(n);
    conditions_.clear();
    conditions_.resize(n);
    levels_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::wstring& name = c_.commandNames[i];
        active_[i] = !c_.IsCommentedOut(i) && name != L"Ignore";
        roles_[i] = ChainRoleOf(name);
        Kind kind = ControlKind(name);
        // A plug-in name comes before every built-in one, control flow included.
        if (!plugins_.empty() && plugins_.count(name) != 0) {
            kind = Kind::Plugin;
        } else if (kind == Kind::Nothing) {
            handlers_[i] = commands::FindHandler(name);
            if (handlers_[i] != nullptr) kind = Kind::Handler;
        }
        kinds_[i] = kind;
        levels_[i] = i < c_.includes.size() ? IncludeLevelOf(c_.includes[i]) : 0;
    }
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
    Classify();
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
    if (std::wstring logged = GetVariable(L"LOGGED"); logged != tracePath_) {
        tracePath_ = logged;
        SetTracePath(std::move(logged));
    }
    s.silent = TextToBool(GetVariable(L"SILENT"));
    s.captionTitle = GetVariable(L"TITLE");
    s.captionLogo = text::SameText(GetVariable(L"VORPLOGO"), L"TRUE");
}

// What the loop reads back from the store before a command.
const std::vector<std::wstring_view> kReadBack = {
    L"LOGGED", L"SILENT", L"TITLE", L"VORPLOGO", L"DATE", L"TIME", L"LANGUAGE", L"VORP_IsCancelled", L"ABORT",
};

void Run::Loop() {
    const std::size_t count = c_.CommandCount();
    tracePath_ = TracePath();
    TVariableManager& store = Variables();
    store.Watch(kReadBack);
    while (next_ < count) {
        // The clock is read after every command that may have taken long,
        // and otherwise after every kClockStride control-flow commands,
        // which each take microseconds at most (their block searches pump
        // messages themselves): the message and date intervals are kept
        // to within those microseconds, without a clock reading per command.
        bool clockChanged = false;
        if (mayHaveTakenLong_ || ++sinceClock_ >= kClockStride) {
            sinceClock_ = 0;
            mayHaveTakenLong_ = false;
            const std::uint32_t now = sys::TickCount();
            if (now - lastPump_ >= kMessageInterval) {
                platform_.PumpMessages();
                lastPump_ = now;
            }
            // The short date and time change slowly; the system is asked
            // again once a second.
            if (!clockRead_ || now - lastClock_ >= kClockInterval) {
                std::wstring date = platform_.ShortDate();
                std::wstring time = platform_.ShortTime();
                clockChanged = !clockRead_ || date != date_ || time != time_;
                date_ = std::move(date);
                time_ = std::move(time);
                lastClock_ = now;
                clockRead_ = true;
            }
        }
        // What the loop reads back from the store (kReadBack) can only differ
        // from the last look when one of those variables was written or
        // removed since; then it is looked at again, and a value is written
        // only where it differs. Writes to other variables (a loop counter)
        // leave the watched count alone and cost nothing here.
        if (clockChanged || store.WatchedVersion() != seenVersion_) {
            RefreshSession();
            if (GetVariable(L"DATE") != date_) SetVariable(L"DATE", date_, L"Initialization");
            if (GetVariable(L"TIME") != time_) SetVariable(L"TIME", time_, L"Initialization");
            if (const std::wstring language = GetVariable(L"LANGUAGE"); language != language_) {
                language_ = language;
                platform_.ReloadTranslations(language);
            }
            const wchar_t* abort = TextToBool(GetVariable(L"VORP_IsCancelled")) ? L"TRUE" : L"FALSE";
            if (GetVariable(L"ABORT") != abort) AssignVariable(L"ABORT", abort, L"Cancel State");
            seenVersion_ = store.WatchedVersion();
        }
        platform_.ApplyCacheOverride();
        platform_.RefreshSessionValues();

        ResolveSkip();
        if (next_ >= count) break;
        TrackIncludeLevel();

        const std::size_t i = next_++;
        current_ = i;
        if (!Active(i)) continue;
        platform_.PushProgress();
        Dispatch(i);
    }
}

void Run::TrackIncludeLevel() {
    const std::int64_t level = levels_[next_];
    if (level == includeLevel_) return;  // nearly every command
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
    switch (kinds_[i]) {
        case Kind::Nothing:
            return;
        case Kind::Plugin:
            mayHaveTakenLong_ = true;
            platform_.RunPlugin(i);
            return;
        case Kind::Handler: {
            mayHaveTakenLong_ = true;
            commands::CommandContext context(c_, i, caches_[i]);
            handlers_[i](context);
            return;
        }
        default:
            ControlFlow(i, kinds_[i]);
    }
}

void Run::ResolveSkip() {
    if (!conditional_.skipToBranch && !conditional_.skipToEnd) return;
    const bool toBranch = conditional_.skipToBranch;
    conditional_.skipToBranch = conditional_.skipToEnd = false;
    if (next_ >= c_.CommandCount()) throw ScriptError("End of the conditional not found");
    // The command list does not change during a run: a skip from the same
    // command lands on the same place every time (an If in a loop).
    SkipTarget& target = (toBranch ? branchSkips_ : endSkips_)[next_];
    if (target.next == SIZE_MAX) target = FindSkipTarget(next_, toBranch);
    next_ = target.next;
    if (target.elseIf) conditional_.pendingElseIf = target.next;  // it runs next, and its condition decides
}

// A conditional chain: If and Wizard Loop open a level, End closes one;
// loops have closers of their own and do not count.
Run::SkipTarget Run::FindSkipTarget(std::size_t from, bool toBranch) const {
    int level = 0;
    for (std::size_t j = from; j < c_.CommandCount(); ++j) {
        if (!Active(j)) continue;
        const ChainRole role = roles_[j];
        if (role == ChainRole::Opens) {
            ++level;
        } else if (role == ChainRole::End) {
            if (level == 0) return {j + 1, false};
            --level;
        } else if (level == 0 && toBranch && role == ChainRole::Else) {
            return {j + 1, false};
        } else if (level == 0 && toBranch && role == ChainRole::ElseIf) {
            return {j, true};
        }
    }
    throw ScriptError("End of the conditional not found");
}

std::size_t Run::FindCloser(std::size_t from) {
    if (closer_[from] != SIZE_MAX) return closer_[from];
    int depth = 0;
    for (std::size_t j = from + 1, examined = 1; j < c_.CommandCount(); ++j, ++examined) {
        if (examined % kSearchPumpStride == 0) platform_.PumpMessages();
        if (c_.IsCommentedOut(j)) continue;
        const std::wstring& name = c_.commandNames[j];
        if (IsLoopOpener(name)) {
            ++depth;
        } else if (IsLoopCloser(name)) {
            if (depth == 0) return closer_[from] = j;
            --depth;
        }
    }
    throw ScriptError("The end of the loop was not found");
}

std::size_t Run::FindOpener(std::size_t from) {
    if (opener_[from] != SIZE_MAX) return opener_[from];
    int depth = 0;
    for (std::size_t j = from, examined = 1; j-- > 0; ++examined) {
        if (examined % kSearchPumpStride == 0) platform_.PumpMessages();
        if (c_.IsCommentedOut(j)) continue;
        const std::wstring& name = c_.commandNames[j];
        if (IsLoopCloser(name)) {
            ++depth;
        } else if (IsLoopOpener(name)) {
            if (depth == 0) return opener_[from] = j;
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
        loops_.push_back({Kind::ForEach, i});
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
    if (loops_.back().kind == Kind::ForEach && !forEach_.empty()) {
        DeleteVariable(forEach_.back().variable);
        forEach_.pop_back();
    }
    loops_.pop_back();
}

void Run::ControlFlow(std::size_t i, Kind kind) {
    switch (kind) {
        case Kind::If:
            if (!Condition(i)) conditional_.skipToBranch = true;
            break;
        case Kind::ElseIf:
            if (conditional_.pendingElseIf == i) {
                conditional_.pendingElseIf = SIZE_MAX;
                if (!Condition(i)) conditional_.skipToBranch = true;
            } else {
                conditional_.skipToEnd = true;  // the branch before it ran
            }
            break;
        case Kind::Else:
            conditional_.skipToEnd = true;
            break;
        case Kind::While: {
            const LoopEntry entry{Kind::While, i};
            const bool inside = !loops_.empty() && loops_.back() == entry;
            if (Condition(i)) {
                if (!inside) loops_.push_back(entry);
            } else {
                next_ = FindCloser(i) + 1;
                if (inside) loops_.pop_back();
            }
            break;
        }
        case Kind::Wend:
        case Kind::Next:
            next_ = FindOpener(i);
            break;
        case Kind::Repeat: {
            const LoopEntry entry{Kind::Repeat, i};
            if (loops_.empty() || !(loops_.back() == entry)) loops_.push_back(entry);
            break;
        }
        case Kind::Until:
            if (Condition(i)) {
                if (!loops_.empty() && loops_.back().kind == Kind::Repeat) loops_.pop_back();
            } else {
                next_ = FindOpener(i);
            }
            break;
        case Kind::ForEach:
            ForEach(i);
            break;
        case Kind::Break:
            if (loops_.empty()) break;
            next_ = FindCloser(i) + 1;
            LeaveInnermostLoop();
            break;
        case Kind::Continue:
            if (!loops_.empty()) next_ = FindOpener(i);
            break;
        case Kind::GoTo: {
            const auto it = labels_.find(text::Upper(P(i, 1)));
            if (it == labels_.end()) throw ScriptError("LABEL undefined: " + text::ToUtf8(P(i, 1)));
            next_ = it->second;
            conditional_ = {};
            break;
        }
        case Kind::Return: {
            const std::wstring result = i < c_.includes.size() ? IncludeResultOf(c_.includes[i]) : std::wstring(L"0");
            if (result == L"0") break;  // the main script's own commands
            const std::int64_t level = levels_[i];
            std::size_t j = i + 1;
            while (j < c_.CommandCount() && levels_[j] != level - 1) ++j;
            next_ = j;
            if (!result.empty()) {
                const std::wstring origin = c_.commandNames[i] + L" Action";
                if (!VariableExists(result)) SetVariable(text::Upper(result), L"", origin);
                AssignVariable(result, ExpandVariables(P(i, 1)), origin);
            }
            break;
        }
        case Kind::Terminate:
            throw EndOfRun{};
        case Kind::TerminateWithCode: {
            const std::wstring value = ExpandVariables(P(i, 1));
            const auto code = text::ParseInt64(value);
            if (!code || *code < INT32_MIN || *code > UINT32_MAX) {
                throw ScriptError("'" + text::ToUtf8(value) + "' is not a valid integer value");
            }
            TheSession().exitCode = static_cast<std::uint32_t>(*code);
            throw EndOfRun{};
        }
        default:
            break;
    }
}

}  // namespace

RunOutcome RunScript(const container::Container& container, const std::wstring& msiPackage, RunPlatform& platform) {
    TheSession().msiPackage = msiPackage;
    TheSession().platform = L"Win32";
    commands::InstallCoreHandlers();
    return Run(container, platform).Execute();
}

}  // namespace velmora::engine
