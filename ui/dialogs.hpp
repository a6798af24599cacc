// The dialog registry: one page per Display Dialog command, registered at
// start-up under the command's index.
//
// The dialog runtime that builds the pages from their definition files comes
// with the page runtime; until then the registry records the keys and the
// definition paths that start-up hands it.
#pragma once

#include <string>
#include <vector>

namespace velmora::ui {

struct DialogEntry {
    std::wstring key;             // the Display Dialog command's index, in decimal
    std::wstring definitionPath;  // support folder + dialog name + ".dfm"
};

// Records the support folder and creates the empty registry.
void InitDialogs(const std::wstring& supportFolder);

// Registers the page of one command. Returns the page's window handle, or -1
// when the definition cannot be loaded; while no page is built, 0.
long long RegisterDialog(const std::wstring& key, const std::wstring& definitionPath);

// What the registry holds (start-up and tests read it).
const std::vector<DialogEntry>& RegisteredDialogs();
const std::wstring& DialogSupportFolder();

// Empties the registry after the script has ended.
void ReleaseDialogs();

}  // namespace velmora::ui
