// Until the start-up windows are drawn, start-up runs without them: the calls
// keep their places in the sequence and show nothing.
#include "startup/startup_windows.hpp"

namespace velmora {

void ShowStartupWindows(const std::wstring&) {}
void SetStartupProgress(int, int) {}
void LoadStartupLogo(const std::wstring&) {}
void CloseStartupWindows() {}
void* StartupOwnerWindow() { return nullptr; }

}  // namespace velmora
