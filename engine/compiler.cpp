#include "engine/compiler.hpp"

#include "core/text.hpp"
#include "vars/eval.hpp"
#include "vars/expand.hpp"
#include "vars/variables.hpp"

#include <array>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace velmora::engine {
namespace {

constexpr std::wstring_view kOrigin = L"Compilation";

// The first error ends compilation.
struct CompileError {
    std::int64_t index;
    std::wstring message;
};

[[noreturn]] void Fail(std::size_t index, std::wstring message) {
    throw CompileError{static_cast<std::int64_t>(index), std::move(message)};
}

bool IsOneOf(std::wstring_view name, std::initializer_list<std::wstring_view> names) {
    for (auto n : names) {
        if (name == n) return true;
    }
    return false;
}

// The names the engine itself provides, with their values during compilation
// (empty for the rest: only their existence matters here).
void DefineEngineNames() {
    static constexpr std::wstring_view kFalse[] = {
        L"VORP_TIMEOUT", L"GPOPATH", L"SETUPPATH", L"NATIVE_ENGINE", L"NATIVE_OVERWRITE_OLDER",
        L"NATIVE_OVERRIDE_PERMISSIONS", L"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS", L"DELAYUNTIL_APPLYCHANGES"};
    static constexpr std::wstring_view kAll[] = {
        L"CHARSET_OVERRIDE", L"VORP_TIMEOUT", L"GPOPATH", L"SETUPPATH", L"NATIVE_ENGINE", L"NATIVE_OLDLOG",
        L"NATIVE_LOGGING", L"NATIVE_ROLLBACK", L"NATIVE_HARDLINK", L"NATIVE_ERROR", L"NATIVE_OVERWRITE",
        L"NATIVE_OVERWRITE_OLDER", L"NATIVE_OVERRIDE_PERMISSIONS", L"NATIVE_OVERRIDE_NON_RESTORABLE_PERMISSIONS",
        L"NATIVE_PROGRESS", L"DELAYUNTIL_APPLYCHANGES", L"VORP_COMPRESSCACHE", L"VORP_DISABLEROLLBACK",
        L"VORP_DISABLEVISTARESTARTMANAGER", L"IISHOST", L"OVERRIDECACHE", L"VORPLOGO", L"TIME", L"DATE",
        L"NEWINSTANCE", L"SELECTED", L"WINDOWHANDLE", L"EXEDIR", L"EXEFILE", L"UNINSTALLLINK", L"ENGINECACHE",
        L"COPYWEBLOCK", L"ABORT", L"SILENT", L"LOGGED", L"CMDLINE", L"REBOOTNOW", L"SFXPATH", L"SFXFILE",
        L"LASTERROR", L"PROGRESSMODE", L"CUSTOM_TASKBAR_PROGRESS_ENABLED", L"CUSTOM_TASKBAR_PROGRESS_PERCENT",
        L"CUSTOM_TASKBAR_PROGRESS_MAX", L"PROGRESSTEXT", L"PROGRESS", L"LICENSE", L"USERNAME", L"USERCOMPANY",
        L"REBOOTCOMPUTER", L"RUNAPP", L"WIZARD", L"FX", L"FXGROUND", L"FXTIME", L"VERSION", L"TARGETDIR",
        L"STARTMENU", L"ADVERTISE", L"ALLUSERS", L"COMPLETE", L"MINIMUM", L"PERSONALIZED", L"GLASS", L"MODIFY",
        L"REPAIR", L"REMOVE", L"DATADIR", L"PRODUCTCODE", L"REVISIONCODE", L"ROOTDIR", L"MAINTENANCE", L"NEWLINE",
        L"NEEDSUPGRADE", L"RECOMMENDEDUPGRADE", L"TITLE", L"COMPANY", L"TEMPDIR", L"SUPPORTDIR", L"MSIFILE",
        L"LANGUAGE", L"ABORTONERROR", L"ABORTEDONERROR", L"SAVEDATA"};
    for (auto name : kAll) {
        std::wstring_view value;
        for (auto f : kFalse) {
            if (f == name) value = L"FALSE";
        }
        if (name == L"NATIVE_ROLLBACK" || name == L"NATIVE_HARDLINK") value = L"TRUE";
        if (name == L"NATIVE_ERROR" || name == L"NATIVE_OVERWRITE") value = L"PROMPT";
        if (name == L"NATIVE_PROGRESS") value = L"0";
        SetVariable(name, value, kOrigin);
    }
}

// Depths of the four block kinds.
enum Kind { kConditional = 0, kWhile = 1, kRepeat = 2, kForEach = 3 };

// The block structure pass: the open depths, the counters of openers and
// closers, and per kind a stack of the other kinds' depths when it opened.
class StructurePass {
public:
    void Run(const container::Container& c) {
        for (std::size_t i = 0; i < c.CommandCount(); ++i) {
            if (!c.IsCommentedOut(i)) Command(c, i);
        }
    }

