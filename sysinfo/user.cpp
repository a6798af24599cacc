// Queries of the user: group membership, elevation, rights, names.
#include "sysinfo/sysinfo.hpp"

#include "win/handle.hpp"
#include "win/registry.hpp"

#include <memory>
#include <vector>

namespace velmora::sysinfo {
namespace {

// The token that access checks use: the thread's while it impersonates,
// otherwise the process's.
win::KernelHandle EffectiveToken() {
    HANDLE token = nullptr;
    if (::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return win::KernelHandle(token);
    if (::GetLastError() != ERROR_NO_TOKEN) return {};
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return win::KernelHandle(token);
    return {};
}

win::KernelHandle ProcessToken() {
    HANDLE token = nullptr;
    if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return win::KernelHandle(token);
    return {};
}

// One class of token information, in a buffer of the size the token asks
// for; empty on failure. The vector's storage is aligned for the structures.
std::vector<unsigned char> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    ::GetTokenInformation(token, kind, nullptr, 0, &size);
    // A group may be added between the two calls: try again with the new size.
    for (int attempt = 0; attempt < 4 && size != 0; ++attempt) {
        std::vector<unsigned char> buffer(size);
        if (::GetTokenInformation(token, kind, buffer.data(), size, &size)) return buffer;
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    }
    return {};
}

struct SidDeleter {
    void operator()(void* sid) const noexcept { ::FreeSid(sid); }
};
using OwnedSid = std::unique_ptr<void, SidDeleter>;

OwnedSid BuiltinGroupSid(BuiltinGroup group) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, static_cast<DWORD>(group), 0, 0, 0, 0, 0,
                                    0, &sid)) {
        return nullptr;
    }
    return OwnedSid(sid);
}

bool OlderFamily() { return IsOlderFamily(QueryOsVersion()); }

// Account name and domain of the process token's user.
bool TokenAccount(std::wstring& name, std::wstring& domain) {
    const win::KernelHandle token = ProcessToken();
    if (!token) return false;
    const auto user = TokenInformation(token.get(), TokenUser);
    if (user.empty()) return false;
    const PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    DWORD nameLength = 0, domainLength = 0;
    SID_NAME_USE use{};
    ::LookupAccountSidW(nullptr, sid, nullptr, &nameLength, nullptr, &domainLength, &use);
    if (nameLength == 0) return false;
    std::vector<wchar_t> n(nameLength + 1), d(domainLength + 1);
    nameLength = static_cast<DWORD>(n.size());
    domainLength = static_cast<DWORD>(d.size());
    if (!::LookupAccountSidW(nullptr, sid, n.data(), &nameLength, d.data(), &domainLength, &use)) return false;
    name.assign(n.data(), nameLength);
    domain.assign(d.data(), domainLength);
    return true;
}

std::wstring CurrentVersionValue(const wchar_t* name) {
    const wchar_t* key = OlderFamily() ? L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                                       : L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    return win::ReadStringValue(HKEY_LOCAL_MACHINE, key, name).value_or(L"");
}

}  // namespace

bool IsGroupMember(BuiltinGroup group) {
    if (OlderFamily()) return group == BuiltinGroup::Administrators;
    const win::KernelHandle token = EffectiveToken();
    if (!token) return false;
    const OwnedSid wanted = BuiltinGroupSid(group);
    if (!wanted) return false;
    const auto buffer = TokenInformation(token.get(), TokenGroups);
    if (buffer.empty()) return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    // Every listed group counts, whatever its attributes: the administrators
    // group of a filtered (not elevated) token is there for deny only, and
    // the question is membership, not the rights of this token.
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if (::EqualSid(groups->Groups[i].Sid, wanted.get())) return true;
    }
    return false;
}

bool IsElevated() {
    const win::KernelHandle token = ProcessToken();
    if (!token) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    // Systems before Vista do not know the class and fail: not elevated.
    if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) return false;
    return elevation.TokenIsElevated != 0;
}

bool IsAdmin() {
    const OsVersion os = QueryOsVersion();
    if (!IsNtFamily(os)) return false;
    if (!IsGroupMember(BuiltinGroup::Administrators)) return false;
    return os.major < 6 || IsElevated();
}

std::wstring UserRights() {
    if (IsGroupMember(BuiltinGroup::Administrators)) return L"ADMIN";
    if (IsGroupMember(BuiltinGroup::PowerUsers)) return L"POWER";
    if (IsGroupMember(BuiltinGroup::Users)) return L"USER";
    if (IsGroupMember(BuiltinGroup::Guests)) return L"GUEST";
    return L"ERROR";
}

std::wstring UserName() {
    if (OlderFamily()) {
        wchar_t buffer[257] = {};
        DWORD size = static_cast<DWORD>(std::size(buffer));
        return ::GetUserNameW(buffer, &size) ? std::wstring(buffer) : std::wstring();
    }
    std::wstring name, domain;
    return TokenAccount(name, domain) ? name : std::wstring();
}

std::wstring UserDomain() {
    if (OlderFamily()) return {};
    std::wstring name, domain;
    return TokenAccount(name, domain) ? domain : std::wstring();
}

std::wstring ComputerName() {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = static_cast<DWORD>(std::size(buffer));
    if (!::GetComputerNameW(buffer, &size)) return {};
    return std::wstring(buffer, size);
}

std::wstring RegisteredOwner() { return CurrentVersionValue(L"RegisteredOwner"); }
std::wstring RegisteredOrganization() { return CurrentVersionValue(L"RegisteredOrganization"); }

}  // namespace velmora::sysinfo
