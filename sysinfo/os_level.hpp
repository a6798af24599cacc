// The decisions of the version queries, over a version record: the level
// name, the service pack level and the tests they rest on. Portable (no
// system calls), so that every row can be checked without that Windows;
// sysinfo/sysinfo.hpp feeds them the live record.
#pragma once

#include "startup/session.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::sysinfo {

// Platform identifiers of the version record.
inline constexpr std::uint32_t kPlatformOlder = 1;  // the Windows 95, 98 and Me family
inline constexpr std::uint32_t kPlatformNt = 2;
// Product type of a workstation (the others are domain controller and server).
inline constexpr std::uint8_t kProductWorkstation = 1;

// The older family packs the version into the build number's high word;
// 4.10 with build 2222 or later is Windows 98 Second Edition, which the
// record then reports as minor version 11. Other records pass unchanged.
void ApplyOlderFamilyBuildRule(OsVersion& os);

bool IsNtFamily(const OsVersion& os);
bool IsOlderFamily(const OsVersion& os);

// The largest n from 10 down to 1 whose decimal text occurs in the service
// pack text; 0 when none does.
int ServicePackLevel(std::wstring_view servicePackText);
inline int ServicePackLevel(const OsVersion& os) { return ServicePackLevel(os.servicePack); }

// The product type is not workstation. The older family has no product
// type, and none of its systems is a server.
bool IsServer(const OsVersion& os);

// Builds after the first release of Windows 10's second version line.
bool IsLaterTen(const OsVersion& os);

// From the BuildLabEx registry text: the number between its first and
// second dots is above 17030 (Windows 8.1 Update 1 and later). False when
// the text lacks the dots or that part is not a number.
bool IsUpdate1BuildLab(std::wstring_view buildLabEx);

// The level name of the version record ("XP", "SEVEN", "TEN", "98SE", ...),
// "UNKNOWN" when no level applies. `isUpdate1` is asked only for 6.3.
std::wstring OSLevelName(const OsVersion& os, bool isUpdate1);

// Four numbers of a dotted version ("11.0.9600.17843"): each part before a
// dot is a decimal number; a missing or unreadable part is 0.
using DottedVersion = std::array<std::uint32_t, 4>;
DottedVersion SplitDottedVersion(std::wstring_view text);
std::wstring DottedVersionText(const DottedVersion& v);

}  // namespace velmora::sysinfo
