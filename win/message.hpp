// Message boxes of the engine: always with the engine's caption.
#pragma once

#include <string>

namespace velmora::win {

// An error box, unless the run is silent. Owner may be null.
void ShowError(const std::wstring& text, void* owner = nullptr);

}  // namespace velmora::win
