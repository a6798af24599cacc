// The start-up windows: the optional splash picture and the small progress
// window shown while the engine prepares. Start-up calls them here and only
// here; the windows themselves are drawn by the start-up window module.
#pragma once

#include <string>

namespace velmora {

// Creates and shows the windows (the splash only when the picture exists).
void ShowStartupWindows(const std::wstring& splashPicture);
// The progress window's bar.
void SetStartupProgress(int maximum, int position);
// Loads a logo picture into the progress window, when it is shown and has one.
void LoadStartupLogo(const std::wstring& picture);
// Hides and destroys both windows.
void CloseStartupWindows();
// The progress window (owner of start-up message boxes), or null.
void* StartupOwnerWindow();

}  // namespace velmora
