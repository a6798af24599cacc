// The engine's built-in messages: numbered translatable texts with English
// defaults. Translations arrive at start-up as a file written from the bytes
// that follow the archive library's image.
#pragma once

#include <functional>
#include <string>

namespace velmora::l10n {

// Loads the built-in message translations from this file. Until the message
// tables exist, the loader only hands the file to the observer below.
void LoadBuiltinMessages(const std::wstring& file);

// Called with each file the loader is given (tests use it to see the file
// while it exists).
void SetBuiltinMessagesObserver(std::function<void(const std::wstring& file)> observer);

}  // namespace velmora::l10n
