#include "startup/command_line.hpp"

#include "core/text.hpp"

namespace velmora {
namespace {

bool IsBlank(wchar_t c) { return c <= L' '; }

// "/word" or "-word", the whole of it, without regard to case.
bool IsExactSwitch(std::wstring_view arg, std::wstring_view word) {
    return arg.size() == word.size() + 1 && (arg[0] == L'/' || arg[0] == L'-') &&
           text::SameText(arg.substr(1), word);
}

// A path switch may stand anywhere in its argument. The value is the whole
// argument lower-cased with its first three characters dropped, so it is
// the text after the switch when the argument begins with it. Only the first
// argument that holds the switch counts.
void TakePathSwitch(const std::wstring& lowered, std::initializer_list<std::wstring_view> switches,
                    bool& taken, std::wstring& value) {
    if (taken) return;
    for (auto s : switches) {
        if (lowered.find(s) != std::wstring::npos) {
            taken = true;
            value = lowered.size() > 3 ? lowered.substr(3) : std::wstring();
            return;
        }
    }
}

}  // namespace

std::vector<std::wstring> SplitArguments(std::wstring_view raw) {
    std::vector<std::wstring> args;
    std::size_t i = 0;
    while (true) {
        while (i < raw.size() && IsBlank(raw[i])) ++i;
        if (i >= raw.size()) break;
        std::wstring arg;
        bool quoted = false;
        for (; i < raw.size(); ++i) {
            const wchar_t c = raw[i];
            if (c == L'"') {
                if (quoted && i + 1 < raw.size() && raw[i + 1] == L'"') {
                    arg.push_back(L'"');
                    ++i;
                } else {
                    quoted = !quoted;
                }
            } else if (!quoted && IsBlank(c)) {
                break;
            } else {
                arg.push_back(c);
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::wstring CommandLineText(std::wstring_view raw) {
    if (!raw.empty() && raw[0] == L'"') {
        const auto close = raw.find(L'"', 1);
        if (close == std::wstring_view::npos || close + 2 > raw.size()) return {};
        return std::wstring(raw.substr(close + 2));
    }
    const auto space = raw.find(L' ');
    if (space == std::wstring_view::npos) return {};
    return std::wstring(raw.substr(space + 1));
}

CommandLine ParseCommandLine(std::wstring_view raw) {
    CommandLine cl;
    cl.text = CommandLineText(raw);
    const auto args = SplitArguments(raw);
    if (args.size() >= 2 && args[1] == L"OutOfProcessExtract") {
        cl.outOfProcessExtract = true;
        cl.parameterFile = args.size() >= 3 ? args[2] : std::wstring();
        return cl;
    }
    bool traceTaken = false, gpoTaken = false, wrapperTaken = false, mediaTaken = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (IsExactSwitch(arg, L"s") || IsExactSwitch(arg, L"qn")) {
            cl.silent = true;
            cl.noStartupWindows = true;
        } else if (IsExactSwitch(arg, L"update") || IsExactSwitch(arg, L"updatesetup")) {
            cl.noStartupWindows = true;
        }
        const std::wstring lowered = text::Lower(arg);
        TakePathSwitch(lowered, {L"/g="}, gpoTaken, cl.gpoPath);
        TakePathSwitch(lowered, {L"/m="}, wrapperTaken, cl.wrapperPath);
        TakePathSwitch(lowered, {L"/l=", L"-l="}, traceTaken, cl.tracePath);
        TakePathSwitch(lowered, {L"/p=", L"-p="}, mediaTaken, cl.mediaOverride);
        if (!arg.empty() && arg[0] != L'/' && arg[0] != L'-') {
            const auto eq = arg.find(L'=');
            if (eq != std::wstring::npos) {
                cl.assignments.push_back(text::Upper(std::wstring_view(arg).substr(0, eq)));
                cl.assignments.push_back(arg.substr(eq + 1));
            }
        }
    }
    return cl;
}

}  // namespace velmora
