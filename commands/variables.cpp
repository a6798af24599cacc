// Variable and string commands: Set Variable, Convert Case, Replace String,
// Parse String, Extract Path; and the expression commands Evaluate
// Expression and Mathematics. (Convert Path and Get Temporary File touch the
// file system: commands/variables_win.cpp.)
#include "commands/command.hpp"
#include "commands/hooks.hpp"

#include "core/script_error.hpp"
#include "core/text.hpp"
#include "startup/session.hpp"
#include "vars/eval.hpp"
#include "vars/expand.hpp"
#include "vars/mathematics.hpp"
#include "vars/variables.hpp"

#include <algorithm>

namespace velmora::commands {
namespace {

std::wstring TrimBlanks(std::wstring_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && static_cast<std::uint32_t>(s[b]) <= 0x20) ++b;
    while (e > b && static_cast<std::uint32_t>(s[e - 1]) <= 0x20) --e;
    return std::wstring(s.substr(b, e - b));
}

void SetVariableCommand(CommandContext& c) {
    const std::wstring value = ExpandVariables(Hooks().translate ? Hooks().translate(c, 2) : c.Parameter(2));
    const SetVariableTarget target = SplitSetVariableTarget(c.Parameter(1));
    const std::wstring& name = target.name;
    if (!VariableExists(name)) SetVariable(text::Upper(name), L"", c.Origin());
    std::wstring stored = value;
    if (text::SameText(name, L"NATIVE_LOGGING") && stored != GetVariable(name)) {
        if (Hooks().nativeLogging && !Hooks().nativeLogging(stored)) stored.clear();
    }
    AssignVariable(name, stored, c.Origin());
    Session& session = TheSession();
    if (target.persist) {
        const bool known = std::any_of(session.persistedVariables.begin(), session.persistedVariables.end(),
                                       [&](const std::wstring& v) { return text::SameText(v, name); });
        if (!known) session.persistedVariables.push_back(name);
    }
    if (text::SameText(name, L"ABORT")) AssignVariable(L"VORP_IsCancelled", stored, c.Origin());
    if (text::SameText(name, L"VORP_TIMEOUT")) session.downloadTimeout = text::ParseInt32(stored).value_or(10);
    if ((text::SameText(name, L"PROGRESS") || text::SameText(name, L"PROGRESSTEXT")) && Hooks().progress) {
        const int position = std::clamp(text::ParseInt32(GetVariable(L"PROGRESS")).value_or(0), 0, 100);
        Hooks().progress(position, GetVariable(L"PROGRESSTEXT"));
    }
}

void ConvertCase(CommandContext& c) {
    const std::wstring& name = c.Parameter(1);
    const std::wstring value = ExpandPath(GetVariable(name));
    c.Assign(name, c.Parameter(2) == L"TRUE" ? text::Upper(value) : text::Lower(value));
}

// Left to right, without overlap; the first occurrence or every one.
std::wstring ReplaceIn(const std::wstring& value, const std::wstring& find, const std::wstring& with, bool ignoreCase,
                       bool all) {
    if (find.empty()) return value;
    // The full case mapping keeps every character's position, so the
    // matches found in upper-cased copies cut the original text.
    const std::wstring hay = ignoreCase ? text::Upper(value) : std::wstring();
    const std::wstring needle = ignoreCase ? text::Upper(find) : std::wstring();
    const std::wstring& h = ignoreCase ? hay : value;
    const std::wstring& n = ignoreCase ? needle : find;
    std::wstring out;
    std::size_t from = 0;
    for (auto at = h.find(n); at != std::wstring::npos; at = h.find(n, from)) {
        out.append(value, from, at - from);
        out += with;
        from = at + n.size();
        if (!all) break;
    }
    out.append(value, from, std::wstring::npos);
    return out;
}

void ReplaceString(CommandContext& c) {
    const std::wstring name = VariableNameOf(c.Parameter(1));
    const std::wstring value = EncodeNewlines(GetVariable(name));
    const std::wstring find = EncodeNewlines(c.Text(2));
    const std::wstring with = EncodeNewlines(c.Text(3));
    SetVariable(text::Upper(name), ReplaceIn(value, find, with, TextToBool(c.Parameter(4)), TextToBool(c.Parameter(5))),
                c.Origin());
}

void ParseString(CommandContext& c) {
    const std::wstring s = ExpandPath(c.Text(1));
    const std::wstring d = ExpandPath(c.Text(2));
    const std::wstring& first = c.Parameter(3);
    const std::wstring& second = c.Parameter(4);
    for (const std::wstring* v : {&first, &second}) {
        if (!v->empty() && !VariableExists(*v)) SetVariable(text::Upper(*v), L"", c.Origin());
    }
    const bool ignoreCase = TextToBool(c.Parameter(7));
    const std::wstring hay = ignoreCase ? text::Lower(s) : s;
    const std::wstring needle = ignoreCase ? text::Lower(d) : d;

    // Positions count from 1, as the cut rules are written.
    const auto length = static_cast<std::int64_t>(s.size());
    std::int64_t p = 0, skip = 1, adjust = 1;
    switch (text::ParseInt32(c.Parameter(5)).value_or(-1)) {
        case 0: {
            skip = static_cast<std::int64_t>(d.size());
            const auto at = needle.empty() ? std::wstring::npos : hay.find(needle);
            p = at == std::wstring::npos ? length + 1 : static_cast<std::int64_t>(at) + 1;
            break;
        }
        case 1: {
            skip = static_cast<std::int64_t>(d.size());
            const auto at = needle.empty() ? std::wstring::npos : hay.rfind(needle);
            if (at == std::wstring::npos) {
                p = 1;
                skip = 0;
            } else {
                p = static_cast<std::int64_t>(at) + 1;
            }
            break;
        }
        case 2: {
            adjust = 0;
            const auto count = text::ParseInt32(d);
            p = count.value_or(0);
            if (count && *count == 0) p = 1, adjust = 1, skip = -1;
            break;
        }
        case 3: {
            adjust = 0;
            const auto count = text::ParseInt32(d);
            p = count ? length - *count : 0;
            break;
        }
        default:
            break;
    }
    std::wstring a, b;
    if (p != 0) {
        const std::int64_t take = std::min(p - adjust, length);
        if (take > 0) a = s.substr(0, static_cast<std::size_t>(take));
        const std::int64_t start = std::max<std::int64_t>(p + skip, 1);
        if (start <= length) b = s.substr(static_cast<std::size_t>(start - 1));
    }
    if (TextToBool(c.Parameter(6))) {
        a = TrimBlanks(a);
        b = TrimBlanks(b);
    }
    if (!first.empty()) SetVariable(text::Upper(first), a, c.Origin());
    if (!second.empty()) SetVariable(text::Upper(second), b, c.Origin());
}

// The folder part of a path, up to and including its last backslash or colon.
std::wstring FolderPart(const std::wstring& path) {
    const auto cut = path.find_last_of(L"\\:");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::wstring WithBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path.push_back(L'\\');
    return path;
}

std::wstring DrivePart(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
    if (path.rfind(L"\\\\", 0) == 0) {
        // A network path: the server and the share.
        const auto server = path.find(L'\\', 2);
        if (server == std::wstring::npos) return path;
        const auto share = path.find(L'\\', server + 1);
        return share == std::wstring::npos ? path : path.substr(0, share);
    }
    return {};
}

void ExtractPath(CommandContext& c) {
    const std::wstring& name = c.Parameter(1);
    const std::wstring path = ExpandPath(GetVariable(name));
    const auto code = text::ParseInt32(c.Parameter(2));
    if (!code) throw ScriptError("'" + text::ToUtf8(c.Parameter(2)) + "' is not a valid integer value");
    const auto cut = path.find_last_of(L"\\:");
    const std::wstring file = cut == std::wstring::npos ? path : path.substr(cut + 1);
    const auto dot = file.rfind(L'.');
    std::wstring result;
    switch (*code) {
        case 0: result = file; break;
        case 1: result = dot == std::wstring::npos ? file : file.substr(0, dot); break;
        case 2: result = dot == std::wstring::npos ? std::wstring() : file.substr(dot + 1); break;
        case 3: result = WithBackslash(FolderPart(path)); break;
        case 4: {
            std::wstring folder = FolderPart(path);
            if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
            result = WithBackslash(FolderPart(folder));
            break;
        }
        case 5: result = WithBackslash(DrivePart(path)); break;
        case 6: {
            for (std::size_t i = 0; i < path.size(); ++i) {
                result.push_back(path[i]);
                if (path[i] == L'\\' && i + 1 < path.size() && path[i + 1] == L'\\') ++i;
            }
            break;
        }
        default: result = path; break;
    }
    c.Assign(name, result);
}

void EvaluateExpressionCommand(CommandContext& c) { RunEvaluateExpression(c.Parameter(1), c.Parameter(2)); }

// Mathematics often counts a loop: its lines are analysed on its first run.
struct MathematicsCache : CommandCache {
    explicit MathematicsCache(const CommandContext& c)
        : prepared(c.Parameter(1), c.Parameter(2), c.Parameter(3), c.Parameter(4)) {}
    PreparedMathematics prepared;
};

void MathematicsCommand(CommandContext& c) {
    text::DecimalBuffer result;
    c.Cached<MathematicsCache>([&c] { return std::make_unique<MathematicsCache>(c); }).prepared.Run(result);
}

}  // namespace

void InstallCoreHandlers() {
    SetHandler(L"Set Variable", SetVariableCommand);
    SetHandler(L"Convert Case", ConvertCase);
    SetHandler(L"Replace String", ReplaceString);
    SetHandler(L"Parse String", ParseString);
    SetHandler(L"Extract Path", ExtractPath);
    SetHandler(L"Evaluate Expression", EvaluateExpressionCommand);
    SetHandler(L"Mathematics", MathematicsCommand);
}

}  // namespace velmora::commands