    // The balance checks, in their order.
    void CheckBalance() const {
        Balance(ifOpeners_, ends_, L"END");
        Balance(openers_[kWhile], closers_[kWhile], L"WEND");
        Balance(openers_[kRepeat], closers_[kRepeat], L"UNTIL");
        Balance(openers_[kForEach], closers_[kForEach], L"NEXT");
    }

private:
    using Saved = std::array<int, 3>;

    static void Balance(int openers, int closers, std::wstring_view closer) {
        if (closers < openers) Fail(static_cast<std::size_t>(kImbalanceIndex), L"Insufficient " + std::wstring(closer) + L" statements");
        if (closers > openers) Fail(static_cast<std::size_t>(kImbalanceIndex), L"Too many " + std::wstring(closer) + L" statements");
    }

    // The depths of the three other kinds, in kind order.
    Saved Others(Kind kind) const {
        Saved s{};
        int n = 0;
        for (int k = 0; k < 4; ++k) {
            if (k != kind) s[n++] = depth_[k];
        }
        return s;
    }

    void Open(Kind kind) {
        ++total_;
        stacks_[kind].push_back(Others(kind));
        ++depth_[kind];
    }

    void Close(Kind kind, std::size_t i, const wchar_t* noScope, const wchar_t* otherDepths) {
        --total_;
        if (kind != kConditional) ++closers_[kind];
        --depth_[kind];
        if (stacks_[kind].empty()) Fail(i, noScope);
        const Saved saved = stacks_[kind].back();
        stacks_[kind].pop_back();
        if (saved != Others(kind)) Fail(i, otherDepths);
    }

    bool AnyLoopOpen() const {
        for (Kind k : {kWhile, kRepeat, kForEach}) {
            if (openers_[k] != closers_[k]) return true;
        }
        return false;
    }

