// The session: everything that more than one module needs about this run,
// one instance per process. It is written by the main thread (start-up and
// the script); worker threads only read it.
#pragma once

#include "container/container.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// The Windows version as the version query reports it.
struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t build = 0;
    std::uint32_t platformId = 0;
    std::wstring servicePack;
    std::uint16_t servicePackMajor = 0;
    std::uint16_t servicePackMinor = 0;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;
};

struct Session {
    // Folders; every folder path ends with a backslash.
    std::wstring engineFolder;
    std::wstring engineBaseName;
    std::wstring tempFolder;
    std::wstring supportFolder;
    std::wstring dataFolder;         // the current media folder; media commands may change it
    std::wstring initialDataFolder;  // as start-up set it, for bootstrap
    std::wstring supportArchivePath;
    std::wstring msiPackage;         // the Windows Installer package in the support folder (MSIFILE)

    // Command line.
    std::wstring commandLineText;
    std::vector<std::wstring> commandLineAssignments;  // name, value, name, value ...
    std::wstring gpoPath;
    std::wstring wrapperPath;
    std::wstring mediaOverride;

    // Run flags, refreshed from SILENT, LOGGED, TITLE and VORPLOGO before
    // every command. The trace log path itself is kept by the trace log.
    bool silent = false;
    std::wstring captionTitle;
    bool captionLogo = false;

    // Start-up windows (window handles, owned by start-up).
    void* progressWindow = nullptr;
    void* splashWindow = nullptr;

    OsVersion os;

    // The container lists, from the container read until start-up frees them.
    std::unique_ptr<container::Container> container;

    // The session platform: "Win32", "x64" or "ia64"; "Win32" at the start
    // of every script run, changed by Set 64 Bit Mode.
    std::wstring platform = L"Win32";

    // Set by the script: variables kept with the installed product, and the
    // download timeout in seconds.
    std::vector<std::wstring> persistedVariables;
    int downloadTimeout = 10;

    std::uint32_t exitCode = 0;
};

// The session of this process.
Session& TheSession();

// Puts the session back as unit initialisation left it (tests use this).
void ResetSession();

// The caption of every message box the engine shows: the title alone when
// VORPLOGO is "TRUE"; otherwise "<title> - Velmora Wizard", or
// "Velmora Wizard" without a title.
std::wstring MessageCaption();

}  // namespace velmora
