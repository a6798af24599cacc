// The trace log: an optional UTF-16 LE file (no byte order mark, CR LF after
// each line) with one XML-like tag line per phase of the run.
//
// Each line is written by one open-append-close sequence, so the file is
// complete at every moment and survives a crash. The first line written by
// the process makes the file anew. File errors are ignored: a line whose file
// cannot be opened is lost.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The path lines go to; empty means no trace. Start-up sets it from "/l=",
// the script engine from LOGGED before every command. Callable from any thread.
void SetTracePath(std::wstring path);
std::wstring TracePath();

// Appends one line (its indentation included). Callable from any thread.
void Trace(std::wstring_view line);

// Forgets the path and that anything was written (tests use this).
void ResetTrace();

}  // namespace velmora
