// The work behind each export; each throws Failure with the call's code.
#pragma once

#include "qox/operation.hpp"

namespace velmora::qox {

void Extract(Operation& op, const std::wstring& archive, DWORD mode, const std::wstring& destination,
             const TargetFiles* targets, DWORD pathFlag, OverwriteCallback overwrite);
void Test(Operation& op, const std::wstring& archive);

// The list behind an OpenListArchive handle: paths and their 48-byte entries.
struct ItemList {
    std::vector<std::wstring> paths;
    std::vector<ListItem> entries;
};
ItemList* OpenList(Operation& op, const std::wstring& archive);

void Create(Operation& op, const std::wstring& archive, DWORD modeCode, const TargetFiles* includes,
            const TargetFiles* excludes, DWORD pathMode, const wchar_t* switches);
void Delete(Operation& op, const std::wstring& archive, DWORD mode, const TargetFiles* targets);

// The file list's entries; an invalid list throws Failure.
std::vector<std::wstring> ListEntries(const TargetFiles* list);

}  // namespace velmora::qox