    void Command(const container::Container& c, std::size_t i) {
        const std::wstring& name = c.commandNames[i];
        if (name == L"If") {
            ++ifOpeners_;
            wizardLoop_ = false;
            Open(kConditional);
        } else if (name == L"Wizard Loop") {
            ++ifOpeners_;
            ++total_;
            wizardLoop_ = true;
        } else if (name == L"End") {
            ++ends_;
            if (wizardLoop_) {
                --total_;
                return;  // the flag stays set until the next If
            }
            Close(kConditional, i, L"IF conditional closed outside of IF conditional scope",
                  L"IF conditional closed outside of LOOP scope");
        } else if (name == L"While") {
            ++openers_[kWhile];
            Open(kWhile);
        } else if (name == L"Wend") {
            Close(kWhile, i, L"WHILE loop closed outside of WHILE loop scope",
                  L"WHILE loop closed outside of CONDITIONAL or REPEAT or FOR EACH loop scope");
        } else if (name == L"Repeat") {
            ++openers_[kRepeat];
            Open(kRepeat);
        } else if (name == L"Until") {
            Close(kRepeat, i, L"REPEAT loop closed outside of REPEAT loop scope",
                  L"REPEAT loop closed outside of CONDITIONAL or WHILE or FOR EACH loop scope");
        } else if (name == L"For Each") {
            const std::wstring& variable = c.Parameter(i, 1);
            for (const auto& active : forEachVariables_) {
                if (text::SameText(active, variable)) Fail(i, L"FOR EACH variable re-used inside nested FOR EACH loop");
            }
            forEachVariables_.push_back(variable);
            ++openers_[kForEach];
            Open(kForEach);
        } else if (name == L"Next") {
            Close(kForEach, i, L"FOR EACH loop closed outside of FOR EACH loop scope",
                  L"FOR EACH loop closed outside of CONDITIONAL or REPEAT or WHILE loop scope");
            if (!forEachVariables_.empty()) forEachVariables_.pop_back();
        } else if (name == L"Break" || name == L"Continue") {
            if (!AnyLoopOpen()) Fail(i, name + L" not allowed outside of LOOP scope");
        } else if (name == L"Label") {
            if (total_ != 0) Fail(i, L"LABEL statements cannot be nested inside loops/conditionals");
        }
    }

    std::array<int, 4> depth_{};
    std::array<int, 4> openers_{};  // While, Repeat and For Each (conditional unused)
    std::array<int, 4> closers_{};
    int ifOpeners_ = 0;  // If and Wizard Loop
    int ends_ = 0;
    int total_ = 0;
    bool wizardLoop_ = false;
    std::array<std::vector<Saved>, 4> stacks_;
    std::vector<std::wstring> forEachVariables_;
};

void Define(std::wstring_view name) {
    if (!name.empty()) SetVariable(text::Upper(name), L"", kOrigin);
}

void Require(std::size_t i, std::wstring_view parameter) {
    if (parameter.empty()) Fail(i, L"Variable required");
}

void RequireAndDefine(std::size_t i, std::wstring_view parameter) {
    Require(i, parameter);
    Define(parameter);
}

void MustExist(std::size_t i, std::wstring_view parameter) {
    if (!VariableExists(parameter)) Fail(i, L"Variable not defined: " + std::wstring(parameter));
}

// A parameter that names a variable bare or as $NAME$: the named variable must exist.
void NamedMustExist(std::size_t i, std::wstring_view parameter) {
    const std::wstring name = ReferencedName(parameter);
    if (!VariableExists(name.empty() ? std::wstring(parameter) : name)) {
        Fail(i, L"Variable not defined: " + std::wstring(parameter));
    }
}

bool IsLegalFileName(std::wstring_view name) {
    const auto cut = name.find_last_of(L"\\:");
    if (cut != std::wstring_view::npos) name.remove_prefix(cut + 1);
    return name.find_first_of(L"/*?\"<>|") == std::wstring_view::npos;
}

// The per-command rules of pass 4.
class RulesPass {
public:
    RulesPass(const container::Container& c, CompileResult& result) : c_(c), result_(result) {}

    void Run() {
        for (std::size_t i = 0; i < c_.CommandCount(); ++i) {
            result_.installMarkers.push_back(L"SKIP");
            if (!c_.IsCommentedOut(i)) Command(i);
        }
    }

private:
    const std::wstring& P(std::size_t i, std::size_t k) const { return c_.Parameter(i, k); }

