#include "sysinfo/os_level.hpp"

#include "core/text.hpp"

namespace velmora::sysinfo {
namespace {

// Version 4.10 in the high word, build 2222 in the low word.
constexpr std::uint32_t kSecondEditionBuild = 0x040A08AE;

bool Is(const OsVersion& os, std::uint32_t major, std::uint32_t minor) {
    return os.major == major && os.minor == minor;
}

}  // namespace

void ApplyOlderFamilyBuildRule(OsVersion& os) {
    if (IsOlderFamily(os) && Is(os, 4, 10) && os.build >= kSecondEditionBuild) os.minor = 11;
}

bool IsNtFamily(const OsVersion& os) { return os.platformId == kPlatformNt; }
bool IsOlderFamily(const OsVersion& os) { return os.platformId == kPlatformOlder; }

int ServicePackLevel(std::wstring_view servicePackText) {
    for (int n = 10; n >= 1; --n) {
        if (servicePackText.find(std::to_wstring(n)) != std::wstring_view::npos) return n;
    }
    return 0;
}

bool IsServer(const OsVersion& os) { return IsNtFamily(os) && os.productType != kProductWorkstation; }

bool IsLaterTen(const OsVersion& os) { return os.build > 10585; }

bool IsUpdate1BuildLab(std::wstring_view buildLabEx) {
    const auto first = buildLabEx.find(L'.');
    if (first == std::wstring_view::npos) return false;
    const auto second = buildLabEx.find(L'.', first + 1);
    if (second == std::wstring_view::npos) return false;
    const auto number = text::ParseInt64(buildLabEx.substr(first + 1, second - first - 1));
    return number && *number > 17030;
}

std::wstring OSLevelName(const OsVersion& os, bool isUpdate1) {
    if (IsNtFamily(os)) {
        const bool server = IsServer(os);
        if (Is(os, 4, 0)) return L"NT4";
        if (Is(os, 5, 0)) return L"2000";
        if (Is(os, 5, 1)) return L"XP";
        if (Is(os, 5, 2)) return server ? L"2003" : L"XP";  // XP Professional x64 is 5.2 too
        if (Is(os, 6, 0)) return server && ServicePackLevel(os) >= 1 ? L"2008" : L"VISTA";
        if (Is(os, 6, 1)) return server ? L"2008R2" : L"SEVEN";
        if (Is(os, 6, 2)) return server ? L"SERVER8" : L"METRO";
        if (Is(os, 6, 3)) {
            if (server) return isUpdate1 ? L"SERVER8R2U1" : L"SERVER8R2";
            return isUpdate1 ? L"METROR2U1" : L"METROR2";
        }
        if (Is(os, 6, 4) || Is(os, 10, 0)) {
            if (server) return L"SERVERTEN";
            return IsLaterTen(os) ? L"TENTWO" : L"TEN";
        }
        return L"UNKNOWN";
    }
    if (IsOlderFamily(os) && os.major == 4) {
        switch (os.minor) {
        case 0: return L"95";
        case 10: return L"98";
        case 11: return L"98SE";
        case 90: return L"ME";
        default: break;
        }
    }
    return L"UNKNOWN";
}

DottedVersion SplitDottedVersion(std::wstring_view text) {
    DottedVersion v{};
    for (std::size_t i = 0; i < v.size() && !text.empty(); ++i) {
        const auto dot = text.find(L'.');
        const auto part = text.substr(0, dot);
        const auto number = text::ParseInt64(part);
        v[i] = number && *number >= 0 && *number <= 0xFFFFFFFFLL ? static_cast<std::uint32_t>(*number) : 0;
        if (dot == std::wstring_view::npos) break;
        text.remove_prefix(dot + 1);
    }
    return v;
}

std::wstring DottedVersionText(const DottedVersion& v) {
    return std::to_wstring(v[0]) + L"." + std::to_wstring(v[1]) + L"." + std::to_wstring(v[2]) + L"." +
           std::to_wstring(v[3]);
}

}  // namespace velmora::sysinfo
