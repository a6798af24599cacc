// Named queries of the operating system, the machine and the user, shared by
// the predefined variables, Get Folder Location and the system query
// commands. Every query reads the live system when it is called (nothing is
// cached) and turns a failure into its "not available" value; none throws.
#pragma once

#include "startup/session.hpp"
#include "sysinfo/os_level.hpp"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace velmora::sysinfo {

// Versions.
// The system's own version record (independent of the program's manifest),
// with the older family's 4.10 build rule applied.
OsVersion QueryOsVersion();
int ServicePackLevel();
bool IsServer();
bool IsUpdate1();
bool IsLaterTen();
std::wstring OSLevelName();

// Platform.
bool IsWindows64();
std::wstring ProcessorArchitecture();  // "X86", "IA64", "AMD64" or "UNKNOWN"
int ProcessorCount();
bool IsTabletPC();
bool IsMediaCenter();

// User. Relative identifiers of the built-in groups.
enum class BuiltinGroup : std::uint32_t {
    Administrators = 544,
    Users = 545,
    Guests = 546,
    PowerUsers = 547,
};
bool IsGroupMember(BuiltinGroup group);
bool IsElevated();
bool IsAdmin();
std::wstring UserRights();  // "ADMIN", "POWER", "USER", "GUEST" or "ERROR"
std::wstring UserName();
std::wstring UserDomain();
std::wstring ComputerName();
std::wstring RegisteredOwner();
std::wstring RegisteredOrganization();

struct Language {
    std::uint16_t id = 0;  // 0 when the version resource cannot be read
    std::wstring name;
};
Language SystemLanguage();

// Display and memory.
int ScreenWidth();
int ScreenHeight();
int ScreenDPI();  // -1 without a screen context
int ColorDepth();
std::uint64_t TotalPhysicalMemory();
std::uint64_t TotalPhysicalMemoryMB();

// Machine type.
bool IsVMware();
bool IsVirtualPC();
std::wstring BaseboardText();
bool IsHyperV();
bool IsPhysicalMachine();
bool IsSolidStateVolume(const std::wstring& path);

// Software versions.
DottedVersion BrowserDllVersion();       // 0.0.0.0 when shdocvw.dll is missing
DottedVersion BrowserRegistryVersion();  // 0.0.0.0 when the value is missing
// major * 10 + minor; nullopt when no web server is installed.
std::optional<int> WebServerVersion();

// Folders; each ends with a backslash, or is empty when the system has none.
// `view` is the registry view in force (0 for the process's own,
// KEY_WOW64_64KEY in 64-bit mode): program files and common files are read
// from the registry in it.
std::wstring SpecialFolder(int csidl, REGSAM view = 0);
std::wstring DefaultProgramFolder(REGSAM view = 0);
std::wstring SystemFolder();
std::wstring WindowsFolder();
std::wstring Wow64SystemFolder();

}  // namespace velmora::sysinfo