    void Command(std::size_t i) {
        const std::wstring& name = c_.commandNames[i];
        if (name == L"Web Media Block") {
            std::optional<std::wstring> message;
            if (!IsLegalFileName(P(i, 1))) message = L"Web Media Block name must be a legal file name";
            if (!P(i, 1).empty() && P(i, 2).empty()) message = L"Web Media Block must have at least one download URL";
            if (message) Fail(i, *message);
        } else if (IsOneOf(name, {L"Get Folder Location", L"Check File Version", L"Get System Settings",
                                  L"Get OS or SP Level", L"Get INI File Settings", L"Get XML File Settings",
                                  L"Find All Registry", L"Find All Computers", L"Does File/Folder Exist",
                                  L"Localization Variable", L"Get Temporary File", L"Get IIS Property",
                                  L"Get IIS Site List", L"Check Disk Space", L"IIS Anonymous User"})) {
            RequireAndDefine(i, P(i, 1));
        } else if (name == L"Set Variable") {
            const std::wstring& line = P(i, 1);
            RequireAndDefine(i, std::wstring_view(line).substr(0, line.find(L"$VORP$VORP$")));
        } else if (IsOneOf(name, {L"Is MSI Setup Installed", L"Is File Locked", L"Get File Version",
                                  L"Get Environment", L"Get IIS Site Index", L"Check Process", L"Check Computer",
                                  L"Get Component State", L"Get Component Space"})) {
            RequireAndDefine(i, P(i, 2));
        } else if (name == L"Evaluate XPath Query" || name == L"Check Service") {
            RequireAndDefine(i, P(i, 3));
        } else if (name == L"Find All Files") {
            RequireAndDefine(i, P(i, 4));
        } else if (name == L"Read Registry" || name == L"Check Registry") {
            const std::wstring& p1 = P(i, 1);
            RequireAndDefine(i, std::wstring_view(p1).substr(0, p1.find(L'|')));
        } else if (name == L"Read from Text File") {
            RequireAndDefine(i, P(i, 2));
            Define(P(i, 3));
        } else if (name == L"Parse String") {
            if (P(i, 3).empty() && P(i, 4).empty()) Fail(i, L"Variable required");
            Define(P(i, 3));
            Define(P(i, 4));
        } else if (name == L"Mathematics") {
            if (P(i, 3) != L"13" && P(i, 3) != L"14") Require(i, P(i, 4));
            Define(P(i, 4));
        } else if (name == L"Evaluate Expression") {
            RequireAndDefine(i, P(i, 2));
            if (!CheckExpressionSyntax(P(i, 1))) {
                Fail(i, L"Syntax error in expression. Please review the help topic \"Evaluate Expression\" for the "
                        L"correct syntax.");
            }
        } else if (IsOneOf(name, {L"Extract 7Zip Archive", L"Test 7Zip Archive", L"List 7Zip Archive",
                                  L"Register Library"})) {
            Define(P(i, 3));
        } else if (name == L"Delete 7Zip Archive") {
            Define(P(i, 4));
        } else if (name == L"Compress 7Zip Archive") {
            Define(P(i, 10));
        } else if (IsOneOf(name, {L"Run Light Mode Setup", L"Terminate Process", L"Apply Changes"})) {
            Define(P(i, 2));
        } else if (name == L"Run Program") {
            Define(P(i, 4));
        } else if (name == L"Remote Run Program") {
            Define(P(i, 6));
        } else if (name == L"Run Program As") {
            Define(P(i, 8));
        } else if (name == L"MessageBox") {
            Define(P(i, 5));
        } else if (name == L"Apply Patch") {
            Define(P(i, 1));
        } else if (name == L"System Restore") {
            if (TextToBool(P(i, 1))) Require(i, P(i, 3));
            Define(P(i, 3));
        } else if (IsOneOf(name, {L"Convert Path", L"Convert Case", L"Extract Path", L"Replace String"})) {
            MustExist(i, P(i, 1));
        } else if (IsOneOf(name, {L"If", L"Else If", L"While", L"Until"})) {
            Require(i, P(i, 1));
            if (P(i, 2) != L"5") {
                NamedMustExist(i, P(i, 1));
                const std::wstring right = ReferencedName(P(i, 3));
                if (!right.empty() && !VariableExists(right)) Fail(i, L"Variable not defined: " + P(i, 3));
            }
        } else if (name == L"For Each") {
            Require(i, P(i, 1));
            if (VariableExists(text::Upper(P(i, 1)))) Fail(i, L"FOR EACH variable previously defined outside FOR EACH loop");
            Define(P(i, 1));
            forEachVariables_.push_back(text::Upper(P(i, 1)));
        } else if (name == L"Next") {
            if (!forEachVariables_.empty()) {
                DeleteVariable(forEachVariables_.back());
                forEachVariables_.pop_back();
            }
        } else if (name == L"GoTo Label") {
            const std::wstring label = text::Upper(P(i, 1));
            bool found = false;
            for (const auto& l : result_.labels) found = found || l == label;
            if (!found) Fail(i, L"LABEL undefined: " + P(i, 1));
        } else if (name == L"Display Dialog") {
            if (P(i, 1).empty()) Fail(i, L"Dialog name not specified");
            Define(P(i, 2));
            if (!P(i, 4).empty()) NamedMustExist(i, P(i, 4));
        } else if (name == L"Install Files") {
            if (P(i, 3).empty()) {
                Fail(i, L"A target folder must be specified for files that are being installed.\rThe value "
                        L"$TARGETDIR$ represents the destination folder chosen by the user.");
            }
            Mark(i);
        } else if (name == L"Delete Files") {
            if (!TextToBool(P(i, 3)) && !TextToBool(P(i, 4))) Fail(i, L"At least one delete mode must be selected");
            Mark(i);
        } else if (IsOneOf(name, {L"Copy/Move Local Files", L"Create Folder", L"Create Shortcut",
                                  L"Advertised Shortcut", L"Edit INI File", L"Install Assembly", L"Set Environment",
                                  L"Install Service", L"Install ODBC Driver", L"Create ODBC DSN", L"Control Service",
                                  L"Write Registry", L"Create File Type", L"Advertised File Type"})) {
            Mark(i);
        }
    }

