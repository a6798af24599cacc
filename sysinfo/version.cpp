// Version and platform queries.
#include "sysinfo/sysinfo.hpp"

#include "win/module.hpp"
#include "win/registry.hpp"

namespace velmora::sysinfo {
namespace {

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
using GetNativeSystemInfoFn = void(WINAPI*)(SYSTEM_INFO*);

// The record as the kernel reports it. The documented version query answers
// 6.2 for every later Windows in a program whose manifest does not list it
// (test programs, helper executables); the kernel's own answer does not
// depend on the manifest.
bool FromKernel(OSVERSIONINFOEXW& info) {
    const auto query = win::SystemFunction<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
    if (query == nullptr) return false;
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return query(&info) == 0;
}

bool FromVersionQuery(OSVERSIONINFOEXW& info) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return true;
    // Systems before the extended record know only the short one.
    info = {};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    return ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)) != FALSE;
#pragma GCC diagnostic pop
}

}  // namespace

OsVersion QueryOsVersion() {
    OsVersion os;
    OSVERSIONINFOEXW info{};
    if (!FromKernel(info) && !FromVersionQuery(info)) return os;
    os.major = info.dwMajorVersion;
    os.minor = info.dwMinorVersion;
    os.build = info.dwBuildNumber;
    os.platformId = info.dwPlatformId;
    info.szCSDVersion[std::size(info.szCSDVersion) - 1] = L'\0';
    os.servicePack = info.szCSDVersion;
    os.servicePackMajor = info.wServicePackMajor;
    os.servicePackMinor = info.wServicePackMinor;
    os.suiteMask = info.wSuiteMask;
    os.productType = info.wProductType;
    ApplyOlderFamilyBuildRule(os);
    return os;
}

int ServicePackLevel() { return ServicePackLevel(QueryOsVersion()); }

bool IsServer() { return IsServer(QueryOsVersion()); }

bool IsUpdate1() {
    const auto lab = win::ReadStringValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                          L"BuildLabEx");
    return lab && IsUpdate1BuildLab(*lab);
}

bool IsLaterTen() { return IsLaterTen(QueryOsVersion()); }

std::wstring OSLevelName() {
    const OsVersion os = QueryOsVersion();
    // The registry is read only where the answer depends on it.
    const bool update1 = IsNtFamily(os) && os.major == 6 && os.minor == 3 && IsUpdate1();
    return OSLevelName(os, update1);
}

bool IsWindows64() {
    const auto query = win::SystemFunction<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return query != nullptr && query(::GetCurrentProcess(), &wow64) && wow64;
}

std::wstring ProcessorArchitecture() {
    const auto query = win::SystemFunction<GetNativeSystemInfoFn>(L"kernel32.dll", "GetNativeSystemInfo");
    if (query == nullptr) return L"X86";
    SYSTEM_INFO info{};
    query(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_INTEL: return L"X86";
    case PROCESSOR_ARCHITECTURE_IA64: return L"IA64";
    case PROCESSOR_ARCHITECTURE_AMD64: return L"AMD64";
    default: return L"UNKNOWN";
    }
}

int ProcessorCount() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return static_cast<int>(info.dwNumberOfProcessors);
}

bool IsTabletPC() { return ::GetSystemMetrics(SM_TABLETPC) != 0; }
bool IsMediaCenter() { return ::GetSystemMetrics(SM_MEDIACENTER) != 0; }

}  // namespace velmora::sysinfo
