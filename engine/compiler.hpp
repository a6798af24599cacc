// Script compilation: one check of the whole command list before the first
// command runs. It verifies the block structure, the labels, the variables
// that commands write and read, and a few parameter rules, and fills the
// label list and the install-marker list that the run uses.
//
// Compilation uses the variable store to track the names defined so far; the
// store is emptied first, and the run empties it again afterwards.
#pragma once

#include "container/container.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::engine {

// The result index of a structural imbalance found at the end of the list.
inline constexpr std::int64_t kImbalanceIndex = 2147483644;

struct CompileResult {
    std::int64_t index = -1;                  // -1, or the offending command's index
    std::wstring message;                     // "Script compiled successfully" or the error
    std::vector<std::wstring> labels;         // upper-cased label names, in command order
    std::vector<std::wstring> installMarkers; // per command: "SKIP", or "FALSE" for an installing command

    bool Succeeded() const { return index == -1; }
};

CompileResult CompileScript(const container::Container& container);

}  // namespace velmora::engine