    void Mark(std::size_t i) { result_.installMarkers[i] = L"FALSE"; }

    const container::Container& c_;
    CompileResult& result_;
    std::vector<std::wstring> forEachVariables_;
};

}  // namespace

CompileResult CompileScript(const container::Container& c) {
    CompileResult result;
    ClearVariables();
    try {
        DefineEngineNames();

        StructurePass structure;
        structure.Run(c);
        structure.CheckBalance();

        // Labels, over every command: a commented-out Label still counts.
        for (std::size_t i = 0; i < c.CommandCount(); ++i) {
            if (c.commandNames[i] != L"Label") continue;
            const std::wstring label = text::Upper(c.Parameter(i, 1));
            for (const auto& l : result.labels) {
                if (l == label) Fail(i, L"LABEL re-defined: " + c.Parameter(i, 1));
            }
            result.labels.push_back(label);
        }

        // Persisted variables exist from the start, wherever they are set.
        for (std::size_t i = 0; i < c.CommandCount(); ++i) {
            if (c.commandNames[i] != L"Set Variable") continue;
            const std::wstring& line = c.Parameter(i, 1);
            const auto marker = line.find(L"$VORP$VORP$");
            if (marker == std::wstring::npos || line.substr(marker + 11) != L"TRUE") continue;
            const std::wstring name = line.substr(0, marker);
            if (!VariableExists(name)) Define(name);
        }

        RulesPass(c, result).Run();

        bool wizardLoop = false;
        for (std::size_t i = 0; i < c.CommandCount(); ++i) {
            if (c.IsCommentedOut(i)) continue;
            const std::wstring& name = c.commandNames[i];
            if (name == L"Wizard Loop") {
                wizardLoop = true;
            } else if (wizardLoop) {
                if (name == L"End") {
                    wizardLoop = false;
                } else if (!IsOneOf(name, {L"Display Dialog", L"Comment", L"Ignore"})) {
                    Fail(i, L"Statements other than DISPLAY DIALOG not allowed inside WIZARD LOOP");
                }
            }
        }
        result.message = L"Script compiled successfully";
    } catch (const CompileError& e) {
        result.index = e.index;
        result.message = e.message;
    }
    return result;
}

}  // namespace velmora::engine
