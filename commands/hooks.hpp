// Calls from the portable command handlers into parts that arrive later or
// live in the Windows build. An empty hook does nothing.
#pragma once

#include "commands/command.hpp"

#include <string>

namespace velmora::commands {

struct CommandHooks {
    // The translation of parameter k of the command, when a language is active.
    std::wstring (*translate)(const CommandContext& command, std::size_t k) = nullptr;
    // Native logging to this path starts ("" ends it); false when it cannot start.
    bool (*nativeLogging)(const std::wstring& path) = nullptr;
    // The progress display: position 0 to 100 and its text.
    void (*progress)(int position, const std::wstring& text) = nullptr;
};

CommandHooks& Hooks();

}  // namespace velmora::commands
