// The engine's command line: the mode, the switches, the path switches and
// the NAME=VALUE assignments.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct CommandLine {
    // "OutOfProcessExtract <parameter file>" as the first two arguments.
    bool outOfProcessExtract = false;
    std::wstring parameterFile;

    bool silent = false;             // s or qn
    bool noStartupWindows = false;   // s, qn, update or updatesetup
    std::wstring tracePath;          // /l= or -l=
    std::wstring gpoPath;            // /g=
    std::wstring wrapperPath;        // /m=
    std::wstring mediaOverride;      // /p= or -p=
    std::vector<std::wstring> assignments;  // name, value, name, value ...

    // The command line without the program path.
    std::wstring text;
};

// Splits a raw command line into arguments, the program path first. Blanks
// separate arguments; double quotes group blanks into an argument and are
// removed (two double quotes inside a quoted part stand for one).
std::vector<std::wstring> SplitArguments(std::wstring_view raw);

// The command line without the program path: after the closing quote and the
// character after it when it starts with a quote, else after the first blank,
// else nothing.
std::wstring CommandLineText(std::wstring_view raw);

CommandLine ParseCommandLine(std::wstring_view raw);

}  // namespace velmora
