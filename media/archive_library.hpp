// The engine's binding to the archive library qox.lib: the module, loaded
// once per process, and its exports bound by name.
#pragma once

#include "qox/api.hpp"

#include <string>

namespace velmora::media {

struct ArchiveLibrary {
    qox::Set7zipDllDirectoryFn Set7zipDllDirectory = nullptr;
    qox::TestArchiveFn TestArchive = nullptr;
    qox::OpenListArchiveFn OpenListArchive = nullptr;
    qox::CloseListArchiveFn CloseListArchive = nullptr;
    qox::ExtractArchiveFn ExtractArchive = nullptr;
    qox::CreateArchiveFn CreateArchive = nullptr;
    qox::DeleteFromArchiveFn DeleteFromArchive = nullptr;
    qox::GetLastArchiveErrorFn GetLastArchiveError = nullptr;
};

// Loads qox.lib from this folder (once per process) and points it at the
// folder where it keeps 7z.dll. False when it cannot be loaded.
bool LoadArchiveLibrary(const std::wstring& folder);

// The bound library; null until LoadArchiveLibrary succeeded.
const ArchiveLibrary* TheArchiveLibrary();

// "#" and the library's last error code, as every archive failure is reported.
std::wstring LastArchiveErrorText();

// Where the library keeps 7z.dll: the local application-data folder (the
// roaming one when that is empty) + "REZUZ\".
std::wstring SevenZipFolder();

}  // namespace velmora::media
