// Queries of the machine: language, display, memory, baseboard, storage.
#include "sysinfo/sysinfo.hpp"

#include "core/text.hpp"
#include "win/com.hpp"
#include "win/file.hpp"
#include "win/gdi.hpp"
#include "win/handle.hpp"
#include "win/module.hpp"
#include "win/version_info.hpp"

#include <wbemidl.h>
#include <winioctl.h>

#include <vector>

namespace velmora::sysinfo {
namespace {

using GlobalMemoryStatusExFn = BOOL(WINAPI*)(MEMORYSTATUSEX*);

bool Contains(const std::wstring& text, std::wstring_view part) { return text.find(part) != std::wstring::npos; }

// The physical disk numbers that hold the volume of the path.
std::vector<DWORD> DisksOfVolume(const std::wstring& path) {
    std::vector<wchar_t> mount(path.size() + MAX_PATH + 1);
    if (!::GetVolumePathNameW(win::LongPath(path).c_str(), mount.data(), static_cast<DWORD>(mount.size()))) return {};
    wchar_t volume[MAX_PATH + 1] = {};
    if (!::GetVolumeNameForVolumeMountPointW(mount.data(), volume, static_cast<DWORD>(std::size(volume)))) return {};
    // "\\?\Volume{...}\" names the root folder; without the backslash, the volume device.
    std::wstring device = volume;
    if (!device.empty() && device.back() == L'\\') device.pop_back();
    const win::FileHandle handle(::CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    if (!handle) return {};
    // A volume spread over more disks than the first guess says how many.
    DWORD count = 4;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<unsigned char> buffer(sizeof(VOLUME_DISK_EXTENTS) + count * sizeof(DISK_EXTENT));
        DWORD returned = 0;
        const BOOL ok = ::DeviceIoControl(handle.get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0,
                                          buffer.data(), static_cast<DWORD>(buffer.size()), &returned, nullptr);
        const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer.data());
        if (!ok) {
            if (::GetLastError() != ERROR_MORE_DATA || returned < sizeof(DWORD)) return {};
            count = extents->NumberOfDiskExtents;
            continue;
        }
        if (returned < offsetof(VOLUME_DISK_EXTENTS, Extents)) return {};
        const DWORD listed = std::min<DWORD>(
            extents->NumberOfDiskExtents,
            static_cast<DWORD>((returned - offsetof(VOLUME_DISK_EXTENTS, Extents)) / sizeof(DISK_EXTENT)));
        std::vector<DWORD> disks;
        for (DWORD i = 0; i < listed; ++i) disks.push_back(extents->Extents[i].DiskNumber);
        return disks;
    }
    return {};
}

// The disk answers that it incurs no seek penalty.
bool HasNoSeekPenalty(DWORD disk) {
    const std::wstring device = L"\\\\.\\PhysicalDrive" + std::to_wstring(disk);
    const win::FileHandle handle(::CreateFileW(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    if (!handle) return false;
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    DEVICE_SEEK_PENALTY_DESCRIPTOR answer{};
    DWORD returned = 0;
    if (!::DeviceIoControl(handle.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &answer, sizeof answer,
                           &returned, nullptr) ||
        returned < sizeof answer) {
        return false;
    }
    return !answer.IncursSeekPenalty;
}

}  // namespace

Language SystemLanguage() {
    const win::VersionResource resource(SystemFolder() + L"winver.exe");
    const auto translation = resource.FirstTranslation();
    if (!translation) return {};
    Language language;
    language.id = translation->first;
    wchar_t name[256] = {};
    const DWORD length = ::VerLanguageNameW(language.id, name, static_cast<DWORD>(std::size(name)));
    // The count includes the terminator on some systems: take the text up to it.
    if (length > 0 && length < std::size(name)) language.name = name;
    return language;
}

int ScreenWidth() { return ::GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return ::GetSystemMetrics(SM_CYSCREEN); }

int ScreenDPI() {
    const win::ScreenDc dc;
    return dc ? ::GetDeviceCaps(dc.get(), LOGPIXELSX) : -1;
}

int ColorDepth() {
    const win::ScreenDc dc;
    return dc ? ::GetDeviceCaps(dc.get(), BITSPIXEL) : 0;
}

std::uint64_t TotalPhysicalMemory() {
    MEMORYSTATUS status{};
    status.dwLength = sizeof status;
    ::GlobalMemoryStatus(&status);
    return status.dwTotalPhys;
}

std::uint64_t TotalPhysicalMemoryMB() {
    constexpr std::uint64_t kMegabyte = 1024 * 1024;
    std::uint64_t bytes = 0;
    const auto extended = win::SystemFunction<GlobalMemoryStatusExFn>(L"kernel32.dll", "GlobalMemoryStatusEx");
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (extended != nullptr && extended(&status)) {
        bytes = status.ullTotalPhys;
    } else {
        bytes = TotalPhysicalMemory();
    }
    return (bytes + kMegabyte / 2) / kMegabyte;
}

std::wstring BaseboardText() {
    const win::ComApartment apartment;
    if (!apartment.usable()) return {};
    IWbemLocator* rawLocator = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                  reinterpret_cast<void**>(&rawLocator)))) {
        return {};
    }
    const win::ComPtr<IWbemLocator> locator(rawLocator);
    const win::Bstr space(L"root\\CIMV2");
    IWbemServices* rawServices = nullptr;
    if (FAILED(locator.get()->ConnectServer(space.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                            &rawServices))) {
        return {};
    }
    const win::ComPtr<IWbemServices> services(rawServices);
    // The process-wide security defaults are not ours to set; the proxy's
    // own blanket gives the impersonation level the service wants.
    ::CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    const win::Bstr language(L"WQL");
    const win::Bstr query(L"SELECT Manufacturer, Product FROM Win32_BaseBoard");
    IEnumWbemClassObject* rawRows = nullptr;
    if (FAILED(services.get()->ExecQuery(language.get(), query.get(),
                                         WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &rawRows))) {
        return {};
    }
    const win::ComPtr<IEnumWbemClassObject> rows(rawRows);
    ::CoSetProxyBlanket(rows.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                        RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    IWbemClassObject* rawRow = nullptr;
    ULONG returned = 0;
    // A service that stops answering must not hold the setup for ever.
    constexpr LONG kTimeout = 30000;
    if (rows.get()->Next(kTimeout, 1, &rawRow, &returned) != WBEM_S_NO_ERROR || returned != 1) return {};
    const win::ComPtr<IWbemClassObject> row(rawRow);
    win::Variant manufacturer, product;
    if (FAILED(row.get()->Get(L"Manufacturer", 0, manufacturer.put(), nullptr, nullptr))) return {};
    if (FAILED(row.get()->Get(L"Product", 0, product.put(), nullptr, nullptr))) return {};
    return manufacturer.Text() + L" " + product.Text();
}

bool IsHyperV() {
    const std::wstring board = text::Lower(BaseboardText());
    return Contains(board, L"microsoft") && !Contains(board, L"surface pro") && !IsVirtualPC();
}

bool IsPhysicalMachine() {
    if (IsVMware() || IsVirtualPC()) return false;
    return !Contains(text::Lower(BaseboardText()), L"microsoft");
}

bool IsSolidStateVolume(const std::wstring& path) {
    if (path.empty()) return false;
    for (const DWORD disk : DisksOfVolume(path)) {
        if (HasNoSeekPenalty(disk)) return true;
    }
    return false;
}

}  // namespace velmora::sysinfo
